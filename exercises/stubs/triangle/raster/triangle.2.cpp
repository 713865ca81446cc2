    // xl and xr: where row y crosses the left and the right edge, dy rows below the apex. The
    // row's columns run from ceil(xl) up to, not including, floor(xr). Until then every row is
    // empty.
    const float xl = half.apex.vertex.x;
    const float xr = xl;
    const int rowFirstColumn = 0;
    const int rowEndColumn = 0;
