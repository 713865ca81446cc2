// The program's frames against their reference pictures, through whichever Win32 this is built
// for: on Windows the real GDI draws the text in its own font, so the head-up rows above the
// viewport (and the overdraw legend's labels below it) are left out of the comparison. The
// program is started once and its frames are looked at in turn; Windows' real clock then
// decides when the animation steps, so the views are compared with the animation paused from
// the start.
#include "app/app.h"
#include "bitmap/nbitmap.h"
#include "raster/raster.h"

#include <gtest/gtest.h>

#include <string>

#ifdef _WIN32
#include <direct.h>
#define changeDirectory _chdir
#else
#include <unistd.h>
#define changeDirectory chdir
#endif

namespace {

const int firstSceneRow = 29;  // the rows above hold only the head-up text
const int belowViewport = viewportBottom + 1;

class GoldenFrame : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(changeDirectory(QUILLON_SOURCE_DIR "/assets"), 0);
#ifdef _WIN32
        HINSTANCE instance = GetModuleHandleA(NULL);  // which holds the menu resource
#else
        HINSTANCE instance = NULL;
#endif
        ASSERT_TRUE(startApplication(instance, SW_HIDE));
    }

    // Leave the process as the other tests expect it: no window, no quit waiting, the cursor
    // shown and free, and the program's globals (the scene the steps moved) as they start.
    static void TearDownTestSuite() {
        DestroyWindow(mainWindow);
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        }
        ClipCursor(NULL);
        ShowCursor(TRUE);
        resetProgramState();
    }

    static void press(char key) {
        PostMessageA(mainWindow, WM_KEYDOWN, (WPARAM)key, 1);
        int exitCode;
        dispatchMessages(&exitCode);
    }

    // Rows from firstRow up to, not including, endRow of the back buffer against the reference.
    static void expectBackBufferMatches(const std::string& name, int firstRow, int endRow) {
        NBitmap reference;
        reference.clear();
        const std::string path = QUILLON_SOURCE_DIR "/tests/golden/" + name + ".bmp";
        ASSERT_TRUE(reference.readBmp(path.c_str()));
        ASSERT_EQ(clientRect.right, reference.width());
        ASSERT_EQ(clientRect.bottom, reference.height());
        int differing = 0, firstX = -1, firstY = -1;
        for (int y = firstRow; y < endRow; ++y) {
            const unsigned char* row = reference.rowPointer(y);
            for (int x = 0; x < reference.width(); ++x, row += 3) {
                COLORREF expected = RGB(row[2], row[1], row[0]);
                if (GetPixel(backBuffer.dc, x, y) != expected && differing++ == 0) {
                    firstX = x;
                    firstY = y;
                }
            }
        }
        EXPECT_EQ(differing, 0) << name << ": the first differing pixel is at (" << firstX << ", "
                                << firstY << ")";
        reference.destroy();
    }
};

TEST_F(GoldenFrame, FirstFrameMatchesItsReferenceBelowTheHeadUpText) {
    renderFrame();
    expectBackBufferMatches("first-frame", firstSceneRow, clientRect.bottom);
}

// As tests/golden/frames.list makes them: paused before the animation moved, 22 steps, then
// the depth and the overdraw view of that scene.
TEST_F(GoldenFrame, InspectedFramesMatchTheirReferencesBelowTheHeadUpText) {
    inspecting = 1;
    press('P');
    for (int step = 0; step < 22; ++step) {
        press('N');
    }
    renderFrame();
    expectBackBufferMatches("paused-step", firstSceneRow, clientRect.bottom);
    press('Z');
    renderFrame();
    expectBackBufferMatches("depth", firstSceneRow, clientRect.bottom);
    press('O');
    renderFrame();
    expectBackBufferMatches("overdraw", firstSceneRow, belowViewport);
    press('O');
    press('P');
}

// The scene the test above left after its 22 steps, paused again, with the cursor freed and
// the magnifier on a pixel two cubes wrote; the story below the viewport is text, left out as
// the head-up line is.
TEST_F(GoldenFrame, MagnifierMatchesItsReferenceAboveTheStory) {
    inspecting = 1;
    press('P');
    press('C');
    press('I');
    PostMessageA(mainWindow, WM_MOUSEMOVE, 0, MAKELPARAM(262, 141));
    int exitCode;
    dispatchMessages(&exitCode);
    renderFrame();
    expectBackBufferMatches("magnifier", firstSceneRow, belowViewport);
    press('I');
    press('C');
    press('P');
}

}  // namespace
