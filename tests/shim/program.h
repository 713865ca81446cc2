// Runs the whole program headless inside a test: every global back at its start value, the
// shim as a fresh process finds it, the working directory where the texture lies.
#pragma once

#include "app/app.h"
#include "platform/win32/testing.h"
#include "raster/raster.h"
#include "render/render.h"
#include "scene/scene.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

class ProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char here[4096];
        ASSERT_NE(getcwd(here, sizeof here), nullptr);
        previousDirectory = here;
        ASSERT_EQ(chdir(QUILLON_SOURCE_DIR "/assets"), 0);
        shimtest::reset();
        resetProgramState();
        shimtest::setTickCount(startTick);
        ASSERT_TRUE(startApplication(NULL, SW_SHOWDEFAULT));
    }

    void TearDown() override {
        resetProgramState();
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
