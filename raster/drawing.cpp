#include "raster/drawing.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <initializer_list>

// A point beyond the int range lies on no bitmap; it is skipped rather than wrapped round
// onto one.
static void plotPoint(HDC dc, long long x, long long y, COLORREF colour) {
    if (x >= INT_MIN && x <= INT_MAX && y >= INT_MIN && y <= INT_MAX) {
        SetPixel(dc, static_cast<int>(x), static_cast<int>(y), colour);
    }
}

void plotCirclePoints(int cx, int cy, int x, int y, HDC dc, Colour colour) {
    const COLORREF c = packColour(colour);
    const long long X = cx;
    const long long Y = cy;
    plotPoint(dc, X + x, Y + y, c);
    plotPoint(dc, X + y, Y + x, c);
    plotPoint(dc, X + y, Y - x, c);
    plotPoint(dc, X + x, Y - y, c);
    plotPoint(dc, X - x, Y - y, c);
    plotPoint(dc, X - y, Y - x, c);
    plotPoint(dc, X - y, Y + x, c);
    plotPoint(dc, X - x, Y + y, c);
}

// Walks the octant from the top of the circle down to the diagonal; the decision value p
// says whether the midpoint between the two candidate rows lies inside the circle.
void drawCircle(int cx, int cy, int radius, HDC dc, Colour colour) {
    int x = 0;
    int y = radius;
    double p = 1.25 - radius;
    plotCirclePoints(cx, cy, x, y, dc, colour);
    while (y > x) {
        if (p < 0) {
            p += 2.0 * x + 3;
        } else {
            p += 2.0 * (static_cast<double>(x) - y) + 5;
            y -= 1;
        }
        x += 1;
        plotCirclePoints(cx, cy, x, y, dc, colour);
    }
}

int regionCode(double x, double y, double xmin, double xmax, double ymin, double ymax) {
    int code = 0;
    if (y > ymax) {
        code |= OutYMax;
    } else if (y < ymin) {
        code |= OutYMin;
    }
    if (x > xmax) {
        code |= OutXMax;
    } else if (x < xmin) {
        code |= OutXMin;
    }
    return code;
}

static bool allFinite(std::initializer_list<double> values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

// Where the segment from a to b crosses the first side whose bit is set in code, the sides
// taken in the order of their bits.
static Point2D crossing(int code, Point2D a, Point2D b, double xmin, double xmax, double ymin,
                        double ymax) {
    if (code & OutYMax) {
        return {a.x + (b.x - a.x) * (ymax - a.y) / (b.y - a.y), ymax};
    }
    if (code & OutYMin) {
        return {a.x + (b.x - a.x) * (ymin - a.y) / (b.y - a.y), ymin};
    }
    if (code & OutXMax) {
        return {xmax, a.y + (b.y - a.y) * (xmax - a.x) / (b.x - a.x)};
    }
    return {xmin, a.y + (b.y - a.y) * (xmin - a.x) / (b.x - a.x)};
}

// An end point sharing a side's bit with the other end lies with it wholly beyond that side:
// that is the rejection, and it also means a side is only ever cut where the segment really
// crosses it, never along a parallel, so no division is by zero.
bool clipLine(double x0, double y0, double x1, double y1, double xmin, double xmax, double ymin,
              double ymax, Point2D* start, Point2D* end) {
    if (!allFinite({x0, y0, x1, y1, xmin, xmax, ymin, ymax}) || xmin > xmax || ymin > ymax) {
        return false;
    }
    Point2D a = {x0, y0};
    Point2D b = {x1, y1};
    int codeA = regionCode(a.x, a.y, xmin, xmax, ymin, ymax);
    int codeB = regionCode(b.x, b.y, xmin, xmax, ymin, ymax);
    // Each cut puts one end point on a side it lay beyond and, but for rounding, no later cut
    // takes it back across: eight cuts suffice, and the bound makes sure the loop ends.
    for (int cut = 0; cut <= 16; ++cut) {
        if ((codeA | codeB) == 0) {
            *start = a;
            *end = b;
            return true;
        }
        // Far-apart coordinates overflow a double in the differences and products, and the
        // crossing would be lost.
        if ((codeA & codeB) != 0 || !allFinite({b.x - a.x, b.y - a.y})) {
            return false;
        }
        const bool cutA = codeA != 0;
        const Point2D p = crossing(cutA ? codeA : codeB, a, b, xmin, xmax, ymin, ymax);
        if (!allFinite({p.x, p.y})) {
            return false;
        }
        if (cutA) {
            a = p;
            codeA = regionCode(a.x, a.y, xmin, xmax, ymin, ymax);
        } else {
            b = p;
            codeB = regionCode(b.x, b.y, xmin, xmax, ymin, ymax);
        }
    }
    return false;
}

void appendVertex(Point2D p, int* outCount, Point2D* out) {
    out[*outCount] = p;
    *outCount += 1;
}

bool isInside(Point2D p, ClipBoundary boundary) {
    switch (boundary.side) {
        case SideLeft:
            return p.x >= boundary.value;
        case SideRight:
            return p.x <= boundary.value;
        case SideTop:
            return p.y >= boundary.value;
        case SideBottom:
            return p.y <= boundary.value;
    }
    return false;
}

Point2D intersectEdge(Point2D s, Point2D p, ClipBoundary boundary) {
    const double v = boundary.value;
    switch (boundary.side) {
        case SideLeft:
        case SideRight:
            if (p.x == s.x) {
                return s;
            }
            return {v, s.y + (p.y - s.y) * (v - s.x) / (p.x - s.x)};
        case SideTop:
        case SideBottom:
            if (p.y == s.y) {
                return s;
            }
            return {s.x + (p.x - s.x) * (v - s.y) / (p.y - s.y), v};
    }
    return s;
}

// Each vertex appends at most two points (the crossing into the kept side and the vertex
// itself), hence the room for 2n.
void clipPolygonEdge(const Point2D* in, Point2D* out, int n, int* outCount, ClipBoundary boundary) {
    *outCount = 0;
    if (n <= 0) {
        return;
    }
    Point2D s = in[n - 1];
    for (int i = 0; i < n; ++i) {
        const Point2D p = in[i];
        if (isInside(p, boundary)) {
            if (!isInside(s, boundary)) {
                appendVertex(intersectEdge(s, p, boundary), outCount, out);
            }
            appendVertex(p, outCount, out);
        } else if (isInside(s, boundary)) {
            appendVertex(intersectEdge(s, p, boundary), outCount, out);
        }
        s = p;
    }
}

void triangleBounds(ScreenVertex a, ScreenVertex b, ScreenVertex c, float* minX, float* maxX,
                    float* minY, float* maxY) {
    *minX = std::floor(std::min({a.x, b.x, c.x}));
    *maxX = std::ceil(std::max({a.x, b.x, c.x}));
    *minY = std::floor(std::min({a.y, b.y, c.y}));
    *maxY = std::ceil(std::max({a.y, b.y, c.y}));
}

// Summed in double the squares are exact as far as a 32-bit sum would be, and do not wrap
// once the distance passes 46340.
float pointDistance(int x0, int y0, int x1, int y1) {
    const double dx = static_cast<double>(x1) - x0;
    const double dy = static_cast<double>(y1) - y0;
    return static_cast<float>(std::sqrt(dx * dx + dy * dy));
}
