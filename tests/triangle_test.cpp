#include "raster/raster.h"

#include "raster/float_steps.h"
#include "tests/canvas.h"
#include "tests/vertex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

constexpr int textureColumns = 64;
constexpr int textureRows = 16;
constexpr float nan = std::numeric_limits<float>::quiet_NaN();
constexpr float inf = std::numeric_limits<float>::infinity();

const Colour grey = {100, 100, 100, 0};

std::uint32_t bitsOf(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

float& depthAt(int x, int y) {
    return DepthBuffer[x * depthBufferRows + y];
}

void clearDepths() {
    for (int x = 0; x < 500; ++x) {
        for (int y = 0; y < 500; ++y) {
            depthAt(x, y) = 500.0f;
        }
    }
}

// Texel (column, row) is blue = column, green = row, red = 200, so every pixel drawn in
// ShadeTexture names the texel it took.
bool makeCodedTexture(int bytesPerPixel = 3) {
    if (!textureBitmap.create(textureColumns, textureRows, bytesPerPixel)) {
        return false;
    }
    for (int row = 0; row < textureRows; ++row) {
        unsigned char* texel = textureBitmap.rowPointer(row);
        for (int column = 0; column < textureColumns; ++column, texel += bytesPerPixel) {
            const unsigned char bytes[4] = {static_cast<unsigned char>(column),
                                            static_cast<unsigned char>(row), 200, 255};
            std::memcpy(texel, bytes, bytesPerPixel);
        }
    }
    return true;
}

void fillTexture(unsigned char value) {
    for (int row = 0; row < textureBitmap.height(); ++row) {
        std::memset(textureBitmap.rowPointer(row), value, textureColumns * 3);
    }
}

COLORREF texelColour(int column, int row) {
    return RGB(200, row, column);
}

class TriangleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        clearDepths();
        ASSERT_TRUE(makeCodedTexture());
    }
    void TearDown() override { textureBitmap.destroy(); }

    // A triangle of about 5000 pixels well inside the viewport, in one colour and texel.
    void drawSample(float depth, int mode, Colour c = grey, float u = 0.5f, float v = 0.5f,
                    float q = 2.0f) {
        drawTriangle(vertex(100, 100, c, u, v, q), vertex(200, 120, c, u, v, q),
                     vertex(130, 200, c, u, v, q), canvas.dc, depth, depth, depth, mode);
    }

    // Every written pixel has this colour, and there is at least one.
    void expectAllWrittenAre(COLORREF colour) {
        const std::vector<Point> points = canvas.written();
        ASSERT_FALSE(points.empty());
        for (Point p : points) {
            ASSERT_EQ(canvas.pixel(p.x, p.y), colour) << p;
        }
    }

    Canvas canvas;
};

using TriangleReject = TriangleTest;
using TriangleCoverage = TriangleTest;
using TriangleDepth = TriangleTest;
using TriangleTexture = TriangleTest;
using TriangleShade = TriangleTest;
using TriangleRecords = TriangleTest;
using TriangleFarCorners = TriangleTest;

// KEPT: a triangle is drawn only when a corner lies strictly inside the viewport
TEST_F(TriangleReject, AllCornersOutsideDrawNothingEvenOverTheWholeViewport) {
    drawTriangle(vertex(-1000, -1000), vertex(3000, -1000), vertex(-1000, 3000), canvas.dc, 100,
                 100, 100, ShadeColour);
    EXPECT_TRUE(canvas.written().empty());
    EXPECT_EQ(depthAt(240, 200), 500.0f);
}

// KEPT: a triangle is drawn only when a corner lies strictly inside the viewport
TEST_F(TriangleReject, CornerOnTheBorderIsNotInside) {
    // Each reaches well into the viewport; its other corners lie outside it.
    drawTriangle(vertex(10.0f, 200), vertex(300, -50), vertex(300, 450), canvas.dc, 100, 100, 100,
                 ShadeColour);
    drawTriangle(vertex(240, 30.0f), vertex(-100, 500), vertex(600, 500), canvas.dc, 100, 100, 100,
                 ShadeColour);
    drawTriangle(vertex(470.0f, 200), vertex(100, -50), vertex(100, 450), canvas.dc, 100, 100, 100,
                 ShadeColour);
    drawTriangle(vertex(240, 390.0f), vertex(-100, -50), vertex(600, -50), canvas.dc, 100, 100, 100,
                 ShadeColour);
    EXPECT_TRUE(canvas.written().empty());
    drawTriangle(vertex(10.01f, 200), vertex(300, -50), vertex(300, 450), canvas.dc, 100, 100, 100,
                 ShadeColour);
    EXPECT_GT(canvas.written().size(), 10000u);
}

