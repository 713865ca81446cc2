// Runs the whole program headless inside a test: every global back at its start value, the
// shim as a fresh process finds it, the working directory where the texture lies.
#pragma once

#include "app/app.h"
#include "platform/testing.h"
#include "raster/raster.h"
#include "render/render.h"
#include "scene/scene.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

inline void resetProgramGlobals() {
    DeleteObject(backBuffer.bitmap);
    DeleteDC(backBuffer.dc);
    backBuffer = {};
    textureBitmap.destroy();
    textureBitmap.clear();
    mainWindow = NULL;
    windowDC = NULL;
    clientRect = {};
    frameCount = 0;
    framesPerSecond = 0;
    fpsIntervalStart = 0;
    frameLoopStarted = false;
    cursorFree = 0;
    showTexture = 0;
    wireframeMode = 0;
    mouseX = mouseY = 0;
    lookAnchorX = lookAnchorY = 250;
    lookTimer = 0;
    firstMouseMove = 1;
    skipNextMove = 0;
    for (ScreenVertex& corner : clickVertex) {
        corner = {};
    }
    triangleReady = 1;
    awaitingSecondClick = 0;
    awaitingThirdClick = 0;
    noTriangleYet = 1;
    lastAnimationTick = 0;
    animationClockStarted = false;
    for (SceneObject& object : sceneObjects) {
        object.triangles.clear();
        object.position = {0, 0, 0};
        object.angleX = object.angleY = object.angleZ = 0;
        object.shadeMode = 0;
    }
}

class ProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char here[4096];
        ASSERT_NE(getcwd(here, sizeof here), nullptr);
        previousDirectory = here;
        ASSERT_EQ(chdir(QUILLON_SOURCE_DIR "/assets"), 0);
        shimtest::reset();
        resetProgramGlobals();
        shimtest::setTickCount(startTick);
        ASSERT_TRUE(startApplication(NULL, SW_SHOWDEFAULT));
    }

    void TearDown() override {
        resetProgramGlobals();
        shimtest::reset();
        ASSERT_EQ(chdir(previousDirectory.c_str()), 0);
    }

    // Handles what is queued, as the loop does between frames; false once a quit was taken.
    static bool dispatchQueued() {
        int exitCode;
        return dispatchMessages(&exitCode);
    }

    static void post(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        PostMessageA(mainWindow, message, wParam, lParam);
    }

    static void pressKey(int key) {
        post(WM_KEYDOWN, (WPARAM)key, 1);
        dispatchQueued();
    }

    static COLORREF backBufferPixel(int x, int y) { return GetPixel(backBuffer.dc, x, y); }

    static constexpr DWORD startTick = 100000;
    std::string previousDirectory;
};
