    // The rows from ceil(y) of the rule's firstRowCorner up to, not including, floor(y) of its
    // endRowCorner. Until then a half covers no row.
    half.firstRow = 0;
    half.endRow = 0;