TEST_F(TriangleReject, ThreeCornersOnOneRowDrawNothing) {
    drawTriangle(vertex(100, 200), vertex(300, 200), vertex(200, 200), canvas.dc, 100, 100, 100,
                 ShadeColour);
    drawTriangle(vertex(100, 150.5f), vertex(300, 150.5f), vertex(200, 150.5f), canvas.dc, 100, 100,
                 100, ShadeColour);
    EXPECT_TRUE(canvas.written().empty());
}

// The bottom row floor(C.y) and the column floor(xr) are never written, and the lower half
// starts one row above its middle row.
// KEPT: rows and spans stop short of floor(): a face's diagonal has gaps
// KEPT: the lower half starts one row above the middle row
TEST_F(TriangleCoverage, RightTriangleWritesRows99To198AndNothingInColumn200) {
    drawTriangle(vertex(100, 100), vertex(200, 100), vertex(100, 200), canvas.dc, 100, 100, 100,
                 ShadeColour);
    const std::vector<Point> points = canvas.written();
    ASSERT_FALSE(points.empty());
    EXPECT_EQ(points.front().y, 99);
    EXPECT_EQ(points.back().y, 198);
    std::vector<Point> row99;
    for (Point p : points) {
        EXPECT_LT(p.x, 200) << p;
        EXPECT_GE(p.x, 100) << p;
        EXPECT_EQ(depthAt(p.x, p.y), 100.0f) << p;
        if (p.y == 99) {
            row99.push_back(p);
        }
    }
    ASSERT_EQ(row99.size(), 100u);
    EXPECT_EQ(row99.front().x, 100);
    EXPECT_EQ(row99.back().x, 199);
    // Each row is one unbroken run from column 100, no longer than the row above it.
    int previousLength = 101;
    for (int y = 99; y <= 198; ++y) {
        int length = 0;
        while (canvas.pixel(100 + length, y) != Canvas::untouched) {
            ++length;
        }
        EXPECT_GE(length, 1) << y;
        EXPECT_LE(length, previousLength) << y;
        previousLength = length;
    }
}

// KEPT: rows and spans stop short of floor(): a face's diagonal has gaps
// KEPT: the lower half starts one row above the middle row
TEST_F(TriangleCoverage, HorizontalBottomEdgeEndsOneRowAboveIt) {
    drawTriangle(vertex(150, 100), vertex(100, 200), vertex(200, 200), canvas.dc, 100, 100, 100,
                 ShadeColour);
    const std::vector<Point> points = canvas.written();
    ASSERT_FALSE(points.empty());
    // Rows 100 and 101 are narrower than one column.
    EXPECT_EQ(points.front().y, 102);
    EXPECT_EQ(points.back().y, 199);
    // The upper half's row 199 starts at column 101; the lower half's, from the raised
    // corner (100, 199), at column 100.
    EXPECT_NE(canvas.pixel(100, 199), Canvas::untouched);
    EXPECT_EQ(canvas.pixel(100, 198), Canvas::untouched);
}

// Middle vertex B = (50, 150) on a whole row: the upper half's row 149 runs from column 51
// at depth 106 upward, the lower half's from column 50 at depth 100. The lower half comes
// second and is nearer, so it takes row 149, column 50 included.
// KEPT: the lower half starts one row above the middle row
TEST_F(TriangleCoverage, RowAboveAWholeMiddleRowIsVisitedByBothHalves) {
    drawTriangle(vertex(100, 100), vertex(50, 150), vertex(100, 200), canvas.dc, 400, 100, 100,
                 ShadeColour);
    EXPECT_NE(canvas.pixel(50, 149), Canvas::untouched);
    EXPECT_EQ(canvas.pixel(49, 149), Canvas::untouched);
    EXPECT_NEAR(depthAt(50, 149), 100.0f, 0.01f);
    EXPECT_NEAR(depthAt(51, 149), 103.0f, 0.01f);
    EXPECT_NEAR(depthAt(52, 148), 112.0f, 0.01f);
}

// Row 99 of this triangle runs exactly from xl = 100.5 to xr = 150, depth 100 to 149.5 and
// u from 0 to 0.99. The depth step divides by the width truncated (49), the texture step by
// the exact width (49.5); the first column, 101, takes the values at xl itself, and the
// running values move on over the pixels an earlier, nearer triangle keeps.
// KEPT: a row starts at ceil(xl) with the values at xl itself
// KEPT: rows and spans stop short of floor(): a face's diagonal has gaps
// KEPT: the texel is (size - 1) x coordinate, truncated: the last only at exactly 1
TEST_F(TriangleCoverage, RowStepsAndTheFirstColumn) {
    for (int x = 120; x <= 130; ++x) {
        depthAt(x, 99) = 6.0f;
    }
    drawTriangle(vertex(100.5f, 100, grey, 0, 0), vertex(150, 100, grey, 0.99f, 0),
                 vertex(100.5f, 297, grey, 0, 0), canvas.dc, 100, 149.5f, 100, ShadeTexture);
    EXPECT_EQ(canvas.pixel(100, 99), Canvas::untouched);
    EXPECT_EQ(depthAt(101, 99), 100.0f);
    EXPECT_EQ(canvas.pixel(101, 99), texelColour(0, 0));
    EXPECT_EQ(canvas.pixel(125, 99), Canvas::untouched);
    EXPECT_NEAR(depthAt(149, 99), 100 + 48 * 49.5 / 49, 0.001);
    // u = 48 * 0.99 / 49.5 = 0.96 there: column trunc(63 * 0.96) = 60.
    EXPECT_EQ(canvas.pixel(149, 99), texelColour(60, 0));
    EXPECT_EQ(canvas.pixel(150, 99), Canvas::untouched);
}

