// The shim's own corners, seen through its test face: the menu bar's metrics, the headless
// clock, the DefWindowProcA log, message boxes on stderr, the window surface and the reset.
#include "platform/display/display.h"
#include "platform/win32/resources.h"
#include "platform/win32/testing.h"
#include "platform/win32/win32.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const MenuResourceItem testMenu[] = {
    {0, "File", 0, true},
    {1, "Exit", 40001, false},
    {0, "Press F for wireframe mode", 65535, false},
};
constexpr WORD testMenuId = 201;
constexpr WORD unregisteredMenuId = 202;

RECT clientInCreate;
int userMessagesHandled;

LRESULT CALLBACK testProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        GetClientRect(hwnd, &clientInCreate);
        return 0;
    }
    if (message == WM_USER) {
        ++userMessagesHandled;
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

class ShimTest : public ::testing::Test {
  protected:
    void SetUp() override {
        shimtest::reset();
        userMessagesHandled = 0;
        ASSERT_TRUE(registerMenuResource(testMenuId, testMenu, 3));
    }
    void TearDown() override { shimtest::reset(); }

    static bool registerClass(const char* name, WORD menuId) {
        WNDCLASSA windowClass = {};
        windowClass.style = CS_HREDRAW | CS_VREDRAW;
        windowClass.lpfnWndProc = testProc;
        windowClass.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
        windowClass.lpszMenuName = menuId ? MAKEINTRESOURCEA(menuId) : NULL;
        windowClass.lpszClassName = name;
        return RegisterClassA(&windowClass) != 0;
    }

    static HWND makeWindow(WORD menuId = testMenuId) {
        if (!registerClass("ShimTestWindow", menuId)) {
            return NULL;
        }
        return CreateWindowExA(0, "ShimTestWindow", "Shim test", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                               CW_USEDEFAULT, 500, 500, NULL, NULL, NULL, NULL);
    }
};

}  // namespace

TEST_F(ShimTest, WindowWithMenuHasWinesMetrics) {
    HWND hwnd = makeWindow();
    ASSERT_NE(hwnd, (HWND)NULL);
    EXPECT_EQ(clientInCreate.right, 492);  // the class menu is attached before WM_CREATE
    EXPECT_EQ(clientInCreate.bottom, 454);
    MoveWindow(hwnd, 0, 0, 492, 454, FALSE);
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 484);
    EXPECT_EQ(client.bottom, 408);
    POINT origin = {0, 0};
    ClientToScreen(hwnd, &origin);
    EXPECT_EQ(origin.x, 4);
    EXPECT_EQ(origin.y, 42);
}

TEST_F(ShimTest, ClassNamingAnUnregisteredMenuGetsNoMenuBar) {
    ASSERT_NE(makeWindow(unregisteredMenuId), (HWND)NULL);
    EXPECT_EQ(clientInCreate.right, 492);
    EXPECT_EQ(clientInCreate.bottom, 473);
}

TEST_F(ShimTest, MenuResourceRefusesTablesAResourceCompilerWouldNot) {
    const MenuResourceItem orphan[] = {{1, "Exit", 1, false}};
    const MenuResourceItem underItem[] = {{0, "Label", 1, false}, {1, "Exit", 2, false}};
    const MenuResourceItem nested[] = {{0, "File", 0, true}, {1, "More", 0, true}};
    const MenuResourceItem deep[] = {{0, "File", 0, true}, {2, "Exit", 1, false}};
    const MenuResourceItem noText[] = {{0, NULL, 1, false}};
    EXPECT_FALSE(registerMenuResource(300, NULL, 1));
    EXPECT_FALSE(registerMenuResource(300, testMenu, 0));
    EXPECT_FALSE(registerMenuResource(300, orphan, 1));
    EXPECT_FALSE(registerMenuResource(300, underItem, 2));
    EXPECT_FALSE(registerMenuResource(300, nested, 2));
    EXPECT_FALSE(registerMenuResource(300, deep, 2));
    EXPECT_FALSE(registerMenuResource(300, noText, 1));
    ASSERT_TRUE(registerClass("RefusedMenu", 300));
    CreateWindowExA(0, "RefusedMenu", "", WS_OVERLAPPEDWINDOW, 0, 0, 500, 500, NULL, NULL, NULL,
                    NULL);
    EXPECT_EQ(clientInCreate.bottom, 473);
}

