#include "raster/raster.h"

#include "tests/canvas.h"

#include <cmath>
#include <limits>
#include <vector>

namespace {

Colour colour(float r, float g, float b) {
    return {r, g, b, 0.0f};
}

const Colour red = colour(255, 0, 0);
const Colour blue = colour(0, 0, 255);
const Colour grey = colour(100, 100, 100);

std::vector<Point> column(int x, int fromY, int toY) {
    std::vector<Point> points;
    for (int y = fromY; y <= toY; ++y) {
        points.push_back({x, y});
    }
    return points;
}

ScreenVertex vertex(float x, float y, Colour c) {
    ScreenVertex v = {};
    v.x = x;
    v.y = y;
    v.colour = c;
    return v;
}

TEST(PackColour, KeepsTheLowByteOfTheTruncatedChannel) {
    EXPECT_EQ(packColour(colour(12.9f, 0.5f, 255.99f)), RGB(12, 0, 255));
    EXPECT_EQ(packColour(colour(256.0f, -1.0f, -0.5f)), RGB(0, 255, 0));
}

TEST(PackColour, GivesZeroForChannelsNoIntCanHold) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(packColour(colour(nan, 3e9f, -3e9f)), RGB(0, 0, 0));
}

TEST(InterpolateColour, BlendsByTheRatioOfDistances) {
    ScreenVertex probe = vertex(13, 104, grey);
    probe.uq = 7.0f;
    interpolateColour(vertex(10, 100, red), vertex(16, 108, blue), &probe);
    // |AP| = 5, |AB| = 10.
    EXPECT_FLOAT_EQ(probe.colour.r, 127.5f);
    EXPECT_FLOAT_EQ(probe.colour.g, 0.0f);
    EXPECT_FLOAT_EQ(probe.colour.b, 127.5f);
    EXPECT_EQ(probe.x, 13.0f);
    EXPECT_EQ(probe.y, 104.0f);
    EXPECT_EQ(probe.uq, 7.0f);
}

TEST(InterpolateColour, ProbeBehindTheStartStillBlendsForward) {
    ScreenVertex probe = vertex(5, 0, grey);
    interpolateColour(vertex(10, 0, red), vertex(20, 0, blue), &probe);
    EXPECT_FLOAT_EQ(probe.colour.r, 127.5f);
    EXPECT_FLOAT_EQ(probe.colour.b, 127.5f);
}

TEST(InterpolateColour, CapsAt255ButHasNoLowerBound) {
    ScreenVertex probe = vertex(20, 0, grey);
    interpolateColour(vertex(0, 0, colour(-40, 0, 0)), vertex(20, 0, colour(-20, 300, 255)),
                      &probe);
    EXPECT_FLOAT_EQ(probe.colour.r, -20.0f);
    EXPECT_FLOAT_EQ(probe.colour.g, 255.0f);
    EXPECT_FLOAT_EQ(probe.colour.b, 255.0f);
}

TEST(InterpolateColour, CoincidentEndsGiveTheStartColour) {
    ScreenVertex probe = vertex(3, 4, grey);
    interpolateColour(vertex(3, 4, red), vertex(3, 4, blue), &probe);
    EXPECT_FLOAT_EQ(probe.colour.r, 255.0f);
    EXPECT_FLOAT_EQ(probe.colour.b, 0.0f);
    probe = vertex(8, 4, grey);
    interpolateColour(vertex(3, 4, red), vertex(3, 4, blue), &probe);
    EXPECT_FLOAT_EQ(probe.colour.r, 255.0f);
    EXPECT_FLOAT_EQ(probe.colour.b, 0.0f);
}

using DrawLine = CanvasTest;

TEST_F(DrawLine, HorizontalLineBlendsFromStartToEnd) {
    drawLine(20, 100, 30, 100, dc, red, blue);
    std::vector<Point> expected;
    for (int x = 20; x <= 30; ++x) {
        expected.push_back({x, 100});
    }
    EXPECT_EQ(written(), expected);
    EXPECT_EQ(pixel(20, 100), RGB(255, 0, 0));
    EXPECT_EQ(pixel(25, 100), RGB(127, 0, 127));
    EXPECT_EQ(pixel(30, 100), RGB(0, 0, 255));
}

TEST_F(DrawLine, ExactRowIsTruncatedNotRounded) {
    drawLine(10, 40, 14, 42, dc, grey, grey);
    EXPECT_EQ(written(), sortedPoints({{10, 40}, {11, 40}, {12, 41}, {13, 41}, {14, 42}}));
}

// The step 0.1 is not exact in binary: added twenty times from 9 it falls just short of 10
// at row 110 and of 11 at row 120, so the line keeps to column 10 from row 111 to its end.
TEST_F(DrawLine, SteepColumnAccumulatesByRepeatedAddition) {
    drawLine(9, 100, 11, 120, dc, grey, grey);
    EXPECT_EQ(written(), column(10, 111, 120));
}