// The upper half probes its span ends at the first and the end column, the lower half at
// the exact edges. With the left edge black, every row of the upper half therefore starts
// with a black pixel, while the lower half's first pixels, a fraction of a column inside the
// span, already take a little of the right end's colour.
// KEPT: the upper half probes span colours at columns, the lower at the edges
TEST_F(TriangleShade, SpanEndsAreProbedAtColumnsAboveAndAtTheEdgesBelow) {
    const Colour black = {0, 0, 0, 0};
    const Colour white = {250, 250, 250, 0};
    drawTriangle(vertex(200, 100, black), vertex(150.3f, 160, black), vertex(260.7f, 160, white),
                 canvas.dc, 100, 100, 100, ShadeColour);
    // Row 159 belongs to the lower half too.
    for (int y = 105; y < 159; ++y) {
        int x = 0;
        while (canvas.pixel(x, y) == Canvas::untouched) {
            ++x;
        }
        ASSERT_EQ(canvas.pixel(x, y), RGB(0, 0, 0)) << y;
    }
    Canvas lower;
    clearDepths();
    drawTriangle(vertex(150.3f, 100, black), vertex(260.7f, 100, white), vertex(200, 160, black),
                 lower.dc, 100, 100, 100, ShadeColour);
    int tinted = 0;
    for (int y = 99; y < 155; ++y) {
        int x = 0;
        while (lower.pixel(x, y) == Canvas::untouched) {
            ++x;
        }
        tinted += lower.pixel(x, y) != RGB(0, 0, 0);
    }
    EXPECT_GT(tinted, 10);
}

TEST_F(TriangleCoverage, VertexOrderDoesNotChangeAPixel) {
    const ScreenVertex corners[3] = {vertex(120, 80.25f, {255, 0, 0, 0}, 0, 0, 1),
                                     vertex(330, 140.5f, {0, 255, 0, 0}, 1, 0, 2),
                                     vertex(160, 310.75f, {0, 0, 255, 0}, 0.5f, 1, 3)};
    const float depths[3] = {100, 300, 200};
    const int orders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
    std::vector<COLORREF> first;
    std::vector<float> firstDepths;
    for (const auto& o : orders) {
        clearDepths();
        Canvas target;
        drawTriangle(corners[o[0]], corners[o[1]], corners[o[2]], target.dc, depths[o[0]],
                     depths[o[1]], depths[o[2]], ShadeModulate);
        std::vector<COLORREF> pixels;
        std::vector<float> stored;
        for (int y = 0; y < Canvas::size; ++y) {
            for (int x = 0; x < Canvas::size; ++x) {
                pixels.push_back(target.pixel(x, y));
                stored.push_back(depthAt(x, y));
            }
        }
        if (first.empty()) {
            first = pixels;
            firstDepths = stored;
            EXPECT_GT(target.written().size(), 10000u);
        } else {
            EXPECT_EQ(pixels, first) << o[0] << o[1] << o[2];
            EXPECT_EQ(stored, firstDepths) << o[0] << o[1] << o[2];
        }
    }
}

// KEPT: the depth test is strict: the first of equal depths keeps the pixel
TEST_F(TriangleDepth, EqualDepthKeepsTheFirstTriangleAndNearerReplacesIt) {
    drawSample(100, ShadeColour, {200.5f, 0, 0, 0});
    drawSample(100, ShadeColour, {0, 0, 200.5f, 0});
    expectAllWrittenAre(RGB(200, 0, 0));
    drawSample(99.99f, ShadeColour, {0, 200.5f, 0, 0});
    expectAllWrittenAre(RGB(0, 200, 0));
}

// KEPT: the depth test is strict: the first of equal depths keeps the pixel
TEST_F(TriangleDepth, NearLimitAndClearedValueAreNotDrawn) {
    drawSample(5.0f, ShadeColour);
    drawSample(4.0f, ShadeColour);
    drawSample(500.0f, ShadeColour);
    drawSample(nan, ShadeColour);
    EXPECT_TRUE(canvas.written().empty());
    EXPECT_EQ(depthAt(150, 150), 500.0f);
    drawSample(std::nextafter(5.0f, 6.0f), ShadeColour);
    EXPECT_FALSE(canvas.written().empty());
}

