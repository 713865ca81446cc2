// What the SDL window shows, read back from SDL's own window surface under its offscreen video
// driver: the client area below the menu bar after every change, an open menu over it, and the
// client area again where a closed menu lay.
#include "platform/display/display.h"
#include "platform/win32/resources.h"
#include "platform/win32/testing.h"
#include "platform/win32/win32.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace {

const MenuResourceItem windowMenu[] = {
    {0, "File", 0, true},
    {1, "Exit", 40001, false},
    {0, "Press F for wireframe mode", 65535, false},
};
constexpr WORD windowMenuId = 211;
constexpr int barHeight = 19;

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

class SdlWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        shimtest::reset();
        ASSERT_TRUE(registerMenuResource(windowMenuId, windowMenu, 3));
        const char* driver = std::getenv("SDL_VIDEODRIVER");
        previousDriver = driver ? driver : "";
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        std::string reason;
        if (!shim::startSdlBackend(&reason)) {
            GTEST_SKIP() << "SDL has no offscreen video driver";
        }
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = windowProc;
        windowClass.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
        windowClass.lpszMenuName = MAKEINTRESOURCEA(windowMenuId);
        windowClass.lpszClassName = "SdlWindowTest";
        ASSERT_TRUE(RegisterClassA(&windowClass));
        hwnd = CreateWindowExA(0, "SdlWindowTest", "SDL window test", WS_OVERLAPPEDWINDOW, 0, 0,
                               500, 500, NULL, NULL, NULL, NULL);
        ASSERT_TRUE(hwnd);
        ShowWindow(hwnd, SW_SHOW);
        UpdateWindow(hwnd);
        pump();
    }

    void TearDown() override {
        shimtest::reset();
        shimtest::useHeadlessBackend();
        if (previousDriver.empty()) {
            unsetenv("SDL_VIDEODRIVER");
        } else {
            setenv("SDL_VIDEODRIVER", previousDriver.c_str(), 1);
        }
    }

    // Every message handled; the first PeekMessageA shows what was drawn.
    static void pump() {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&msg);
        }
    }

    // Only the stock brushes are there: a pixel at a time.
    void fillClient(RECT rect, COLORREF colour) {
        HDC dc = GetDC(hwnd);
        for (int y = rect.top; y < std::min((int)rect.bottom, shimtest::surfaceHeight()); ++y) {
            for (int x = rect.left; x < std::min((int)rect.right, shimtest::surfaceWidth()); ++x) {
                SetPixelV(dc, x, y, colour);
            }
        }
        ReleaseDC(hwnd, dc);
        pump();
    }

    // The shim opens one SDL window at a time, always the newest.
    static SDL_Window* sdlWindow() {
        SDL_Window* newest = NULL;
        for (Uint32 id = 1; id < 1000; ++id) {
            if (SDL_Window* window = SDL_GetWindowFromID(id)) {
                newest = window;
            }
        }
        return newest;
    }

    static COLORREF shownPixel(SDL_Surface* shown, int x, int y) {
        const Uint32 value =
            *(const Uint32*)((const Uint8*)shown->pixels + y * shown->pitch + x * 4);
        Uint8 red, green, blue;
        SDL_GetRGB(value, shown->format, &red, &green, &blue);
        return RGB(red, green, blue);
    }

    // Pixels of the client area that the window shows otherwise than the surface holds them,
    // outside the rectangle `covered` (in window pixels).
    static int clientDifferences(RECT covered = {}) {
        SDL_Surface* shown = SDL_GetWindowSurface(sdlWindow());
        EXPECT_TRUE(shown && shown->format->BytesPerPixel == 4);
        if (!shown || shown->format->BytesPerPixel != 4) {
            return -1;
        }
        EXPECT_EQ(shown->w, shimtest::surfaceWidth());
        EXPECT_EQ(shown->h, shimtest::surfaceHeight() + barHeight);
        int differences = 0;
        for (int y = 0; y < shimtest::surfaceHeight(); ++y) {
            for (int x = 0; x < shimtest::surfaceWidth(); ++x) {
                const int shownY = y + barHeight;
                const bool inCovered = x >= covered.left && x < covered.right &&
                                       shownY >= covered.top && shownY < covered.bottom;
                if (!inCovered && shownPixel(shown, x, shownY) != shimtest::surfacePixel(x, y)) {
                    ++differences;
                }
            }
        }
        return differences;
    }

    // Pixels of a window rectangle shown in exactly this colour.
    static int shownInColour(RECT rect, COLORREF colour) {
        SDL_Surface* shown = SDL_GetWindowSurface(sdlWindow());
        int count = 0;
        for (int y = rect.top; y < rect.bottom; ++y) {
            for (int x = rect.left; x < rect.right; ++x) {
                count += shownPixel(shown, x, y) == colour;
            }
        }
        return count;
    }

    static void click(int x, int y) {
        for (Uint32 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) {
            SDL_Event event = {};
            event.button.type = type;
            event.button.windowID = SDL_GetWindowID(sdlWindow());
            event.button.button = SDL_BUTTON_LEFT;
            event.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
            event.button.x = x;
            event.button.y = y;
            SDL_PushEvent(&event);
        }
        pump();
    }

    HWND hwnd = NULL;
    std::string previousDriver;
};