// Beyond row 109 the exact column exceeds 470 (470.0000000000002 at row 110, 470.4 at 114)
// and is not drawn, although it would truncate to 470.
TEST_F(DrawLine, SteepColumnIsClippedBeforeTruncation) {
    drawLine(469, 100, 471, 120, dc, grey, grey);
    EXPECT_EQ(written(), column(469, 100, 109));
}

// Rising to the right from column 9: 9.1 ... 9.9 and the final 9.999999999999996 all stay out.
TEST_F(DrawLine, SteepColumnJustLeftOfTheViewportIsNotDrawn) {
    drawLine(9, 110, 10, 100, dc, grey, grey);
    EXPECT_TRUE(written().empty());
}

TEST(DrawLineDirection, RightToLeftEqualsTheMirroredCall) {
    const int lines[][4] = {{200, 150, 120, 110}, {300, 50, 290, 200}, {250, 300, 240, 60}};
    for (const auto& l : lines) {
        Canvas given;
        Canvas mirrored;
        ASSERT_TRUE(given.create());
        ASSERT_TRUE(mirrored.create());
        drawLine(l[0], l[1], l[2], l[3], given.dc, red, blue);
        drawLine(l[2], l[3], l[0], l[1], mirrored.dc, blue, red);
        for (int y = 0; y < Canvas::size; ++y) {
            for (int x = 0; x < Canvas::size; ++x) {
                ASSERT_EQ(given.pixel(x, y), mirrored.pixel(x, y)) << "at " << x << ", " << y;
            }
        }
        // The walk starts from the left end, in that end's own colour.
        EXPECT_EQ(given.pixel(l[2], l[3]), RGB(0, 0, 255));
        given.destroy();
        mirrored.destroy();
    }
}

TEST_F(DrawLine, SlopeOfExactlyOneOrMinusOneIsADiagonal) {
    drawLine(100, 100, 105, 105, dc, grey, grey);
    drawLine(200, 105, 205, 100, dc, grey, grey);
    std::vector<Point> expected;
    for (int i = 0; i <= 5; ++i) {
        expected.push_back({100 + i, 100 + i});
        expected.push_back({200 + i, 105 - i});
    }
    EXPECT_EQ(written(), sortedPoints(expected));
}

TEST_F(DrawLine, VerticalLineStaysInItsColumnEitherWay) {
    drawLine(50, 100, 50, 110, dc, red, blue);
    drawLine(60, 110, 60, 100, dc, red, blue);
    std::vector<Point> expected = column(50, 100, 110);
    const std::vector<Point> second = column(60, 100, 110);
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(written(), sortedPoints(expected));
    EXPECT_EQ(pixel(50, 100), RGB(255, 0, 0));
    EXPECT_EQ(pixel(50, 110), RGB(0, 0, 255));
    EXPECT_EQ(pixel(60, 110), RGB(255, 0, 0));
    EXPECT_EQ(pixel(60, 100), RGB(0, 0, 255));
}

TEST_F(DrawLine, CoincidentEndPointsWriteOnePixelInTheStartColour) {
    drawLine(50, 60, 50, 60, dc, colour(10, 20, 30), blue);
    drawLine(5, 5, 5, 5, dc, red, red);
    EXPECT_EQ(written(), std::vector<Point>({{50, 60}}));
    EXPECT_EQ(pixel(50, 60), RGB(10, 20, 30));
}

TEST_F(DrawLine, WritesOnlyInsideTheViewport) {
    drawLine(5, 100, 15, 100, dc, grey, grey);
    drawLine(0, 29, 499, 29, dc, grey, grey);
    drawLine(0, 391, 499, 391, dc, grey, grey);
    drawLine(200, 0, 200, 499, dc, grey, grey);
    std::vector<Point> expected = column(200, 30, 390);
    for (int x = 10; x <= 15; ++x) {
        expected.push_back({x, 100});
    }
    EXPECT_EQ(written(), sortedPoints(expected));
}

TEST_F(DrawLine, ViewportBoundsThemselvesAreDrawn) {
    drawLine(10, 30, 470, 30, dc, grey, grey);
    drawLine(470, 390, 10, 390, dc, grey, grey);
    drawLine(10, 390, 10, 30, dc, grey, grey);
    drawLine(470, 30, 470, 390, dc, grey, grey);
    EXPECT_EQ(written().size(), 2u * 461 + 2u * 359);
    EXPECT_NE(pixel(10, 30), untouched);
    EXPECT_NE(pixel(470, 390), untouched);
}

TEST_F(DrawLine, ChannelsAbove255AreWrittenAs255) {
    drawLine(20, 200, 30, 200, dc, colour(0, 0, 0), colour(256.5f, 40, 511));
    EXPECT_EQ(pixel(30, 200), RGB(255, 40, 255));
    EXPECT_EQ(pixel(20, 200), RGB(0, 0, 0));
}

}  // namespace
