#include "raster/raster.h"

#include "tests/canvas.h"
#include "tests/vertex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

PixelWrites record;

void clearDepths() {
    std::fill(DepthBuffer, DepthBuffer + depthBufferColumns * depthBufferRows, 500.0f);
}

struct Shape {
    ScreenVertex a, b, c;
    float depth;  // 0: the line from a to b
};

// Overlapping triangles at one depth each, far then near then farthest, one reaching past the
// viewport's corner, and a line across them all.
const std::vector<Shape> shapes = {
    {vertex(40, 50), vertex(200, 60), vertex(60, 220), 200},
    {vertex(100, 90), vertex(260, 100), vertex(120, 260), 100},
    {vertex(5, 20), vertex(150, 150), vertex(30, 300), 300},
    {vertex(20, 200), vertex(200, 80), vertex(0, 0), 0},
};

void draw(const Shape& shape, HDC dc) {
    if (shape.depth == 0) {
        drawLine((int)shape.a.x, (int)shape.a.y, (int)shape.b.x, (int)shape.b.y, dc, shape.a.colour,
                 shape.b.colour);
    } else {
        drawTriangle(shape.a, shape.b, shape.c, dc, shape.depth, shape.depth, shape.depth,
                     ShadeColour);
    }
}

int entry(Point p) {
    return (p.y - viewportTop) * viewportColumns + (p.x - viewportLeft);
}

// Each shape alone on a fresh canvas tells which pixels it can reach; drawn together, a
// triangle writes where it is nearer than what came before it, and a line everywhere.
// KEPT: the depth test is strict: the first of equal depths keeps the pixel
TEST(PixelWrites, NotedPathsDrawWhatPlainOnesDrawAndCountEveryWrite) {
    std::vector<int> expectedCount(viewportColumns * viewportRows, 0);
    std::vector<float> expectedDepth(viewportColumns * viewportRows, noDepth);
    std::vector<float> nearest(viewportColumns * viewportRows, 500.0f);
    for (const Shape& shape : shapes) {
        Canvas alone;
        clearDepths();
        draw(shape, alone.dc);
        for (Point p : alone.written()) {
            const int i = entry(p);
            if (shape.depth == 0) {
                expectedCount[i] += 1;
                expectedDepth[i] = noDepth;
            } else if (shape.depth < nearest[i]) {
                expectedCount[i] += 1;
                expectedDepth[i] = nearest[i] = shape.depth;
            }
        }
    }

    Canvas plain, noted;
    clearDepths();
    for (const Shape& shape : shapes) {
        draw(shape, plain.dc);
    }
    clearDepths();
    clearPixelWrites(&record);
    pixelWrites = &record;
    for (const Shape& shape : shapes) {
        draw(shape, noted.dc);
    }
    pixelWrites = nullptr;

    ASSERT_EQ(noted.written(), plain.written());
    int mismatches = 0;
    for (int y = 0; y < Canvas::size; ++y) {
        for (int x = 0; x < Canvas::size; ++x) {
            mismatches += noted.pixel(x, y) != plain.pixel(x, y);
        }
    }
    EXPECT_EQ(mismatches, 0);
    for (int i = 0; i < viewportColumns * viewportRows; ++i) {
        ASSERT_EQ(record.count[i], expectedCount[i]) << "entry " << i;
        ASSERT_EQ(record.lastDepth[i], expectedDepth[i]) << "entry " << i;
    }
    EXPECT_EQ(*std::max_element(expectedCount.begin(), expectedCount.end()), 3);
}

// The far triangle, then the near one, then the farthest: a pixel all three cover is written,
// written again, then refused, each event naming its drawer; the line writes it last. A pixel
// watched twice keeps one story, and an unwatched one keeps none.
TEST(PixelWrites, AWatchedPixelKeepsEveryWriteAndRefusalInOrder) {
    static PixelStories stories;
    clearPixelStories(&stories);
    const int shared = watchPixel(&stories, 115, 140);
    EXPECT_EQ(watchPixel(&stories, 115, 140), shared);
    const int untouched = watchPixel(&stories, 460, 380);
    Canvas canvas;
    clearDepths();
    clearPixelWrites(&record);
    pixelWrites = &record;
    pixelStories = &stories;
    for (int k = 0; k < (int)shapes.size(); ++k) {
        currentDrawer = {DrawnByObject, 0, k};
        draw(shapes[k], canvas.dc);
    }
    drawLine(100, 140, 130, 140, canvas.dc, {9, 9, 9, 0}, {9, 9, 9, 0});
    pixelWrites = nullptr;
    pixelStories = nullptr;

    const std::vector<PixelEvent>& events = stories.pixels[shared].events;
    ASSERT_EQ(events.size(), 4u);
    const bool refused[] = {false, false, true, false};
    const float depths[] = {200, 100, 300, noDepth};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(events[k].refused, refused[k]) << k;
        EXPECT_EQ(events[k].depth, depths[k]) << k;
        EXPECT_EQ(events[k].drawer.triangle, k < 3 ? k : 3) << k;
    }
    EXPECT_EQ(events[3].colour, RGB(9, 9, 9));
    EXPECT_EQ(canvas.pixel(115, 140), RGB(9, 9, 9));
    EXPECT_TRUE(stories.pixels[untouched].events.empty());
}

TEST(PixelWrites, AWriteOutsideTheViewportIsNotNoted) {
    clearPixelWrites(&record);
    for (Point p : {Point{viewportLeft - 1, 100}, Point{100, viewportBottom + 1}, Point{-5, -5}}) {
        notePixelWrite(&record, p.x, p.y, 50.0f);
    }
    EXPECT_EQ(std::count(std::begin(record.count), std::end(record.count), 0),
              viewportColumns * viewportRows);
}

}  // namespace