// KEPT: the depth is stored before the colour: an unknown mode writes depths only
TEST_F(TriangleDepth, UnknownModeStoresDepthsButWritesNoPixel) {
    drawSample(100, 4);
    drawSample(100, -1);
    EXPECT_TRUE(canvas.written().empty());
    EXPECT_EQ(depthAt(150, 150), 100.0f);
}

TEST_F(TriangleDepth, TouchesNoDepthOutsideTheViewport) {
    for (float& depth : DepthBuffer) {
        depth = 500.0f;
    }
    drawTriangle(vertex(240, 200), vertex(-3000, -2000), vertex(3000, 2500), canvas.dc, 100, 100,
                 100, ShadeColour);
    drawTriangle(vertex(240, 200), vertex(-3000, 2500), vertex(3000, -2000), canvas.dc, 100, 100,
                 100, ShadeColour);
    for (int x = 0; x < depthBufferColumns; ++x) {
        for (int y = 0; y < depthBufferRows; ++y) {
            const bool inside =
                x >= viewportLeft && x <= viewportRight && y >= viewportTop && y <= viewportBottom;
            if (!inside) {
                ASSERT_EQ(depthAt(x, y), 500.0f) << x << ", " << y;
            }
        }
    }
    const std::vector<Point> points = canvas.written();
    EXPECT_GT(points.size(), 50000u);
    for (Point p : points) {
        ASSERT_TRUE(p.x >= viewportLeft && p.x <= viewportRight && p.y >= viewportTop &&
                    p.y <= viewportBottom)
            << p;
    }
}

// Depth steps divide by heights truncated to whole rows. In the first triangle the sort
// makes (100, 150) the bottom corner, so the long edge runs to it and steps 98 / trunc(49.5)
// = 2 a row: the split vertex gets 100 + 49.5 * 2 = 199, and the left edge, from the top at
// 100 to it, stores 100 + 42.5 * 99 / trunc(49.5) at the first column of row 143. In the
// second the long edge steps 200 / trunc(100.5) = 2, the split vertex 50.5 rows down gets
// 201, and the upper half's row 149 starts at 100 + 49.5 * 101 / trunc(50.5).
// KEPT: depth steps divide by the height and width truncated to whole pixels
// KEPT: a row starts at ceil(xl) with the values at xl itself
TEST_F(TriangleDepth, DepthStepsDivideByWholeRows) {
    drawTriangle(vertex(200, 100.5f), vertex(100, 150), vertex(300, 150), canvas.dc, 100, 198, 198,
                 ShadeColour);
    int first = 0;
    while (canvas.pixel(first, 143) == Canvas::untouched) {
        ++first;
    }
    EXPECT_NEAR(depthAt(first, 143), 185.8673f, 0.0001f);
    clearDepths();
    drawTriangle(vertex(200, 99.5f), vertex(300, 150), vertex(200, 200), canvas.dc, 100, 150, 300,
                 ShadeColour);
    EXPECT_NEAR(depthAt(200, 149), 199.99f, 0.001f);
}

// In a sliver under one row high the long edge's depth step divides by zero whole rows, so
// the split vertex's depth, and with it every step along a row, is infinite or NaN. Only the
// lower half's one row can hold a pixel, and of it only the first column, which takes the
// finite edge depth before any step is added; sometimes not even that.
// KEPT: depth steps divide by the height and width truncated to whole pixels
TEST_F(TriangleDepth, SliversDrawAtMostOnePixelAndStoreOnlyNumbers) {
    const float ys[][3] = {{99.8f, 100.0f, 100.5f},
                           {100.2f, 100.9f, 100.95f},
                           {100.0f, 100.0f, 100.7f},
                           {100.5f, 101.0f, 101.0f}};
    int drawn = 0;
    for (const auto& y : ys) {
        for (bool mirrored : {false, true}) {
            clearDepths();
            Canvas target;
            drawTriangle(vertex(mirrored ? 300 : 100, y[0]), vertex(mirrored ? 100 : 300, y[1]),
                         vertex(200, y[2]), target.dc, 100, 200, 300, ShadeColour);
            const std::vector<Point> points = target.written();
            ASSERT_LE(points.size(), 1u) << y[0] << " " << mirrored;
            drawn += static_cast<int>(points.size());
            for (int x = viewportLeft; x <= viewportRight; ++x) {
                for (int row = viewportTop; row <= viewportBottom; ++row) {
                    ASSERT_TRUE(depthAt(x, row) > 5.0f && depthAt(x, row) <= 500.0f)
                        << x << ", " << row;
                }
            }
        }
    }
    EXPECT_EQ(drawn, 2);
}

// KEPT: the texel is (size - 1) x coordinate, truncated: the last only at exactly 1
TEST_F(TriangleTexture, TexelIsChosenByTruncatingTheScaledCoordinates) {
    drawSample(100, ShadeTexture, grey, 0.5f, 0.5f, 2.0f);
    // 63 * 0.5 and 15 * 0.5 truncated.
    expectAllWrittenAre(texelColour(31, 7));
}

