#include "raster/raster.h"

#include "raster/no_inline.h"

// KEPT: a line's viewport test uses the exact coordinate, before truncation
// Colours the probe at (x, y), then writes it if that position lies in the viewport. One of x
// and y is a whole number, the other the exact coordinate the walk carries as a double; it is
// tested before it is truncated, so a column of 470.4 stays out although it would truncate to
// 470. Each walk passes its coordinates in their own types, which it keeps exact. A line
// that someone inspects also notes its pixels in pixelWrites, on a path of its own.
template <bool noted, typename X, typename Y>
static void plot(HDC dc, const ScreenVertex& start, const ScreenVertex& end, X x, Y y) {
    ScreenVertex probe = {};
    probe.x = static_cast<float>(x);
    probe.y = static_cast<float>(y);
    interpolateColour(start, end, &probe);
    if (x >= viewportLeft && x <= viewportRight && y >= viewportTop && y <= viewportBottom) {
        SetPixelV(dc, static_cast<int>(x), static_cast<int>(y), packColour(probe.colour));
        if (noted) {
            notePixelWrite(pixelWrites, static_cast<int>(x), static_cast<int>(y), noDepth);
            notePixelEvent(static_cast<int>(x), static_cast<int>(y), false, noDepth,
                           packColour(probe.colour));
        }
    }
}

static ScreenVertex endPoint(int x, int y, Colour c) {
    ScreenVertex v = {};
    v.x = static_cast<float>(x);
    v.y = static_cast<float>(y);
    v.colour = c;
    return v;
}

// KEPT: a line's exact coordinate is summed step by step, never recomputed
// The walk steps one pixel at a time along the major axis and carries the exact minor
// coordinate by repeated addition, never recomputing it from the start: the accumulated
// rounding decides which pixels are lit. Differences and loop counters are 64-bit so that no
// pair of int end points overflows. The line runs from left to right. Each path is a function
// of its own: inlined together, the plain walk would be compiled worse for the noted one's sake.
// Exercise line: walk from one end point to the other, a pixel a step along the major axis.
template <bool noted>
QUILLON_NO_INLINE static void walkLine(int x0, int y0, int x1, int y1, HDC dc, Colour c0,
                                       Colour c1) {
    const ScreenVertex start = endPoint(x0, y0, c0);
    const ScreenVertex end = endPoint(x1, y1, c1);
    const double dy = static_cast<double>(static_cast<long long>(y1) - y0);
    const double dx = static_cast<double>(static_cast<long long>(x1) - x0);
    // Infinite for a vertical line; NaN when the end points coincide, which takes the
    // shallow walk and visits the one point.
    const double slope = dy / dx;

    if (slope < -1.0) {
        const double step = dx / dy;
        double cx = x0;
        for (long long y = y0; y >= y1; --y) {
            plot<noted>(dc, start, end, cx, y);
            cx -= step;
        }
    } else if (slope > 1.0) {
        const double step = dx / dy;
        double cx = x0;
        for (long long y = y0; y <= y1; ++y) {
            plot<noted>(dc, start, end, cx, y);
            cx += step;
        }
    } else {
        double cy = y0;
        for (long long x = x0; x <= x1; ++x) {
            plot<noted>(dc, start, end, x, cy);
            cy += slope;
        }
    }
}
// End of exercise line

void drawLine(int x0, int y0, int x1, int y1, HDC dc, Colour c0, Colour c1) {
    if (x0 > x1) {
        drawLine(x1, y1, x0, y0, dc, c1, c0);
        return;
    }
    if (pixelWrites != nullptr) {
        walkLine<true>(x0, y0, x1, y1, dc, c0, c1);
    } else {
        walkLine<false>(x0, y0, x1, y1, dc, c0, c1);
    }
}
