#include "raster/raster.h"

#include "raster/float_to_int.h"
#include "tests/canvas.h"
#include "tests/vertex.h"

#include <gtest/gtest.h>

#include <climits>
#include <limits>
#include <vector>

namespace {

const Colour red = {255, 0, 0, 0};
const Colour blue = {0, 0, 255, 0};
const Colour grey = {100, 100, 100, 0};

std::vector<Point> column(int x, int fromY, int toY) {
    std::vector<Point> points;
    for (int y = fromY; y <= toY; ++y) {
        points.push_back({x, y});
    }
    return points;
}

// Truncation toward zero; past the int range, and for NaN, each conversion gives a fixed
// answer instead of what the compiler happens to emit.
TEST(FloatToInt, TruncatesAndAnswersOutOfRangeTheSameEverywhere) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(truncToInt(2.9f), 2);
    EXPECT_EQ(truncToInt(-2.9f), -2);
    EXPECT_EQ(truncToInt(-2147483648.0f), INT_MIN);
    EXPECT_EQ(truncToInt(2147483520.0f), 2147483520);
    for (float outside : {2147483648.0f, -2147483904.0f, inf, -inf, nan}) {
        EXPECT_EQ(truncToInt(outside), INT_MIN) << outside;
        EXPECT_EQ(truncToInt(static_cast<double>(outside)), INT_MIN) << outside;
    }
    EXPECT_EQ(truncToInt(-2147483648.9), INT_MIN);
    EXPECT_EQ(truncToInt(2147483647.9), INT_MAX);
    EXPECT_EQ(ceilToInt(-0.5f), 0);
    EXPECT_EQ(ceilToInt(10.25f), 11);
    EXPECT_EQ(floorToInt(-0.5f), -1);
    EXPECT_EQ(floorToInt(470.0f), 470);
    EXPECT_EQ(floorToInt(nan), INT_MIN);
}

// KEPT: a channel is truncated and keeps its low 8 bits: -1 is written as 255
TEST(FloatToInt, ChannelsKeepTheLowByteAndWindowCoordinatesSaturate) {
    EXPECT_EQ(channelByte(255.9f), 255u);
    EXPECT_EQ(channelByte(-1.5f), 255u);
    EXPECT_EQ(channelByte(256.0), 0u);
    EXPECT_EQ(channelByte(3e9f), 0u);
    EXPECT_EQ(channelByte(std::numeric_limits<double>::quiet_NaN()), 0u);
    EXPECT_EQ(windowCoordinate(-12.7f), -12);
    EXPECT_EQ(windowCoordinate(3e9f), INT_MAX);
    EXPECT_EQ(windowCoordinate(-3e9f), INT_MIN);
    EXPECT_EQ(windowCoordinate(std::numeric_limits<float>::infinity()), INT_MAX);
    EXPECT_EQ(windowCoordinate(std::numeric_limits<float>::quiet_NaN()), INT_MIN);
}

// KEPT: a channel is truncated and keeps its low 8 bits: -1 is written as 255
TEST(PackColour, KeepsTheLowByteOfTheTruncatedChannel) {
    EXPECT_EQ(packColour({12.9f, 0.5f, 255.99f, 0}), RGB(12, 0, 255));
    EXPECT_EQ(packColour({256.0f, -1.0f, -0.5f, 0}), RGB(0, 255, 0));
    EXPECT_EQ(packColour({std::numeric_limits<float>::quiet_NaN(), 3e9f, -3e9f, 0}), 0u);
}

// KEPT: a colour is interpolated by a ratio of distances
TEST(InterpolateColour, BlendsByDistanceAndWritesOnlyTheColour) {
    ScreenVertex probe = vertex(13, 104, grey);
    probe.uq = 7;
    interpolateColour(vertex(10, 100, red), vertex(16, 108, blue), &probe);
    EXPECT_FLOAT_EQ(probe.colour.r, 127.5f);  // |AP| = 5, |AB| = 10
    EXPECT_FLOAT_EQ(probe.colour.b, 127.5f);
    EXPECT_EQ(probe.x, 13);
    EXPECT_EQ(probe.uq, 7);
    // A distance has no sign: a probe behind the start blends forward too.
    probe = vertex(5, 100, grey);
    interpolateColour(vertex(10, 100, red), vertex(20, 100, blue), &probe);
    EXPECT_FLOAT_EQ(probe.colour.r, 127.5f);
}

TEST(InterpolateColour, CoincidentEndsGiveTheStartColour) {
    for (float x : {3.0f, 8.0f}) {
        ScreenVertex probe = vertex(x, 4, grey);
        interpolateColour(vertex(3, 4, red), vertex(3, 4, blue), &probe);
        EXPECT_EQ(probe.colour.r, 255);
        EXPECT_EQ(probe.colour.b, 0);
    }
}

TEST(DrawLine, HorizontalLineBlendsFromStartToEnd) {
    Canvas canvas;
    drawLine(20, 100, 30, 100, canvas.dc, red, blue);
    std::vector<Point> expected;
    for (int x = 20; x <= 30; ++x) {
        expected.push_back({x, 100});
    }
    EXPECT_EQ(canvas.written(), expected);
    EXPECT_EQ(canvas.pixel(20, 100), RGB(255, 0, 0));
    EXPECT_EQ(canvas.pixel(25, 100), RGB(127, 0, 127));
    EXPECT_EQ(canvas.pixel(30, 100), RGB(0, 0, 255));
}

