// Drawing utilities beside the rasterizers: a midpoint circle, a line clipper, a polygon
// clipper, a triangle's bounding box and the distance between two integer points. Nothing in
// the demonstration calls them.
#pragma once

#include "raster/raster.h"

struct Point2D {
    double x;
    double y;
};

// Region codes: one bit for each side of the clip rectangle a point lies beyond. A point on a
// bound is inside that bound, and a point inside the rectangle has code 0.
constexpr int OutYMax = 1;
constexpr int OutYMin = 2;
constexpr int OutXMax = 4;
constexpr int OutXMin = 8;

// The midpoint circle, written with SetPixel and no viewport test; the device context clips.
void drawCircle(int cx, int cy, int radius, HDC dc, Colour colour);
// The eight points symmetric to the offset (x, y) about the centre.
void plotCirclePoints(int cx, int cy, int x, int y, HDC dc, Colour colour);

int regionCode(double x, double y, double xmin, double xmax, double ymin, double ymax);

// Clips the segment from (x0, y0) to (x1, y1) to the rectangle. Returns true and stores the
// clipped end points in *start and *end when part of the segment lies in the rectangle;
// returns false and writes nothing when none does, when an argument is not finite, when the
// rectangle is inverted (xmin > xmax or ymin > ymax), or when the coordinates lie so far
// apart that the arithmetic overflows a double.
bool clipLine(double x0, double y0, double x1, double y1, double xmin, double xmax, double ymin,
              double ymax, Point2D* start, Point2D* end);

// One side of a clip rectangle: the points at or beyond value on the inner side are kept.
// Rows grow downward as in window coordinates, so SideTop keeps y >= value and SideBottom
// keeps y <= value.
enum BoundarySide { SideLeft, SideRight, SideTop, SideBottom };
struct ClipBoundary {
    BoundarySide side;
    double value;
};

// One pass of the polygon clipper: the n vertices of in, clipped against one boundary, into
// out and *outCount. out must have room for 2 * n vertices and must not overlap in. An n of
// 0 or less gives no vertex. Four passes, one for each side, clip to a rectangle.
void clipPolygonEdge(const Point2D* in, Point2D* out, int n, int* outCount, ClipBoundary boundary);
// Stores p at out[*outCount] and counts it; the capacity is the caller's to guarantee.
void appendVertex(Point2D p, int* outCount, Point2D* out);
// A point on the boundary is inside.
bool isInside(Point2D p, ClipBoundary boundary);
// Where the edge from s to p crosses the boundary; s and p lie on opposite sides. An edge
// parallel to the boundary has no crossing and gives s.
Point2D intersectEdge(Point2D s, Point2D p, ClipBoundary boundary);

// The whole pixels that cover the triangle: floor of the smallest coordinates, ceil of the
// largest.
void triangleBounds(ScreenVertex a, ScreenVertex b, ScreenVertex c, float* minX, float* maxX,
                    float* minY, float* maxY);

float pointDistance(int x0, int y0, int x1, int y1);
