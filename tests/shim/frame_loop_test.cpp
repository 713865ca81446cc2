#include "tests/shim/program.h"

#include "app/menu.h"

#include <cstring>
#include <vector>

namespace {

class FrameLoopTest : public ProgramTest {
  protected:
    // The three head-up lines exactly as TextOutA draws them, over black, in a scratch copy.
    static bool headUpRowsShow(const char* rate) {
        HDC scratch = CreateCompatibleDC(backBuffer.dc);
        HBITMAP bitmap = CreateCompatibleBitmap(backBuffer.dc, clientRect.right, 30);
        HGDIOBJ previous = SelectObject(scratch, bitmap);
        RECT rows = {0, 0, clientRect.right, 30};
        FillRect(scratch, &rows, (HBRUSH)GetStockObject(BLACK_BRUSH));
        TextOutA(scratch, 10, 10, rate, (int)std::strlen(rate));
        TextOutA(scratch, 70, 10, "Press ESC to exit", 17);
        TextOutA(scratch, 200, 10, "Press B to see texture bitmap", 29);
        bool same = true;
        for (int y = 0; y < 30 && same; ++y) {
            for (int x = 0; x < clientRect.right && same; ++x) {
                same = GetPixel(scratch, x, y) == backBufferPixel(x, y);
            }
        }
        SelectObject(scratch, previous);
        DeleteObject(bitmap);
        DeleteDC(scratch);
        return same;
    }

    // Runs the real loop; a loop that has not ended after a few idle passes is stopped and
    // reported.
    static int runLoopExpectingQuit(int* idlePasses) {
        *idlePasses = 0;
        shimtest::setIdleHook(
            [](void* context) {
                int* passes = static_cast<int*>(context);
                if (++*passes == 5) {
                    PostQuitMessage(99);
                }
            },
            idlePasses);
        int result = runMessageLoop();
        shimtest::setIdleHook(NULL, NULL);
        return result;
    }

    // A few animated frames with a completed click triangle, the back buffer read after them.
    static std::vector<COLORREF> scriptedFrames() {
        renderFrame();
        for (LPARAM corner : {MAKELPARAM(40, 60), MAKELPARAM(140, 60), MAKELPARAM(40, 160)}) {
            post(WM_LBUTTONDOWN, 1, corner);
        }
        for (int frame = 0; frame < 3; ++frame) {
            dispatchQueued();
            shimtest::advanceTickCount(40);
            renderFrame();
        }
        std::vector<COLORREF> pixels;
        for (int y = 0; y < clientRect.bottom; ++y) {
            for (int x = 0; x < clientRect.right; ++x) {
                pixels.push_back(backBufferPixel(x, y));
            }
        }
        return pixels;
    }

