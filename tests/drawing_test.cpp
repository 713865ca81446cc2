#include "raster/drawing.h"

#include "tests/canvas.h"
#include "tests/vertex.h"

#include <gtest/gtest.h>

#include <limits>
#include <set>
#include <vector>

namespace {

const Colour green = {0, 200, 0, 0};

// The pixels of the eight-fold symmetric images of the offsets about (cx, cy).
std::vector<Point> circle(int cx, int cy, const std::vector<Point>& offsets) {
    std::set<Point> points;
    for (Point o : offsets) {
        for (int sx : {-1, 1}) {
            for (int sy : {-1, 1}) {
                points.insert({cx + sx * o.x, cy + sy * o.y});
                points.insert({cx + sx * o.y, cy + sy * o.x});
            }
        }
    }
    return std::vector<Point>(points.begin(), points.end());
}

TEST(DrawCircle, RadiusTenVisitsTheMidpointOffsets) {
    Canvas canvas;
    drawCircle(100, 100, 10, canvas.dc, green);
    EXPECT_EQ(
        canvas.written(),
        circle(100, 100, {{0, 10}, {1, 10}, {2, 10}, {3, 10}, {4, 9}, {5, 9}, {6, 8}, {7, 7}}));
    EXPECT_EQ(canvas.pixel(110, 100), RGB(0, 200, 0));
}

TEST(DrawCircle, RadiusZeroIsTheCentreAndRadiusOneItsFourNeighbours) {
    Canvas canvas;
    drawCircle(50, 50, 0, canvas.dc, green);
    drawCircle(80, 50, 1, canvas.dc, green);
    EXPECT_EQ(canvas.written(), sorted({{50, 50}, {80, 49}, {79, 50}, {81, 50}, {80, 51}}));
}

// No viewport test: only the bitmap's edge, or the end of the int range, stops a point.
TEST(DrawCircle, IsClippedOnlyByTheBitmap) {
    Canvas canvas;
    drawCircle(0, 0, 5, canvas.dc, green);
    drawCircle(std::numeric_limits<int>::max(), 100, 3, canvas.dc, green);
    std::vector<Point> expected;
    for (Point p : circle(0, 0, {{0, 5}, {1, 5}, {2, 5}, {3, 4}})) {
        if (p.x >= 0 && p.y >= 0) {
            expected.push_back(p);
        }
    }
    EXPECT_EQ(canvas.written(), sorted(expected));
}

TEST(RegionCode, BoundsAreInsideAndBitsCombine) {
    EXPECT_EQ(regionCode(0, 0, 0, 10, 0, 10), 0);
    EXPECT_EQ(regionCode(10, 10, 0, 10, 0, 10), 0);
    EXPECT_EQ(regionCode(-1, 11, 0, 10, 0, 10), OutYMax + OutXMin);
    EXPECT_EQ(regionCode(11, -1, 0, 10, 0, 10), OutYMin + OutXMax);
}

struct Clip {
    bool accepted;
    Point2D a;
    Point2D b;
};

Clip clip(double x0, double y0, double x1, double y1, double xmax = 10) {
    Clip c = {false, {-99, -99}, {-99, -99}};
    c.accepted = clipLine(x0, y0, x1, y1, 0, xmax, 0, 10, &c.a, &c.b);
    return c;
}

void expectClip(Clip c, double x0, double y0, double x1, double y1) {
    ASSERT_TRUE(c.accepted);
    EXPECT_DOUBLE_EQ(c.a.x, x0);
    EXPECT_DOUBLE_EQ(c.a.y, y0);
    EXPECT_DOUBLE_EQ(c.b.x, x1);
    EXPECT_DOUBLE_EQ(c.b.y, y1);
}

TEST(ClipLine, KeepsWhatIsInsideAndCutsOnTheSides) {
    expectClip(clip(1, 2, 10, 0), 1, 2, 10, 0);
    expectClip(clip(1, 1, 11, 6), 1, 1, 10, 5.5);
    expectClip(clip(15, 5, -5, 5), 10, 5, 0, 5);
    // Cut at ymax, which leaves the start beyond xmin, and cut again there.
    expectClip(clip(-5, 12, 5, 2), 0, 7, 5, 2);
    // Touching a corner only.
    expectClip(clip(-5, 5, 5, 15), 0, 10, 0, 10);
}

TEST(ClipLine, RejectsWhatLiesOutsideAndWritesNothing) {
    EXPECT_FALSE(clip(11, 0, 12, 10).accepted);
    // Horizontal and vertical beyond one side: no crossing to divide for.
    EXPECT_FALSE(clip(-5, 20, 5, 20).accepted);
    EXPECT_FALSE(clip(-1, 2, -1, 8).accepted);
    // Passing the corner outside: the ends share no side until the first cut.
    const Clip c = clip(-5, 3, 3, -5);
    EXPECT_FALSE(c.accepted);
    EXPECT_EQ(c.a.x, -99);
    EXPECT_EQ(c.b.x, -99);
}

TEST(ClipLine, RefusesNonFiniteInputInvertedRectanglesAndOverflow) {
    EXPECT_FALSE(clip(std::numeric_limits<double>::quiet_NaN(), 5, 5, 5).accepted);
    EXPECT_FALSE(clip(1, 5, 5, 5, std::numeric_limits<double>::infinity()).accepted);
    EXPECT_FALSE(clip(1, 5, 5, 5, -1).accepted);
    EXPECT_FALSE(clip(-1e308, 5, 1e308, 6).accepted);
}

std::vector<Point2D> clipPass(const std::vector<Point2D>& in, ClipBoundary boundary) {
    std::vector<Point2D> out(2 * in.size());
    int count = -1;
    clipPolygonEdge(in.data(), out.data(), static_cast<int>(in.size()), &count, boundary);
    out.resize(static_cast<size_t>(count));
    return out;
}

std::vector<Point2D> clipToRectangle(std::vector<Point2D> polygon, double left, double right,
                                     double top, double bottom) {
    polygon = clipPass(polygon, {SideLeft, left});
    polygon = clipPass(polygon, {SideRight, right});
    polygon = clipPass(polygon, {SideTop, top});
    return clipPass(polygon, {SideBottom, bottom});
}

void expectPolygon(const std::vector<Point2D>& actual, const std::vector<Point2D>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
        EXPECT_DOUBLE_EQ(actual[i].x, expected[i].x) << "vertex " << i;
        EXPECT_DOUBLE_EQ(actual[i].y, expected[i].y) << "vertex " << i;
    }
}