TEST_F(SdlWindowTest, ShowsTheClientAreaBelowTheMenuBarAfterEveryChange) {
    EXPECT_EQ(clientDifferences(), 0);
    const COLORREF red = RGB(255, 0, 0), blue = RGB(0, 0, 255), black = RGB(0, 0, 0);
    fillClient({10, 10, 60, 40}, red);
    EXPECT_EQ(clientDifferences(), 0);
    EXPECT_EQ(shownInColour({10, 10 + barHeight, 60, 40 + barHeight}, red), 50 * 30);
    fillClient({0, 0, 1000, 1000}, blue);
    EXPECT_EQ(clientDifferences(), 0);
    fillClient({200, 100, 201, 101}, black);
    EXPECT_EQ(clientDifferences(), 0);
    // The bar is the menu's, with its text in black: nothing of the client shows through.
    const RECT bar = {0, 0, shimtest::surfaceWidth(), barHeight};
    EXPECT_EQ(shownInColour(bar, blue), 0);
    EXPECT_GT(shownInColour(bar, black), 20);
}

TEST_F(SdlWindowTest, AnOpenMenuCoversTheClientAreaAndLeavesNothingWhenClosed) {
    const COLORREF green = RGB(0, 255, 0), yellow = RGB(255, 255, 0);
    fillClient({0, 0, 1000, 1000}, green);
    const RECT underFile = {0, barHeight, 40, barHeight + 20};
    click(15, 8);
    EXPECT_LT(shownInColour(underFile, green), 40 * 20 / 2) << "the popup is not shown";
    const int popupGreen = shownInColour(underFile, green);
    // The client keeps changing while the menu is open: the popup stays on top of it.
    fillClient({0, 0, 1000, 1000}, yellow);
    EXPECT_EQ(shownInColour(underFile, green), popupGreen);
    EXPECT_EQ(shownInColour(underFile, yellow), 0);
    EXPECT_EQ(clientDifferences({0, barHeight, 120, barHeight + 60}), 0);
    click(15, 8);
    EXPECT_EQ(clientDifferences(), 0);
}

TEST_F(SdlWindowTest, ShowsTheClientAreaAgainAfterTheWindowChangesSize) {
    fillClient({0, 0, 1000, 1000}, RGB(0, 0, 255));
    MoveWindow(hwnd, 0, 0, 300, 200, TRUE);
    pump();
    fillClient({5, 5, 50, 50}, RGB(255, 0, 0));
    EXPECT_EQ(shimtest::surfaceWidth(), 300 - 8);
    EXPECT_EQ(clientDifferences(), 0);
}

}  // namespace
