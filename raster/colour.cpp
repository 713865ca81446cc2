#include "raster/raster.h"

#include "math/vecmath.h"

static float interpolateChannel(float t, float from, float to) {
    const float value = (1.0f - t) * from + t * to;
    return value > 255.0f ? 255.0f : value;
}

// KEPT: a colour is interpolated by a ratio of distances
void interpolateColour(ScreenVertex a, ScreenVertex b, ScreenVertex* p) {
    const float lengthAB = vecLength2D(b.x - a.x, b.y - a.y);
    const float lengthAP = vecLength2D(p->x - a.x, p->y - a.y);
    // Coinciding end points leave no ratio at all (0 / 0); the probe then belongs to a.
    const float t = lengthAB == 0.0f ? 0.0f : lengthAP / lengthAB;
    p->colour.r = interpolateChannel(t, a.colour.r, b.colour.r);
    p->colour.g = interpolateChannel(t, a.colour.g, b.colour.g);
    p->colour.b = interpolateChannel(t, a.colour.b, b.colour.b);
}
