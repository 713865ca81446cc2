#include "tests/shim/program.h"

#include <map>
#include <set>
#include <vector>

namespace {

class InspectTest : public ProgramTest {
  protected:
    // The program once more, as a fresh process started plainly or to inspect, with the mouse
    // resting where the client area's centre will be, so that the view does not turn.
    static void restart(bool inspect) {
        resetProgramState();
        shimtest::reset();
        shimtest::setTickCount(startTick);
        SetCursorPos(254, 292);
        inspecting = inspect;
        ASSERT_TRUE(startApplication(NULL, SW_SHOWDEFAULT));
    }

    // Started to inspect and paused, after a first frame.
    static void restartPaused() {
        restart(true);
        pressKey('P');
        renderFrame();
        dispatchQueued();
    }

    static void nextFrame() {
        shimtest::advanceTickCount(40);
        renderFrame();
    }

    // Six animated frames, each of the keys pressed before its own frame from the second on,
    // what is queued handled before every frame but the first.
    static std::vector<COLORREF> framesPressing(const std::vector<int>& keys) {
        renderFrame();
        for (size_t frame = 1; frame < 6; ++frame) {
            if (frame <= keys.size()) {
                post(WM_KEYDOWN, (WPARAM)keys[frame - 1], 1);
            }
            dispatchQueued();
            nextFrame();
        }
        return pixelsFromRow(0);
    }

    static std::vector<COLORREF> pixelsFromRow(int top) {
        std::vector<COLORREF> pixels;
        for (int y = top; y < clientRect.bottom; ++y) {
            for (int x = 0; x < clientRect.right; ++x) {
                pixels.push_back(backBufferPixel(x, y));
            }
        }
        return pixels;
    }

    static bool isGrey(COLORREF c) {
        return GetRValue(c) == GetGValue(c) && GetGValue(c) == GetBValue(c);
    }

    // Inside the red border, which stays over every view.
    template <typename Visit>
    static void forEachPixelInsideBorder(Visit visit) {
        for (int y = viewportTop + 1; y < viewportBottom; ++y) {
            for (int x = viewportLeft + 1; x < viewportRight; ++x) {
                visit(x, y, backBufferPixel(x, y));
            }
        }
    }

    static void clickTriangle(int x0, int y0, int x1, int y1, int x2, int y2) {
        pressKey('C');
        for (LPARAM corner : {MAKELPARAM(x0, y0), MAKELPARAM(x1, y1), MAKELPARAM(x2, y2)}) {
            post(WM_LBUTTONDOWN, 1, corner);
        }
        dispatchQueued();
    }

    static constexpr int hudRows = 29;
};

TEST_F(InspectTest, PlainProgramIgnoresTheKeysAndAnInspectingOneLooksTheSameUntilOneIsPressed) {
    restart(false);
    const std::vector<COLORREF> plain = framesPressing({});
    restart(false);
    EXPECT_TRUE(framesPressing({'P', 'N', 'Z', 'O', 'N'}) == plain);
    restart(true);
    EXPECT_TRUE(framesPressing({}) == plain);
}

// KEPT: at most one animation step a frame: the speed follows the frame rate
TEST_F(InspectTest, PauseHoldsTheAnimationAndNStepsItOnce) {
    restart(true);
    renderFrame();
    nextFrame();
    pressKey('P');
    const float angle = sceneObjects[0].angleX;
    const Vector3 light = sceneObjects[2].position;
    for (int frame = 0; frame < 5; ++frame) {
        nextFrame();
    }
    EXPECT_EQ(sceneObjects[0].angleX, angle);
    EXPECT_EQ(sceneObjects[2].position.x, light.x);

    pressKey('N');
    pressKey('N');
    EXPECT_EQ(sceneObjects[0].angleX, angle + 0.02f + 0.02f);
    EXPECT_NE(sceneObjects[2].position.x, light.x);
    pressKey('P');
    nextFrame();
    EXPECT_EQ(sceneObjects[0].angleX, angle + 0.02f + 0.02f + 0.02f) << "resumed where it stood";
    pressKey('N');
    EXPECT_EQ(sceneObjects[0].angleX, angle + 0.02f + 0.02f + 0.02f) << "N steps only when paused";
}

// The depth buffer is what the frame left; nothing but the scene was drawn here.
TEST_F(InspectTest, DepthViewIsNearLightFarDarkNothingBlackAndZReturnsToColour) {
    restartPaused();
    renderFrame();
    const std::vector<COLORREF> colour = pixelsFromRow(0);
    pressKey('Z');
    renderFrame();
    std::map<float, std::set<int>> greysByDepth;
    forEachPixelInsideBorder([&](int x, int y, COLORREF pixel) {
        const float depth = DepthBuffer[x * depthBufferRows + y];
        if (depth == 500.0f) {
            EXPECT_EQ(pixel, RGB(0, 0, 0)) << x << ", " << y;
        } else {
            EXPECT_TRUE(isGrey(pixel) && pixel != RGB(0, 0, 0)) << x << ", " << y;
            greysByDepth[depth].insert(GetRValue(pixel));
        }
    });
    ASSERT_GT(greysByDepth.size(), 100u);
    EXPECT_EQ(*greysByDepth.begin()->second.begin(), 255) << "the nearest depth is white";
    int darkest = 256;
    for (const auto& [depth, greys] : greysByDepth) {
        EXPECT_EQ(greys.size(), 1u) << "one grey for depth " << depth;
        EXPECT_LE(*greys.begin(), darkest) << "farther is never lighter";
        darkest = *greys.begin();
    }
    pressKey('Z');
    renderFrame();
    EXPECT_TRUE(pixelsFromRow(0) == colour);
}

TEST_F(InspectTest, ViewsKeepWireframeTheTextureOverlayAndTheClickTriangle) {
    restartPaused();
    pressKey('F');
    renderFrame();
    const std::vector<COLORREF> wireframe = pixelsFromRow(hudRows);
    pressKey('Z');
    renderFrame();
    EXPECT_TRUE(pixelsFromRow(hudRows) == wireframe) << "edges keep their colours";
    pressKey('F');

    clickTriangle(40, 60, 140, 60, 40, 160);
    renderFrame();
    renderFrame();
    EXPECT_TRUE(isGrey(backBufferPixel(60, 80)) && backBufferPixel(60, 80) != RGB(0, 0, 0));
    pressKey('Z');
    renderFrame();
    EXPECT_FALSE(isGrey(backBufferPixel(60, 80))) << "coloured again";

    pressKey('B');
    pressKey('O');
    renderFrame();
    int notTexture = 0;
    for (int y = 0; y < textureBitmap.height(); ++y) {
        const unsigned char* texel = textureBitmap.rowPointer(y);
        for (int x = 0; x < textureBitmap.width(); ++x, texel += 3) {
            notTexture += backBufferPixel(x, y) != RGB(texel[2], texel[1], texel[0]);
        }
    }
    EXPECT_EQ(notTexture, 0) << "the overlay lies over the overdraw view";
}

TEST(InspectCommandLine, InspectIsAWordOfItsOwn) {
    EXPECT_TRUE(commandLineAsksToInspect("--inspect"));
    EXPECT_TRUE(commandLineAsksToInspect("  -x --inspect\tmore"));
    EXPECT_FALSE(commandLineAsksToInspect(""));
    EXPECT_FALSE(commandLineAsksToInspect(nullptr));
    EXPECT_FALSE(commandLineAsksToInspect("--inspected"));
    EXPECT_FALSE(commandLineAsksToInspect("-inspect --INSPECT"));
}

}  // namespace