const std::vector<Point2D> square = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};

TEST(ClipPolygon, SquareCutByEachSideAndByAllFour) {
    expectPolygon(clipPass(square, {SideLeft, 4}), {{4, 0}, {10, 0}, {10, 10}, {4, 10}});
    expectPolygon(clipPass(square, {SideRight, 4}), {{0, 0}, {4, 0}, {4, 10}, {0, 10}});
    expectPolygon(clipPass(square, {SideTop, 4}), {{0, 4}, {10, 4}, {10, 10}, {0, 10}});
    expectPolygon(clipPass(square, {SideBottom, 4}), {{0, 4}, {0, 0}, {10, 0}, {10, 4}});
    expectPolygon(clipToRectangle(square, 2, 8, 3, 7), {{2, 7}, {2, 3}, {8, 3}, {8, 7}});
}

TEST(ClipPolygon, InsideIsUnchangedAndBoundaryPointsAreKept) {
    const std::vector<Point2D> triangle = {{3, 2}, {7, 5}, {1, 8}};
    expectPolygon(clipToRectangle(triangle, 0, 10, 0, 10), triangle);
    expectPolygon(clipToRectangle(square, 0, 10, 0, 10), square);
}

TEST(ClipPolygon, EachCrossingAddsAVertexWithinTwiceTheInput) {
    expectPolygon(clipPass({{0, 0}, {20, 5}, {0, 10}}, {SideRight, 10}),
                  {{0, 0}, {10, 2.5}, {10, 7.5}, {0, 10}});
    const std::vector<Point2D> comb = {{0, 0}, {1, 10}, {2, 0}, {3, 10}, {4, 0}, {5, 10}};
    EXPECT_EQ(clipPass(comb, {SideBottom, 5}).size(), 9u);
}

TEST(ClipPolygon, NothingInGivesNothingOut) {
    EXPECT_TRUE(clipPass({}, {SideLeft, 0}).empty());
    EXPECT_TRUE(clipToRectangle(square, 20, 30, 20, 30).empty());
}

TEST(ClipPolygon, EdgeParallelToTheBoundaryHasNoCrossing) {
    const Point2D crossing = intersectEdge({3, 1}, {3, 9}, {SideLeft, 5});
    EXPECT_EQ(crossing.x, 3);
    EXPECT_EQ(crossing.y, 1);
}

TEST(TriangleBounds, FloorsTheMinimaAndCeilsTheMaxima) {
    float minX, maxX, minY, maxY;
    triangleBounds(vertex(10.5f, 3.7f), vertex(20.2f, 3.7f), vertex(15.0f, 9.1f), &minX, &maxX,
                   &minY, &maxY);
    EXPECT_EQ(minX, 10);
    EXPECT_EQ(maxX, 21);
    EXPECT_EQ(minY, 3);
    EXPECT_EQ(maxY, 10);
    triangleBounds(vertex(-1.5f, 4), vertex(2, -0.5f), vertex(3, 4), &minX, &maxX, &minY, &maxY);
    EXPECT_EQ(minX, -2);
    EXPECT_EQ(minY, -1);
}

TEST(PointDistance, IsEuclideanEvenFarApart) {
    EXPECT_EQ(pointDistance(0, 0, 3, 4), 5.0f);
    EXPECT_EQ(pointDistance(0, 0, 50000, 0), 50000.0f);
    EXPECT_EQ(pointDistance(std::numeric_limits<int>::min(), 0, std::numeric_limits<int>::max(), 0),
              4294967295.0f);
}

}  // namespace