TEST_F(ShimTest, ClassWithoutAProcedureIsRefused) {
    WNDCLASSA windowClass = {};
    windowClass.lpszClassName = "NoProcedure";
    EXPECT_EQ(RegisterClassA(&windowClass), 0);
    EXPECT_EQ(RegisterClassA(NULL), 0);
    EXPECT_EQ(CreateWindowExA(0, "NoProcedure", "", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, NULL, NULL,
                              NULL, NULL),
              (HWND)NULL);
}

// As Windows does, a queue holds ten thousand posted messages and refuses the next.
TEST_F(ShimTest, PostingStopsAtTheQueueLimit) {
    int posted = 0;
    while (posted < 20000 && PostMessageA(NULL, WM_USER, 0, 0)) {
        ++posted;
    }
    EXPECT_EQ(posted, 10000);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));
    EXPECT_TRUE(PostMessageA(NULL, WM_USER, 0, 0));
}

TEST_F(ShimTest, HeadlessClockIsTheCallersAndWrapsAt2To32) {
    EXPECT_EQ(GetTickCount(), 0u);
    shimtest::setTickCount(1000);
    shimtest::advanceTickCount(5);
    EXPECT_EQ(GetTickCount(), 1005u);
    shimtest::setTickCount(0xFFFFFFF0u);
    shimtest::advanceTickCount(0x20);
    EXPECT_EQ(GetTickCount(), 0x10u);
}

TEST_F(ShimTest, PerformanceCounterFollowsTheHeadlessClockAcrossTheWrap) {
    LARGE_INTEGER frequency, before, after;
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    EXPECT_EQ(frequency.QuadPart, 10000000);
    shimtest::setTickCount(0xFFFFFFFFu);
    ASSERT_TRUE(QueryPerformanceCounter(&before));
    shimtest::setTickCount(1);  // below the last value: the count wrapped
    ASSERT_TRUE(QueryPerformanceCounter(&after));
    EXPECT_EQ(after.QuadPart - before.QuadPart, 2 * 10000);
    EXPECT_FALSE(QueryPerformanceCounter(NULL));
}

TEST_F(ShimTest, LogHoldsExactlyWhatReachedDefWindowProc) {
    HWND hwnd = makeWindow();
    HWND edit = CreateWindowExA(0, "edit", NULL, WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, hwnd, (HMENU)1,
                                NULL, NULL);
    ASSERT_NE(edit, (HWND)NULL);
    shimtest::clearDefWindowProcMessages();
    SendMessageA(hwnd, WM_USER, 1, 2);           // handled by the procedure
    SendMessageA(hwnd, WM_USER + 1, 3, 4);       // passed on
    SendMessageA(edit, EM_LIMITTEXT, 32000, 0);  // swallowed by the edit control
    std::vector<shimtest::LoggedMessage> log = shimtest::defWindowProcMessages();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].hwnd, hwnd);
    EXPECT_EQ(log[0].message, (UINT)WM_USER + 1);
    EXPECT_EQ(log[0].wParam, 3u);
    EXPECT_EQ(log[0].lParam, 4);
    EXPECT_EQ(userMessagesHandled, 1);
    shimtest::clearDefWindowProcMessages();
    EXPECT_TRUE(shimtest::defWindowProcMessages().empty());
}

TEST_F(ShimTest, MessageBoxWritesOneLineToStderrAndAnswersOk) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(NULL, "This program requires Windows NT", "Velmora's Quillon Framework",
                          MB_ICONERROR),
              IDOK);
    EXPECT_EQ(MessageBoxA(NULL, "[WM_CREATE] - GetClientRect() failed", NULL, MB_ICONERROR), IDOK);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Velmora's Quillon Framework: This program requires Windows NT\n"
              "Error: [WM_CREATE] - GetClientRect() failed\n");
    shimtest::MessageBoxRecord box = shimtest::lastMessageBox();
    EXPECT_TRUE(box.shown);
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.text, "[WM_CREATE] - GetClientRect() failed");
    EXPECT_EQ(box.type, (UINT)MB_ICONERROR);
}

