// The ScreenVertex of the rasterizer tests and benchmarks: a window position, a colour, and
// texture coordinates u and v carried as the rasterizer takes them, weighted by q.
#pragma once

#include "raster/raster.h"

inline ScreenVertex vertex(float x, float y, Colour c = {100, 100, 100, 0}, float u = 0,
                           float v = 0, float q = 1) {
    ScreenVertex vertex = {};
    vertex.x = x;
    vertex.y = y;
    vertex.colour = c;
    vertex.uq = u * q;
    vertex.vq = v * q;
    vertex.q = q;
    return vertex;
}