TEST(DrawLine, ExactRowIsTruncatedNotRounded) {
    Canvas canvas;
    drawLine(10, 40, 14, 42, canvas.dc, grey, grey);
    EXPECT_EQ(canvas.written(), sorted({{10, 40}, {11, 40}, {12, 41}, {13, 41}, {14, 42}}));
}

// The step 0.1 is not exact in binary: added ten times to 9 it falls just short of 10, and
// twenty times just short of 11, so the line starts a row late and ends a column short.
// KEPT: a line's exact coordinate is summed step by step, never recomputed
TEST(DrawLine, SteepColumnAccumulatesByRepeatedAddition) {
    Canvas canvas;
    drawLine(9, 100, 11, 120, canvas.dc, grey, grey);
    EXPECT_EQ(canvas.written(), column(10, 111, 120));
}

// From row 110 on the exact column exceeds 470 (470.0000000000002, ..., 470.4 at row 114)
// and is not drawn, although it would truncate to 470. Rising from column 9, the columns
// 9.1 to 9.999999999999996 stay out.
// KEPT: a line's viewport test uses the exact coordinate, before truncation
TEST(DrawLine, ViewportTestUsesTheExactColumn) {
    Canvas canvas;
    drawLine(469, 100, 471, 120, canvas.dc, grey, grey);
    drawLine(9, 80, 10, 70, canvas.dc, grey, grey);
    EXPECT_EQ(canvas.written(), column(469, 100, 109));
}

TEST(DrawLine, RightToLeftEqualsTheMirroredCall) {
    const int lines[][4] = {{200, 150, 120, 110}, {300, 50, 290, 200}, {250, 300, 240, 60}};
    for (const auto& l : lines) {
        Canvas given, mirrored;
        drawLine(l[0], l[1], l[2], l[3], given.dc, red, blue);
        drawLine(l[2], l[3], l[0], l[1], mirrored.dc, blue, red);
        for (int y = 0; y < Canvas::size; ++y) {
            for (int x = 0; x < Canvas::size; ++x) {
                ASSERT_EQ(given.pixel(x, y), mirrored.pixel(x, y)) << x << ", " << y;
            }
        }
        EXPECT_EQ(given.pixel(l[2], l[3]), RGB(0, 0, 255));
    }
}

TEST(DrawLine, SlopesOfOneAndVerticalLines) {
    Canvas canvas;
    drawLine(100, 100, 103, 103, canvas.dc, grey, grey);
    drawLine(200, 103, 203, 100, canvas.dc, grey, grey);
    drawLine(50, 100, 50, 103, canvas.dc, red, blue);
    drawLine(60, 103, 60, 100, canvas.dc, red, blue);
    std::vector<Point> expected = {{50, 100}, {50, 101}, {50, 102}, {50, 103},
                                   {60, 100}, {60, 101}, {60, 102}, {60, 103}};
    for (int i = 0; i <= 3; ++i) {
        expected.push_back({100 + i, 100 + i});
        expected.push_back({200 + i, 103 - i});
    }
    EXPECT_EQ(canvas.written(), sorted(expected));
    EXPECT_EQ(canvas.pixel(50, 100), RGB(255, 0, 0));
    EXPECT_EQ(canvas.pixel(50, 103), RGB(0, 0, 255));
    EXPECT_EQ(canvas.pixel(60, 103), RGB(255, 0, 0));
}

TEST(DrawLine, CoincidentEndPointsWriteOnePixelInTheStartColour) {
    Canvas canvas;
    drawLine(50, 60, 50, 60, canvas.dc, {10, 20, 30, 0}, blue);
    drawLine(5, 5, 5, 5, canvas.dc, red, red);
    EXPECT_EQ(canvas.written(), std::vector<Point>({{50, 60}}));
    EXPECT_EQ(canvas.pixel(50, 60), RGB(10, 20, 30));
}

TEST(DrawLine, WritesOnlyInsideTheViewportBoundsIncluded) {
    Canvas canvas;
    drawLine(5, 100, 15, 100, canvas.dc, grey, grey);
    drawLine(0, 29, 499, 29, canvas.dc, grey, grey);
    drawLine(0, 391, 499, 391, canvas.dc, grey, grey);
    drawLine(200, 0, 200, 499, canvas.dc, grey, grey);
    std::vector<Point> expected = column(200, viewportTop, viewportBottom);
    for (int x = viewportLeft; x <= 15; ++x) {
        expected.push_back({x, 100});
    }
    EXPECT_EQ(canvas.written(), sorted(expected));
}

// KEPT: a channel is truncated and keeps its low 8 bits: -1 is written as 255
TEST(DrawLine, ChannelsAbove255AreWrittenAs255) {
    Canvas canvas;
    drawLine(20, 200, 30, 200, canvas.dc, {-20, 0, 0, 0}, {256.5f, 40, 511, 0});
    EXPECT_EQ(canvas.pixel(30, 200), RGB(255, 40, 255));
    EXPECT_EQ(canvas.pixel(20, 200), RGB(236, 0, 0));  // no lower bound: -20 wraps
}

}  // namespace