// KEPT: the texel is (size - 1) x coordinate, truncated: the last only at exactly 1
TEST_F(TriangleTexture, CoordinatesOutsideClampToTheEdgeTexels) {
    drawSample(400, ShadeTexture, grey, 1.7f, -3.0f, 1.0f);
    expectAllWrittenAre(texelColour(63, 0));
    drawSample(300, ShadeTexture, grey, 1.0f, 1.0f, 0.5f);
    expectAllWrittenAre(texelColour(63, 15));
    drawSample(200, ShadeTexture, grey, 2.0f, 0.5f, 1.0f);
    expectAllWrittenAre(texelColour(63, 7));
    // With q = 0, uq = 0 gives 0 / 0, which is not a number, and vq = 5 gives infinity.
    ScreenVertex corners[3] = {vertex(100, 100), vertex(200, 120), vertex(130, 200)};
    for (ScreenVertex& corner : corners) {
        corner.uq = 0;
        corner.vq = 5;
        corner.q = 0;
    }
    drawTriangle(corners[0], corners[1], corners[2], canvas.dc, 100, 100, 100, ShadeTexture);
    expectAllWrittenAre(texelColour(0, 15));
}

// Along row 99 uq runs from 0 to 3 and q from 1 to 3 (u from 0 to 1): at a fraction f of the
// way across, u = 3f / (1 + 2f), not f.
TEST_F(TriangleTexture, CoordinatesAreDividedByQAtEveryPixel) {
    drawTriangle(vertex(100, 100, grey, 0, 0, 1), vertex(300, 100, grey, 1, 0, 3),
                 vertex(100, 300, grey, 0, 0, 1), canvas.dc, 100, 100, 100, ShadeTexture);
    for (int x = 110; x < 300; x += 20) {
        const double f = (x - 100) / 200.0;
        const double u = 3 * f / (1 + 2 * f);
        const int column = GetBValue(canvas.pixel(x, 99));
        EXPECT_NEAR(column, 63 * u, 1.0) << x;
        EXPECT_EQ(GetGValue(canvas.pixel(x, 99)), 0) << x;
    }
}

// v runs from 0 at the top corner (row 100.5) to 1 at the bottom edge (row 150): the upper
// half steps it by 1/49 a row, the height truncated, so row 143 takes texel row
// trunc(15 * 42.5 / 49) = 13 (the exact height would give 12).
// KEPT: the upper half steps texture values by whole rows, the lower by the height
TEST_F(TriangleTexture, UpperHalfStepsByWholeRowsLowerHalfByTheExactHeight) {
    drawTriangle(vertex(200, 100.5f, grey, 0.5f, 0), vertex(100, 150, grey, 0.5f, 1),
                 vertex(300, 150, grey, 0.5f, 1), canvas.dc, 100, 100, 100, ShadeTexture);
    EXPECT_EQ(canvas.pixel(200, 130), texelColour(31, 9));
    EXPECT_EQ(canvas.pixel(200, 140), texelColour(31, 12));
    EXPECT_EQ(canvas.pixel(200, 143), texelColour(31, 13));
    // The lower half from row 99 to the corner at row 150.5 divides by 51.5, not 51.
    Canvas lower;
    clearDepths();
    drawTriangle(vertex(100, 100, grey, 0.5f, 0), vertex(300, 100, grey, 0.5f, 0),
                 vertex(200, 150.5f, grey, 0.5f, 1), lower.dc, 100, 100, 100, ShadeTexture);
    EXPECT_EQ(lower.pixel(200, 106), texelColour(31, 2));
    EXPECT_EQ(lower.pixel(200, 113), texelColour(31, 4));
    EXPECT_EQ(lower.pixel(200, 130), texelColour(31, 9));
}

// With u = v = 1 at every corner, uq and vq equal q wherever all three step alike, and every
// pixel takes the last texel. A weight stepped by other divisors than the coordinates (the
// whole rows or columns of the depth) leaves uq / q below 1 on some pixels, off that texel.
TEST_F(TriangleTexture, WeightStepsAsTheWeightedCoordinatesDo) {
    drawTriangle(vertex(100.5f, 100.25f, grey, 1, 1, 1), vertex(310.75f, 160.5f, grey, 1, 1, 7),
                 vertex(140.25f, 290.75f, grey, 1, 1, 3), canvas.dc, 100, 100, 100, ShadeTexture);
    expectAllWrittenAre(texelColour(63, 15));
}

TEST_F(TriangleTexture, EmptyTextureGivesBlackTexelsAndDepthsAreStillStored) {
    textureBitmap.destroy();
    drawSample(300, ShadeTexture);
    expectAllWrittenAre(RGB(0, 0, 0));
    EXPECT_EQ(depthAt(150, 150), 300.0f);
    drawSample(200, ShadeBlend, {201, 101, 51, 0});
    expectAllWrittenAre(RGB(100, 50, 25));
    drawSample(100, ShadeModulate, {201, 101, 51, 0});
    expectAllWrittenAre(RGB(0, 0, 0));
}

