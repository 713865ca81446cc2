// What a display reads of the windows through backend.h agrees with what the Win32 calls say of
// them, follows every change, and is nothing at all for a window that is gone.
#include "platform/win32/backend.h"
#include "platform/win32/testing.h"
#include "platform/win32/win32.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

LRESULT CALLBACK plainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

class DisplayFaceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        shimtest::reset();
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = plainProc;
        windowClass.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
        windowClass.lpszClassName = "DisplayFaceWindow";
        ASSERT_NE(RegisterClassA(&windowClass), 0);
        hwnd = CreateWindowExA(0, "DisplayFaceWindow", "First title", WS_OVERLAPPEDWINDOW, 30, 40,
                               300, 200, NULL, NULL, NULL, NULL);
        ASSERT_NE(hwnd, (HWND)NULL);
    }
    void TearDown() override { shimtest::reset(); }

    // Messages of one kind queued for the window, taken off the queue.
    int queued(UINT message) {
        int count = 0;
        MSG msg;
        while (count < 100 && PeekMessageA(&msg, hwnd, message, message, PM_REMOVE)) {
            ++count;
        }
        return count;
    }

    HWND hwnd = NULL;
};

TEST_F(DisplayFaceTest, WindowAsTheWin32CallsDescribeIt) {
    char title[64] = {};
    GetWindowTextA(hwnd, title, sizeof title);
    EXPECT_STREQ(shim::windowTitle(hwnd), title);
    EXPECT_FALSE(shim::windowVisible(hwnd));
    EXPECT_EQ(shim::windowMenu(hwnd), 0);

    RECT outer, client, windowRect, clientRect;
    ASSERT_TRUE(shim::windowRects(hwnd, &outer, &client));
    GetWindowRect(hwnd, &windowRect);
    GetClientRect(hwnd, &clientRect);
    POINT corner = {0, 0};
    ClientToScreen(hwnd, &corner);
    EXPECT_EQ(std::memcmp(&outer, &windowRect, sizeof outer), 0);
    EXPECT_EQ(client.left, corner.x);
    EXPECT_EQ(client.top, corner.y);
    EXPECT_EQ(client.right - client.left, clientRect.right);
    EXPECT_EQ(client.bottom - client.top, clientRect.bottom);
}

TEST_F(DisplayFaceTest, FollowsTitleVisibilityPlaceAndPixels) {
    SetWindowTextA(hwnd, "Second title");
    ShowWindow(hwnd, SW_SHOW);
    MoveWindow(hwnd, 0, 0, 200, 150, FALSE);
    EXPECT_STREQ(shim::windowTitle(hwnd), "Second title");
    EXPECT_TRUE(shim::windowVisible(hwnd));
    RECT outer, client;
    ASSERT_TRUE(shim::windowRects(hwnd, &outer, &client));
    EXPECT_EQ(outer.right - outer.left, 200);
    EXPECT_EQ(outer.bottom - outer.top, 150);

    HDC dc = GetDC(hwnd);
    SetPixelV(dc, 5, 7, RGB(10, 20, 30));
    ReleaseDC(hwnd, dc);
    shim::PixelView view = {};
    ASSERT_TRUE(shim::windowPixels(hwnd, &view));
    EXPECT_EQ(view.width, client.right - client.left);
    EXPECT_EQ(view.height, client.bottom - client.top);
    EXPECT_EQ(view.pixels[7 * view.stride + 5], 0x000A141Eu);  // 0x00RRGGBB

    const POINT inside = {client.left + 5, client.top + 7};
    EXPECT_EQ(shim::windowAt(inside), hwnd);
    EXPECT_EQ(shim::windowAt({client.right + 10, client.top}), (HWND)NULL);
    ShowWindow(hwnd, SW_HIDE);
    EXPECT_EQ(shim::windowAt(inside), (HWND)NULL);
}

TEST_F(DisplayFaceTest, GoneWindowIsNothing) {
    DestroyWindow(hwnd);
    RECT outer = {1, 2, 3, 4}, client = {5, 6, 7, 8};
    shim::PixelView view = {};
    EXPECT_STREQ(shim::windowTitle(hwnd), "");
    EXPECT_FALSE(shim::windowVisible(hwnd));
    EXPECT_FALSE(shim::windowRects(hwnd, &outer, &client));
    EXPECT_FALSE(shim::windowPixels(hwnd, &view));
    EXPECT_EQ(shim::windowMenu(hwnd), 0);
    EXPECT_FALSE(shim::windowRects((HWND)(UINT_PTR)0x7777, &outer, &client));
}

// The display's pointer over its own menu puts the cursor there and tells no window; a move as
// the user's hand makes it is clamped to the screen and reaches the window under it.
TEST_F(DisplayFaceTest, PlacedCursorIsQuietMovedCursorIsHeard) {
    ShowWindow(hwnd, SW_SHOW);
    RECT outer, client;
    ASSERT_TRUE(shim::windowRects(hwnd, &outer, &client));
    queued(WM_MOUSEMOVE);

    shim::placeCursor({client.left + 3, client.top + 4});
    EXPECT_EQ(shim::cursorState().position.x, client.left + 3);
    EXPECT_EQ(shim::cursorState().position.y, client.top + 4);
    EXPECT_EQ(queued(WM_MOUSEMOVE), 0);

    shim::moveCursor({client.left + 8, client.top + 9}, false);
    EXPECT_EQ(queued(WM_MOUSEMOVE), 1);
    shim::moveCursor({-50, 5000}, false);
    EXPECT_EQ(shim::cursorState().position.x, 0);
    EXPECT_EQ(shim::cursorState().position.y, shim::screenHeight - 1);
}

}  // namespace
