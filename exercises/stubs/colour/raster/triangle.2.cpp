    // The colour at each end of the row, interpolated along the half's leftColour and
    // rightColour edges: at the row's first and end columns where the half says
    // SpanEndsAtColumns, at xl and xr themselves where it says SpanEndsAtEdges. Until then
    // both ends take the apex's colour.
    span.leftEnd = half.apex.vertex;
    span.rightEnd = half.apex.vertex;