TEST_F(TriangleTexture, TextureNotThreeBytesAPixelGivesBlackTexels) {
    for (int bytes : {4, 1, 2}) {
        clearDepths();
        ASSERT_TRUE(makeCodedTexture(bytes));
        drawSample(100, ShadeTexture);
        expectAllWrittenAre(RGB(0, 0, 0));
        EXPECT_EQ(depthAt(150, 150), 100.0f);
    }
}

TEST_F(TriangleShade, ModulateWithAWhiteTexelTruncatesTheColour) {
    fillTexture(255);
    drawSample(300, ShadeModulate, {100.7f, 50.2f, 200.9f, 0});
    expectAllWrittenAre(RGB(100, 50, 200));
    fillTexture(128);
    // 128 / 255 * 200 = 100.39
    drawSample(200, ShadeModulate, {200, 200, 200, 0});
    expectAllWrittenAre(RGB(100, 100, 100));
}

TEST_F(TriangleShade, BlendIsHalfTexelHalfColourTruncated) {
    fillTexture(255);
    drawSample(300, ShadeBlend, {0, 0, 0, 0});
    expectAllWrittenAre(RGB(127, 127, 127));
    fillTexture(0);
    drawSample(200, ShadeBlend, {255, 101, 3, 0});
    expectAllWrittenAre(RGB(127, 50, 1));
}

// 255 * 0.5 + 0.5 * 0.99999994 is 127.99999997 in double, which a float would round to 128.
TEST_F(TriangleShade, BlendIsEvaluatedInDouble) {
    fillTexture(255);
    const float belowOne = std::nextafter(1.0f, 0.0f);
    drawSample(300, ShadeBlend, {belowOne, belowOne, belowOne, 0});
    int truncatedDown = 0;
    for (Point p : canvas.written()) {
        truncatedDown += GetRValue(canvas.pixel(p.x, p.y)) == 127;
    }
    EXPECT_GT(truncatedDown, 0);
}

// KEPT: the texel is (size - 1) x coordinate, truncated: the last only at exactly 1
TEST_F(TriangleShade, TextureModeTakesTheTexelAndColourModeTheColour) {
    drawSample(300, ShadeTexture, {10, 20, 30, 0}, 0.25f, 0.75f, 1.0f);
    expectAllWrittenAre(texelColour(15, 11));
    drawSample(200, ShadeColour, {10.9f, 20.5f, 30.1f, 0}, 0.25f, 0.75f, 1.0f);
    expectAllWrittenAre(RGB(10, 20, 30));
}

// Colours have no lower bound: -1.5 truncates to -1, whose low byte is 255, and -256.5 to
// -256, whose low byte is 0.
// KEPT: a channel is truncated and keeps its low 8 bits: -1 is written as 255
TEST_F(TriangleShade, ChannelsKeepTheLowEightBitsOfTheTruncatedValue) {
    drawSample(300, ShadeColour, {-1.5f, -256.5f, -3e9f, 0});
    expectAllWrittenAre(RGB(255, 0, 0));
    fillTexture(255);
    drawSample(200, ShadeModulate, {-1.5f, -2.5f, -129.5f, 0});
    expectAllWrittenAre(RGB(255, 254, 127));
}

TEST_F(TriangleShade, ColourIsInterpolatedFromTheSpanEnds) {
    drawTriangle(vertex(100, 100, {255, 0, 0, 0}), vertex(200, 100, {0, 255, 0, 0}),
                 vertex(100, 200, {0, 0, 255, 0}), canvas.dc, 100, 100, 100, ShadeColour);
    EXPECT_EQ(canvas.pixel(100, 99), RGB(255, 0, 0));
    // 99 / 100 of the way from red to green.
    EXPECT_EQ(canvas.pixel(199, 99), RGB(2, 252, 0));
}

TEST_F(TriangleRecords, CallersRecordsAreUnchanged) {
    const ScreenVertex given[3] = {vertex(300, 300, {1, 2, 3, 4}, 0.1f, 0.2f, 3),
                                   vertex(100, 100, {5, 6, 7, 8}, 0.3f, 0.4f, 2),
                                   vertex(200, 50, {9, 10, 11, 12}, 0.5f, 0.6f, 1)};
    ScreenVertex copies[3];
    std::memcpy(copies, given, sizeof copies);
    drawTriangle(copies[0], copies[1], copies[2], canvas.dc, 100, 200, 300, ShadeBlend);
    EXPECT_EQ(std::memcmp(copies, given, sizeof copies), 0);
    EXPECT_FALSE(canvas.written().empty());
}

