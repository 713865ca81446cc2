#include "tests/canvas.h"
#include "tests/shim/program.h"

#include <cmath>
#include <memory>

namespace {

// The renderer on its own, drawing into a canvas, with the clock in the test's hand.
class RenderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        freshCanvas();
        shimtest::reset();
        resetProgramState();
        initScene();
        shimtest::setTickCount(startTick);
    }
    void TearDown() override { resetProgramState(); }

    void freshCanvas() {
        canvas = std::make_unique<Canvas>();
        dc = canvas->dc;
    }
    COLORREF pixel(int x, int y) const { return canvas->pixel(x, y); }
    std::vector<Point> written() const { return canvas->written(); }

    void renderAt(DWORD tick) {
        shimtest::setTickCount(tick);
        renderScene(dc);
    }

    // One triangle of object 0, in model units, drawn in the colour mode; the other objects
    // hold none. The light (object 2's position) stays where the test puts it.
    static void useSingleTriangle(ModelTriangle triangle, Vector3 position) {
        for (SceneObject& object : sceneObjects) {
            object.triangles.clear();
        }
        sceneObjects[0].triangles.push_back(triangle);
        sceneObjects[0].position = position;
        sceneObjects[0].shadeMode = ShadeColour;
    }

    static ModelVertex vertex(float x, float y, float z, float r, float g, float b) {
        return {x, y, z, r, g, b, 0, 0};
    }

    // A triangle in the model plane y = 0 facing -y, towards a camera at the origin looking
    // along +y; its first corner is at the model origin.
    static ModelTriangle facingTriangle(float r, float g, float b) {
        return {
            {vertex(0, 0, 0, r, g, b), vertex(0, 0, 0.5f, r, g, b), vertex(0.5f, 0, 0, r, g, b)}};
    }

    int writtenInsideBorder() const {
        int count = 0;
        for (Point p : written()) {
            count += p.x > viewportLeft && p.x < viewportRight && p.y > viewportTop &&
                     p.y < viewportBottom;
        }
        return count;
    }

    static constexpr DWORD startTick = 5000;
    static constexpr COLORREF untouched = Canvas::untouched;
    std::unique_ptr<Canvas> canvas;
    HDC dc = nullptr;
};

TEST_F(RenderTest, FirstFrameDoesNotAnimate) {
    renderAt(startTick + 500);
    EXPECT_EQ(sceneObjects[0].angleX, 0);
    EXPECT_EQ(sceneObjects[2].position.x, -30);
    EXPECT_EQ(sceneObjects[2].position.y, 100);
}

// KEPT: at most one animation step a frame: the speed follows the frame rate
TEST_F(RenderTest, AnimationStepsOnlyAfterMoreThanTenMillisecondsAndOnceAFrame) {
    renderAt(startTick);
    renderAt(startTick + 10);
    EXPECT_EQ(sceneObjects[0].angleY, 0);
    renderAt(startTick + 11);
    EXPECT_EQ(sceneObjects[0].angleY, 0.02f);
    renderAt(startTick + 1011);
    EXPECT_EQ(sceneObjects[0].angleY, 0.02f + 0.02f);
    EXPECT_EQ(sceneObjects[0].angleX, sceneObjects[0].angleZ);
}

// KEPT: an angle above 2 pi restarts at 0, not at 2 pi less
TEST_F(RenderTest, AnglesRestartAtZeroOnThe315thStepAndTheLightKeepsItsOrbit) {
    DWORD tick = startTick;
    renderAt(tick);
    const float startDistance = std::hypot(-30.0f - 0, 100.0f - 120);
    for (int step = 1; step <= 315; ++step) {
        tick += 11;
        renderAt(tick);
        if (step == 314) {
            EXPECT_GT(sceneObjects[0].angleX, 6.2f);
        }
        Vector3 light = sceneObjects[2].position;
        EXPECT_EQ(light.z, 20.0f);
        EXPECT_NEAR(std::hypot(light.x - 0, light.y - 120), startDistance, 1e-3);
    }
    EXPECT_NEAR(startDistance, 36.06, 0.01);
    EXPECT_EQ(sceneObjects[0].angleX, 0);
    EXPECT_EQ(sceneObjects[0].angleY, 0);
    EXPECT_EQ(sceneObjects[0].angleZ, 0);
}

// KEPT: every object turns by the first object's angles
TEST_F(RenderTest, EveryObjectTurnsByTheFirstObjectsAngles) {
    for (SceneObject& object : sceneObjects) {
        object.angleX = object.angleY = object.angleZ = 0.7f;
    }
    renderAt(startTick);
    std::vector<Point> turnedByAll = written();
    Canvas other;
    for (int i = 1; i < 4; ++i) {
        sceneObjects[i].angleX = sceneObjects[i].angleY = sceneObjects[i].angleZ = 0;
    }
    renderScene(other.dc);
    EXPECT_EQ(other.written(), turnedByAll);
}

TEST_F(RenderTest, ViewportBorderIsRedOverEverything) {
    renderAt(startTick);
    for (Point p : {Point{10, 30}, Point{470, 30}, Point{10, 390}, Point{470, 390}, Point{240, 30},
                    Point{10, 200}, Point{470, 170}}) {
        EXPECT_EQ(pixel(p.x, p.y), RGB(255, 0, 0)) << p;
    }
}