    // Every key, a mouse-look, a half-placed triangle and a second of frames.
    static void changeEverything() {
        for (int key : {'F', 'B', 'C', 'W', 'A'}) {
            pressKey(key);
        }
        pressKey('C');
        post(WM_LBUTTONDOWN, 1, MAKELPARAM(300, 300));
        post(WM_MOUSEMOVE, 0, MAKELPARAM(200, 180));
        for (int frame = 0; frame < 30; ++frame) {
            dispatchQueued();
            shimtest::advanceTickCount(40);
            renderFrame();
        }
    }
};

// A test or a tool that starts the program again in the same process sees what a new
// process sees: a global the reset forgot would show in these frames.
TEST_F(FrameLoopTest, ResetProgramStateStartsTheProgramAfresh) {
    const std::vector<COLORREF> first = scriptedFrames();
    changeEverything();
    resetProgramState();
    shimtest::reset();
    shimtest::setTickCount(startTick);
    ASSERT_TRUE(startApplication(NULL, SW_SHOWDEFAULT));
    const std::vector<COLORREF> again = scriptedFrames();
    ASSERT_EQ(again.size(), first.size());
    EXPECT_TRUE(again == first);
    EXPECT_EQ(cursorFree + showTexture + wireframeMode + awaitingSecondClick, 0);
}

// KEPT: the back buffer keeps the size measured at creation; the window shrinks
// KEPT: an edit control of no size, a file dialog and a message nothing uses
TEST_F(FrameLoopTest, WindowIsTitledAndSizedAtCreation) {
    char title[128] = {};
    GetWindowTextA(mainWindow, title, sizeof title);
    EXPECT_STREQ(title, "Velmora's Quillon Framework - Assignment 2");

    // The back buffer keeps the client size measured before the window moved and shrank.
    BITMAP described = {};
    ASSERT_EQ(GetObjectA(backBuffer.bitmap, sizeof described, &described), (int)sizeof described);
    EXPECT_EQ(described.bmWidth, 492);
    EXPECT_EQ(described.bmHeight, 454);
    RECT client;
    ASSERT_TRUE(GetClientRect(mainWindow, &client));
    EXPECT_EQ(client.right, 484);
    EXPECT_EQ(client.bottom, 408);
    RECT outer;
    ASSERT_TRUE(GetWindowRect(mainWindow, &outer));
    EXPECT_EQ(outer.left, 0);
    EXPECT_EQ(outer.top, 0);
    // The cursor is hidden from the start, as the cursor is not free.
    EXPECT_EQ(shimtest::cursorState().displayCount, -1);
}

TEST_F(FrameLoopTest, FirstFrameShowsZeroFpsAndTheKeyHelp) {
    renderFrame();
    EXPECT_TRUE(headUpRowsShow("0 FPS"));
    EXPECT_FALSE(headUpRowsShow("1 FPS"));
}

TEST_F(FrameLoopTest, IntervalClosesOnlyAfterMoreThanASecond) {
    renderFrame();
    shimtest::setTickCount(startTick + 1000);
    renderFrame();
    EXPECT_EQ(framesPerSecond, 0);
    EXPECT_EQ(frameCount, 2);
    shimtest::setTickCount(startTick + 1001);
    renderFrame();
    EXPECT_EQ(framesPerSecond, 3);
    EXPECT_EQ(frameCount, 0);
    EXPECT_EQ(fpsIntervalStart, startTick + 1001);
    renderFrame();
    EXPECT_TRUE(headUpRowsShow("3 FPS"));
}

TEST_F(FrameLoopTest, TickCountWrapDoesNotStallTheCounter) {
    shimtest::setTickCount(0xFFFFFE00u);
    renderFrame();
    shimtest::setTickCount(0xFFFFFE00u + 1001);  // past 2^32: the tick count has wrapped
    renderFrame();
    EXPECT_EQ(framesPerSecond, 2);
}

TEST_F(FrameLoopTest, NoFrameIsRenderedAfterEscape) {
    post(WM_KEYDOWN, VK_ESCAPE, 1);
    int idlePasses;
    EXPECT_EQ(runLoopExpectingQuit(&idlePasses), 0);
    EXPECT_EQ(idlePasses, 0);
    EXPECT_EQ(frameCount, 0);
}

TEST_F(FrameLoopTest, MenuExitQuitsWithoutDestroyingTheWindow) {
    post(WM_COMMAND, commandExit);
    int idlePasses;
    EXPECT_EQ(runLoopExpectingQuit(&idlePasses), 0);
    EXPECT_EQ(frameCount, 0);
    RECT client;
    EXPECT_TRUE(GetClientRect(mainWindow, &client));
}

TEST_F(FrameLoopTest, ClosingTheWindowReleasesTheTextureAndQuits) {
    ASSERT_TRUE(textureBitmap.isValid());
    post(WM_CLOSE);
    int idlePasses;
    EXPECT_EQ(runLoopExpectingQuit(&idlePasses), 0);
    EXPECT_FALSE(textureBitmap.isValid());
    RECT client;
    EXPECT_FALSE(GetClientRect(mainWindow, &client));
}

TEST_F(FrameLoopTest, LoopRendersWhenTheQueueIsEmpty) {
    int idlePasses;
    EXPECT_EQ(runLoopExpectingQuit(&idlePasses), 99);
    // The fifth idle pass posts the quit, which that same pass hands back instead of a frame.
    EXPECT_EQ(frameCount, 4);
}

TEST_F(FrameLoopTest, CursorIsConfinedEveryFrameUnlessFree) {
    renderFrame();
    shimtest::CursorState cursor = shimtest::cursorState();
    ASSERT_TRUE(cursor.confined);
    EXPECT_EQ(cursor.confinement.left, 10);
    EXPECT_EQ(cursor.confinement.top, 45);
    EXPECT_EQ(cursor.confinement.right, 400);
    EXPECT_EQ(cursor.confinement.bottom, 400);
    cursorFree = 1;
    renderFrame();
    EXPECT_FALSE(shimtest::cursorState().confined);
    cursorFree = 0;
    renderFrame();
    EXPECT_TRUE(shimtest::cursorState().confined);
}

TEST_F(FrameLoopTest, FrameIsCopiedToTheWindow) {
    renderFrame();
    for (int y : {0, 12, 200, 407}) {
        for (int x : {0, 15, 250, 483}) {
            EXPECT_EQ(shimtest::surfacePixel(x, y), backBufferPixel(x, y)) << x << ", " << y;
        }
    }
}

// The back buffer keeps its size, and the copy its extent: what lies beyond them on a larger
// window keeps what the window showed.
// KEPT: the back buffer keeps the size measured at creation; the window shrinks
TEST_F(FrameLoopTest, ResizingChangesNeitherTheBackBufferNorTheCopy) {
    MoveWindow(mainWindow, 0, 0, 800, 700, TRUE);
    dispatchQueued();
    COLORREF beyondRight = shimtest::surfacePixel(600, 100);
    COLORREF beyondBottom = shimtest::surfacePixel(100, 600);
    renderFrame();
    BITMAP described = {};
    GetObjectA(backBuffer.bitmap, sizeof described, &described);
    EXPECT_EQ(described.bmWidth, 492);
    EXPECT_EQ(described.bmHeight, 454);
    EXPECT_EQ(shimtest::surfacePixel(600, 100), beyondRight);
    EXPECT_EQ(shimtest::surfacePixel(100, 600), beyondBottom);
    EXPECT_EQ(shimtest::surfacePixel(100, 453), backBufferPixel(100, 453));
}

// The back buffer's own bitmap ends where the copy's first 50 extra rows begin, so a taller
// one stands in for it here: what the copy takes of it is what the copy asks for.
// KEPT: the copy to the window is 50 rows taller than the back buffer
TEST_F(FrameLoopTest, CopyToTheWindowIs50RowsTallerThanTheBackBuffer) {
    const int width = clientRect.right, height = clientRect.bottom;
    const RECT tall = {0, 0, width + 20, height + 100};
    HBITMAP source = CreateCompatibleBitmap(backBuffer.dc, tall.right, tall.bottom);
    HGDIOBJ ownBitmap = SelectObject(backBuffer.dc, source);
    FillRect(backBuffer.dc, &tall, (HBRUSH)GetStockObject(WHITE_BRUSH));
    HDC target = CreateCompatibleDC(backBuffer.dc);
    HBITMAP targetBitmap = CreateCompatibleBitmap(backBuffer.dc, tall.right, tall.bottom);
    HGDIOBJ previous = SelectObject(target, targetBitmap);
    FillRect(target, &tall, (HBRUSH)GetStockObject(BLACK_BRUSH));

    copyBackBufferTo(target);
    const COLORREF white = RGB(255, 255, 255), black = RGB(0, 0, 0);
    EXPECT_EQ(GetPixel(target, width - 1, height + 49), white);
    EXPECT_EQ(GetPixel(target, width - 1, height + 50), black);
    EXPECT_EQ(GetPixel(target, width, 0), black);

    SelectObject(target, previous);
    DeleteObject(targetBitmap);
    DeleteDC(target);
    SelectObject(backBuffer.dc, ownBitmap);
    DeleteObject(source);
}

// KEPT: an edit control of no size, a file dialog and a message nothing uses
TEST_F(FrameLoopTest, EditControlHasNoSizeAndNoText) {
    ASSERT_NE(editControl, (HWND)NULL);
    RECT outer;
    ASSERT_TRUE(GetWindowRect(editControl, &outer));
    EXPECT_EQ(outer.right - outer.left, 0);
    EXPECT_EQ(outer.bottom - outer.top, 0);
    renderFrame();
    char text[16] = "unread";
    EXPECT_EQ(GetWindowTextA(editControl, text, sizeof text), 0);
}

TEST_F(FrameLoopTest, SecondStartReportsTheClassCannotBeRegistered) {
    EXPECT_FALSE(startApplication(NULL, SW_SHOWDEFAULT));
    shimtest::MessageBoxRecord box = shimtest::lastMessageBox();
    ASSERT_TRUE(box.shown);
    EXPECT_EQ(box.text, "This program requires Windows NT");
    EXPECT_EQ(box.caption, "Velmora's Quillon Framework");
    EXPECT_EQ(box.type, (UINT)MB_ICONERROR);
}

TEST_F(FrameLoopTest, TextureIsReadAtCreationAndDrawnWhileShown) {
    ASSERT_TRUE(textureBitmap.isValid());
    ASSERT_EQ(textureBitmap.width(), 256);
    ASSERT_EQ(textureBitmap.pixelSize(), 3);
    renderFrame();
    EXPECT_NE(backBufferPixel(5, 5), GetPixel(textureBitmap.memoryDC, 5, 5));
    showTexture = 1;
    renderFrame();
    for (int p : {0, 5, 100, 255}) {
        EXPECT_EQ(backBufferPixel(p, p), GetPixel(textureBitmap.memoryDC, p, p)) << p;
    }
}

}  // namespace