TEST_F(TriangleFarCorners, WedgeFromHugeCornersFillsTheViewportBelowItsApex) {
    drawTriangle(vertex(240, 35), vertex(-3e8f, 3e8f), vertex(3e8f, 3e8f), canvas.dc, 100, 100, 100,
                 ShadeColour);
    const std::vector<Point> points = canvas.written();
    ASSERT_FALSE(points.empty());
    EXPECT_EQ(points.front().y, 36);
    EXPECT_EQ(points.back(), (Point{viewportRight, viewportBottom}));
    for (int x = viewportLeft; x <= viewportRight; ++x) {
        EXPECT_NE(canvas.pixel(x, viewportBottom), Canvas::untouched) << x;
    }
    for (Point p : points) {
        ASSERT_GE(p.x, viewportLeft);
        ASSERT_LE(p.x, viewportRight);
    }
}

// Row 99 starts at column -999675 at depth 125160.625 and steps by exactly -0.125: the
// running depth must arrive at column 10 with the 999685 additions of the columns to its left.
TEST_F(TriangleFarCorners, ColumnsLeftOfTheViewportStillAdvanceTheRunningValues) {
    drawTriangle(vertex(-999675, 100), vertex(300, 100), vertex(300, 300), canvas.dc, 125160.625f,
                 163.75f, 163.75f, ShadeColour);
    EXPECT_EQ(depthAt(10, 99), 200.0f);
    EXPECT_EQ(depthAt(11, 99), 199.875f);
    EXPECT_EQ(depthAt(299, 99), 163.875f);
    EXPECT_EQ(depthAt(300, 99), 500.0f);
}

// The rule for a triangle with a flat top edge, left corner first, walked plainly. Its upper
// half is empty; its lower half runs from the top edge, raised by one row, to the bottom
// corner. Every row and every column of it is walked, the depth carried by one addition a
// column, and only what falls inside the viewport is kept: the depths a cleared buffer holds
// afterwards, column by column as DepthBuffer holds them.
std::vector<float> flatTopDepthsWalkedPlainly(ScreenVertex left, ScreenVertex right,
                                              ScreenVertex bottom, float zLeft, float zRight,
                                              float zBottom) {
    std::vector<float> depths(depthBufferColumns * depthBufferRows, 500.0f);
    const float height = (left.y - 1.0f) - bottom.y;
    const float rows = static_cast<float>(static_cast<int>(height));
    const float leftX = (left.x - bottom.x) / height, rightX = (right.x - bottom.x) / height;
    const float leftZ = (zLeft - zBottom) / rows, rightZ = (zRight - zBottom) / rows;
    const int endRow = static_cast<int>(std::floor(static_cast<double>(bottom.y)));
    for (int y = static_cast<int>(std::ceil(static_cast<double>(left.y - 1.0f))); y < endRow; ++y) {
        const float dy = static_cast<float>(y) - bottom.y;
        const float xl = bottom.x + dy * leftX, xr = bottom.x + dy * rightX;
        const float zl = zBottom + dy * leftZ, zr = zBottom + dy * rightZ;
        const float zStep = (zr - zl) / static_cast<float>(std::abs(static_cast<int>(xr - xl)));
        float z = zl;
        const int endColumn = static_cast<int>(std::floor(static_cast<double>(xr)));
        for (int x = static_cast<int>(std::ceil(static_cast<double>(xl))); x < endColumn; ++x) {
            const bool inside =
                x >= viewportLeft && x <= viewportRight && y >= viewportTop && y <= viewportBottom;
            if (inside && z < 500.0f && z > 5.0f) {
                depths[x * depthBufferRows + y] = z;
            }
            z += zStep;
        }
    }
    return depths;
}

// The rows above the viewport and the columns left of it are not walked but skipped; every
// depth must still be the one the plain walk leaves. The steps are inexact, so each skipped
// column rounds, and the long runs cross binades of the running depth.
// KEPT: rows and spans stop short of floor(): a face's diagonal has gaps
// KEPT: depth steps divide by the height and width truncated to whole pixels
TEST_F(TriangleFarCorners, SkippedRowsAndColumnsLeaveWhatThePlainWalkLeaves) {
    std::mt19937 random(2024);
    auto between = [&random](float low, float high) {
        return std::uniform_real_distribution<float>(low, high)(random);
    };
    for (int i = 0; i < 12; ++i) {
        const float farLeft = -std::pow(10.0f, between(2, 5));
        const float topY = i % 3 == 0 ? between(-60, 29) : between(31, 200);
        const ScreenVertex left = vertex(farLeft, topY), right = vertex(between(100, 460), topY);
        // A corner strictly inside the viewport: the right one, or else the bottom one.
        const float lowest = i % 3 == 0 ? 389 : 420;
        const ScreenVertex bottom =
            vertex(between(20, 460), between(std::max(topY + 2, 31.0f), lowest));
        const float zLeft = between(6, 600), zRight = between(6, 499), zBottom = between(6, 499);
        clearDepths();
        drawTriangle(left, right, bottom, canvas.dc, zLeft, zRight, zBottom, ShadeColour);
        const std::vector<float> expected =
            flatTopDepthsWalkedPlainly(left, right, bottom, zLeft, zRight, zBottom);
        int drawn = 0;
        for (int x = viewportLeft; x <= viewportRight; ++x) {
            for (int y = viewportTop; y <= viewportBottom; ++y) {
                const float want = expected[x * depthBufferRows + y];
                ASSERT_EQ(bitsOf(depthAt(x, y)), bitsOf(want))
                    << "triangle " << i << " at " << x << ", " << y << ": " << want;
                drawn += want != 500.0f;
            }
        }
        EXPECT_GT(drawn, 100) << "triangle " << i;
    }
}