TEST_F(ShimTest, SurfaceStartsInTheClassBackgroundAndShowsWhatWasDrawn) {
    EXPECT_EQ(shimtest::surfaceWidth(), 0);
    EXPECT_EQ(shimtest::surfacePixel(0, 0), CLR_INVALID);
    HWND hwnd = makeWindow();
    EXPECT_EQ(shimtest::surfaceWidth(), 492);
    EXPECT_EQ(shimtest::surfaceHeight(), 454);
    EXPECT_EQ(shimtest::surfacePixel(491, 453), RGB(255, 255, 255));
    EXPECT_EQ(shimtest::surfacePixel(492, 0), CLR_INVALID);
    EXPECT_EQ(shimtest::surfacePixel(0, -1), CLR_INVALID);
    HDC dc = GetDC(hwnd);
    SetPixel(dc, 3, 4, RGB(1, 2, 3));
    ReleaseDC(hwnd, dc);
    EXPECT_EQ(shimtest::surfacePixel(3, 4), RGB(1, 2, 3));
}

TEST_F(ShimTest, ResizedSurfaceKeepsWhatFits) {
    HWND hwnd = makeWindow();
    HDC dc = GetDC(hwnd);
    SetPixel(dc, 10, 10, RGB(200, 0, 0));
    SetPixel(dc, 480, 440, RGB(0, 200, 0));
    ReleaseDC(hwnd, dc);
    MoveWindow(hwnd, 0, 0, 300, 300, FALSE);  // client 292 x 254
    EXPECT_EQ(shimtest::surfaceWidth(), 292);
    EXPECT_EQ(shimtest::surfaceHeight(), 254);
    EXPECT_EQ(shimtest::surfacePixel(10, 10), RGB(200, 0, 0));
    MoveWindow(hwnd, 0, 0, 500, 500, FALSE);
    EXPECT_EQ(shimtest::surfacePixel(10, 10), RGB(200, 0, 0));
    EXPECT_EQ(shimtest::surfacePixel(480, 440), RGB(255, 255, 255));  // cut off on the way
}

// The program takes a DC in WM_CREATE, moves the window, and only then gives the DC back.
TEST_F(ShimTest, DcHeldAcrossMoveWindowStaysSafeToUse) {
    HWND hwnd = makeWindow();
    HDC held = GetDC(hwnd);
    ASSERT_NE(held, (HDC)NULL);
    MoveWindow(hwnd, 0, 0, 492, 454, FALSE);
    HDC memory = CreateCompatibleDC(held);
    HBITMAP bitmap = CreateCompatibleBitmap(held, 492, 454);
    EXPECT_NE(bitmap, (HBITMAP)NULL);
    SetPixel(held, 490, 450, RGB(9, 9, 9));  // the old surface: invisible now, but harmless
    EXPECT_EQ(ReleaseDC(hwnd, held), 1);
    EXPECT_EQ(shimtest::surfaceWidth(), 484);
    HDC fresh = GetDC(hwnd);
    EXPECT_EQ(GetPixel(fresh, 483, 407), RGB(255, 255, 255));
    ReleaseDC(hwnd, fresh);
    DeleteObject(bitmap);
    DeleteDC(memory);
}

TEST_F(ShimTest, CursorStateFollowsTheCalls) {
    shimtest::CursorState state = shimtest::cursorState();
    EXPECT_EQ(state.displayCount, 0);
    EXPECT_FALSE(state.confined);
    ShowCursor(FALSE);
    SetCursorPos(500, 20);
    RECT clip = {10, 45, 400, 400};
    ClipCursor(&clip);
    state = shimtest::cursorState();
    EXPECT_EQ(state.displayCount, -1);
    EXPECT_TRUE(state.confined);
    EXPECT_EQ(state.confinement.left, 10);
    EXPECT_EQ(state.confinement.bottom, 400);
    EXPECT_EQ(state.position.x, 399);
    EXPECT_EQ(state.position.y, 45);
}