// A line starts with exactly its first corner's colour, so in wireframe the pixel at a
// corner shows that corner's lit colour.
// KEPT: the light is object 2, which circles object 0 and shows the bare texture
TEST_F(RenderTest, CornerFacingTheLightGetsOnePointFourTimesItsColourCapped) {
    useSingleTriangle(facingTriangle(100, 200, 50), {0, 50, 0});
    sceneObjects[2].position = {0, 20, 0};  // straight in front of the first corner
    wireframeMode = 1;
    renderAt(startTick);
    EXPECT_EQ(pixel(250, 250), RGB(140, 255, 70));
}

TEST_F(RenderTest, CornerFacingAwayFromTheLightKeepsTheAmbientPart) {
    useSingleTriangle(facingTriangle(100, 200, 50), {0, 50, 0});
    sceneObjects[2].position = {0, 80, 0};  // behind the face
    wireframeMode = 1;
    renderAt(startTick);
    EXPECT_EQ(pixel(250, 250), RGB(40, 80, 20));
}

// The view point (10, 20, -100) is the world point (10, 100, 20) for the start-up camera.
// KEPT: divided by the third component: the picture is mirrored left to right
TEST_F(RenderTest, ProjectionPutsAViewPointWhereThePerspectiveSays) {
    useSingleTriangle(facingTriangle(100, 100, 100), {10, 100, 20});
    wireframeMode = 1;
    renderAt(startTick);
    EXPECT_NE(pixel(202, 155), untouched);
    EXPECT_EQ(pixel(203, 155), untouched);
    EXPECT_EQ(pixel(202, 156), untouched);
}

// KEPT: wireframe edges have no depth test; back faces stay culled
TEST_F(RenderTest, FilledFaceIsDrawnAndItsBackIsNotInEitherMode) {
    useSingleTriangle(facingTriangle(100, 100, 100), {0, 50, 0});
    renderAt(startTick);
    EXPECT_GT(writtenInsideBorder(), 100);

    ModelTriangle reversed = facingTriangle(100, 100, 100);
    std::swap(reversed.vertex[1], reversed.vertex[2]);
    for (unsigned char wireframe : {0, 1}) {
        freshCanvas();
        useSingleTriangle(reversed, {0, 50, 0});
        wireframeMode = wireframe;
        renderScene(dc);
        EXPECT_EQ(writtenInsideBorder(), 0) << "wireframe " << (int)wireframe;
    }
}

// Seen edge-on, the face has no side turned to the camera.
// KEPT: wireframe edges have no depth test; back faces stay culled
TEST_F(RenderTest, EdgeOnFaceIsNotDrawn) {
    useSingleTriangle(facingTriangle(100, 100, 100), {0, 50, 0});
    cameraPosition = {-20, 50, 0};  // in the face's own plane
    cameraForward = {1, 0, 0};
    for (unsigned char wireframe : {0, 1}) {
        wireframeMode = wireframe;
        renderAt(startTick);
        EXPECT_EQ(writtenInsideBorder(), 0) << "wireframe " << (int)wireframe;
    }
}

// KEPT: nothing is clipped: a triangle reaching behind the eye is dropped whole
TEST_F(RenderTest, TriangleReachingBehindTheEyeIsDroppedWhole) {
    // Its third corner lies 1 unit behind the camera; the rest would be in plain view.
    ModelTriangle straddling = {{vertex(0, 0.6f, 0, 100, 100, 100),
                                 vertex(0, 0.6f, 0.5f, 100, 100, 100),
                                 vertex(0.5f, -1.1f, 0, 100, 100, 100)}};
    useSingleTriangle(straddling, {0, 10, 0});
    for (unsigned char wireframe : {0, 1}) {
        wireframeMode = wireframe;
        renderAt(startTick);
        EXPECT_EQ(writtenInsideBorder(), 0) << "wireframe " << (int)wireframe;
    }
    // Moved forward, wholly in front of the eye, it is drawn.
    sceneObjects[0].position = {0, 30, 0};
    renderScene(dc);
    EXPECT_GT(writtenInsideBorder(), 0);
}

TEST_F(RenderTest, WireframeStillClearsTheDepthBufferButNeverTestsIt) {
    for (int x = 0; x < 500; ++x) {
        for (int y = 0; y < 500; ++y) {
            DepthBuffer[x * depthBufferRows + y] = 1.0f;
        }
    }
    wireframeMode = 1;
    renderAt(startTick);
    EXPECT_EQ(DepthBuffer[250 * depthBufferRows + 170], 500.0f);
    EXPECT_EQ(DepthBuffer[499 * depthBufferRows + 499], 500.0f);
    EXPECT_GT(writtenInsideBorder(), 100);
}

// The entries beyond the first 500 columns and rows keep whatever they held.
// KEPT: the depth buffer is cleared over 500 x 500 of its 1000 x 1000 entries
TEST_F(RenderTest, DepthBufferIsClearedOverItsFirst500By500EntriesOnly) {
    const int beyond[] = {500 * depthBufferRows, 500, 499 * depthBufferRows + 500,
                          999 * depthBufferRows + 999};
    for (int entry : beyond) {
        DepthBuffer[entry] = 7.0f;
    }
    DepthBuffer[499 * depthBufferRows + 499] = 7.0f;
    renderAt(startTick);
    for (int entry : beyond) {
        EXPECT_EQ(DepthBuffer[entry], 7.0f) << entry;
    }
    EXPECT_EQ(DepthBuffer[499 * depthBufferRows + 499], 500.0f);
}

}  // namespace