TEST_F(TriangleFarCorners, HugeAndNonFiniteCornersConvertSafely) {
    const float extremes[] = {3e9f, -3e9f, 2147483520.0f, -2147483648.0f, 1e30f, -1e30f, inf,
                              -inf, nan};
    for (float a : extremes) {
        for (float b : extremes) {
            drawTriangle(vertex(240, 200, grey, 0.5f, 0.5f, 1), vertex(a, b, grey, 2, -1, 0),
                         vertex(b, 300, grey, -1, 2, 5), canvas.dc, 100, a, 300, ShadeModulate);
            drawTriangle(vertex(a, -b), vertex(240, 200), vertex(-a, 150), canvas.dc, b, 100, 200,
                         ShadeBlend);
        }
    }
    for (Point p : canvas.written()) {
        ASSERT_TRUE(p.x >= viewportLeft && p.x <= viewportRight && p.y >= viewportTop &&
                    p.y <= viewportBottom)
            << p;
    }
    for (int x = viewportLeft; x <= viewportRight; ++x) {
        for (int y = viewportTop; y <= viewportBottom; ++y) {
            ASSERT_TRUE(depthAt(x, y) > 5.0f && depthAt(x, y) <= 500.0f) << x << ", " << y;
        }
    }
}

float addOneByOne(float value, float step, long long count) {
    for (long long i = 0; i < count; ++i) {
        value += step;
    }
    return value;
}

// Random magnitudes and mantissas of random length, so that the runs cross binades, pass
// through zero and the subnormals, and land exactly halfway between floats.
TEST(AddRepeatedly, MatchesAdditionOneStepAtATime) {
    std::mt19937 random(12345);
    auto randomFloat = [&random](int exponent) {
        const int bits = 1 + static_cast<int>(random() % 24);
        const double mantissa = static_cast<double>(random() % (1u << bits) | 1u) / (1u << bits);
        const double sign = random() % 2 ? -1.0 : 1.0;
        return static_cast<float>(sign * std::ldexp(1.0 + mantissa, exponent));
    };
    for (int i = 0; i < 3000; ++i) {
        const int stepExponent = static_cast<int>(random() % 200) - 149;
        const int valueExponent = stepExponent + static_cast<int>(random() % 30) - 3;
        const float step = randomFloat(stepExponent);
        const float value = randomFloat(std::min(valueExponent, 127));
        const long long count = static_cast<long long>(random() % 20000);
        ASSERT_EQ(bitsOf(addRepeatedly(value, step, count)),
                  bitsOf(addOneByOne(value, step, count)))
            << value << " + " << step << " x " << count;
    }
}

TEST(AddRepeatedly, HandlesTiesZeroSubnormalsAndOverflow) {
    const float cases[][2] = {{16777216.0f + 2, 1.0f},
                              {8388608.0f, 0.5f},
                              {-16777216.0f, 3.0f},
                              {1000.3f, -0.7f},
                              {1e-44f, -3e-45f},
                              {-0.0f, 1e-45f},
                              {3e38f, 1e37f},
                              {-3e38f, -3.3e37f},
                              {1.0f, nan},
                              {inf, -1.0f},
                              {5.0f, 0.0f},
                              {0.1f, -0.1f},
                              {16777215.0f, 0.5f},
                              {33554430.0f, -1.0f}};
    for (const auto& c : cases) {
        for (long long count : {0LL, 1LL, 17LL, 100LL, 70000LL}) {
            EXPECT_EQ(bitsOf(addRepeatedly(c[0], c[1], count)),
                      bitsOf(addOneByOne(c[0], c[1], count)))
                << c[0] << " + " << c[1] << " x " << count;
        }
    }
    EXPECT_EQ(addRepeatedly(3.0f, 1.0f, -5), 3.0f);
}

TEST(AddRepeatedly, StopsWhereTheSumNoLongerChanges) {
    // 2^24 + 1 lies halfway to the next float and rounds back to the even 2^24.
    EXPECT_EQ(addRepeatedly(1.0f, 1.0f, 1LL << 40), 16777216.0f);
    EXPECT_EQ(addRepeatedly(-5.0f, -0.25f, 1LL << 40), -4194304.0f);
    EXPECT_EQ(bitsOf(addRepeatedly(0.0f, 0.1f, 30000000)),
              bitsOf(addOneByOne(0.0f, 0.1f, 30000000)));
}

}  // namespace