TEST_F(ShimTest, ResetLeavesTheShimAsAFreshProcessFindsIt) {
    HWND hwnd = makeWindow();
    ShowWindow(hwnd, SW_SHOW);
    PostMessageA(hwnd, WM_USER, 0, 0);
    PostQuitMessage(4);
    ShowCursor(FALSE);
    RECT clip = {10, 45, 400, 400};
    ClipCursor(&clip);
    shimtest::setTickCount(777);
    testing::internal::CaptureStderr();
    MessageBoxA(NULL, "text", "caption", MB_OK);
    testing::internal::GetCapturedStderr();
    DefWindowProcA(hwnd, WM_USER + 9, 0, 0);

    shimtest::reset();
    RECT rect;
    EXPECT_FALSE(GetClientRect(hwnd, &rect));
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));
    shimtest::CursorState state = shimtest::cursorState();
    EXPECT_EQ(state.displayCount, 0);
    EXPECT_FALSE(state.confined);
    EXPECT_EQ(state.position.x, 0);
    EXPECT_EQ(state.position.y, 0);
    EXPECT_EQ(GetTickCount(), 0u);
    EXPECT_FALSE(shimtest::lastMessageBox().shown);
    EXPECT_TRUE(shimtest::defWindowProcMessages().empty());
    EXPECT_EQ(shimtest::surfaceWidth(), 0);
    EXPECT_NE(makeWindow(), (HWND)NULL);  // the class registers anew
}

namespace {

struct Stepper {
    HWND hwnd;
    int idleCalls;
};

// Steps a loop like WinMain's: one key, then the quit.
void stepLoop(void* context) {
    Stepper* stepper = static_cast<Stepper*>(context);
    ++stepper->idleCalls;
    shimtest::advanceTickCount(16);
    if (stepper->idleCalls == 1) {
        PostMessageA(stepper->hwnd, WM_KEYDOWN, 'W', 1);
    } else if (stepper->idleCalls == 3) {
        PostQuitMessage(5);
    }
}

}  // namespace

TEST_F(ShimTest, IdleHookStepsAMessageLoop) {
    Stepper stepper = {makeWindow(), 0};
    shimtest::setIdleHook(stepLoop, &stepper);
    int frames = 0, keys = 0;
    MSG msg;
    for (;;) {
        if (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                break;
            }
            keys += msg.message == WM_KEYDOWN;
            DispatchMessageA(&msg);
        } else {
            ++frames;
        }
        ASSERT_LT(frames, 10);
    }
    EXPECT_EQ(msg.wParam, 5u);
    EXPECT_EQ(keys, 1);
    EXPECT_EQ(frames, 1);  // the hook's first post came back at once; the second call had none
    EXPECT_EQ(stepper.idleCalls, 3);
    EXPECT_EQ(GetTickCount(), 48u);
}

// Runs only where a display is at hand (e.g. under xvfb-run).
TEST_F(ShimTest, SdlBackendShowsTheWindowAndWarpsTheCursor) {
    std::string reason;
    if (!shim::startSdlBackend(&reason)) {
        GTEST_SKIP() << "no display";
    }
    HWND hwnd = makeWindow();
    MoveWindow(hwnd, 0, 0, 492, 454, FALSE);
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
    MSG msg;
    for (int i = 0; i < 10; ++i) {
        PeekMessageA(&msg, NULL, WM_PAINT, WM_PAINT, PM_REMOVE);
    }
    while (PeekMessageA(&msg, NULL, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_REMOVE)) {
    }
    SetCursorPos(250, 250);
    ASSERT_TRUE(PeekMessageA(&msg, hwnd, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_REMOVE));
    EXPECT_EQ(LOWORD(msg.lParam), 246);
    EXPECT_EQ(HIWORD(msg.lParam), 208);
    EXPECT_EQ(shimtest::surfaceWidth(), 484);
    shimtest::reset();
    shimtest::useHeadlessBackend();
}
