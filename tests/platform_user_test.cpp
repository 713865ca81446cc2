// The window side of the platform, held to Win32: these tests use the Win32 API only, so the
// same source runs on the shim and, built with MinGW-w64, under Wine.
#include "platform/win32/win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

std::vector<Seen> seen;  // what the test class's procedure received
CREATESTRUCTA lastCreate;
RECT clientInCreate;
LRESULT createResult;

LRESULT CALLBACK recordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    seen.push_back({hwnd, message, wParam, lParam});
    if (message == WM_CREATE) {
        lastCreate = *(const CREATESTRUCTA*)lParam;
        GetClientRect(hwnd, &clientInCreate);
        return createResult;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

const char className[] = "QuillonUserTest";

int countSeen(HWND hwnd, UINT message) {
    int count = 0;
    for (const Seen& entry : seen) {
        count += entry.hwnd == hwnd && entry.message == message;
    }
    return count;
}

// Removes the waiting messages in the range (the quit message passes every filter) without
// dispatching them. A window that needs painting would hand out WM_PAINT forever, hence the cap.
std::vector<MSG> takeMessages(HWND hwnd, UINT filterMin, UINT filterMax) {
    std::vector<MSG> taken;
    MSG msg;
    while (taken.size() < 100 && PeekMessageA(&msg, hwnd, filterMin, filterMax, PM_REMOVE)) {
        taken.push_back(msg);
    }
    return taken;
}

class UserTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = recordingProc;
        windowClass.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
        windowClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
        windowClass.hIcon = LoadIconA(NULL, IDI_APPLICATION);
        windowClass.lpszClassName = className;
        RegisterClassA(&windowClass);
    }

    void SetUp() override {
        seen.clear();
        createResult = 0;
        ClipCursor(NULL);
    }

    void TearDown() override {
        for (HWND hwnd : created) {
            DestroyWindow(hwnd);
        }
        ClipCursor(NULL);
        MSG msg;
        for (int i = 0; i < 1000 && PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE); ++i) {
        }
    }

    HWND makeWindow(int x, int y, int width, int height, LPVOID param = NULL) {
        HWND hwnd = CreateWindowExA(0, className, "Window text", WS_OVERLAPPEDWINDOW, x, y, width,
                                    height, NULL, NULL, NULL, param);
        created.push_back(hwnd);
        return hwnd;
    }

    HWND makeShownWindow() {
        HWND hwnd = makeWindow(0, 0, 500, 500);
        ShowWindow(hwnd, SW_SHOWNORMAL);
        UpdateWindow(hwnd);
        takeMessages(NULL, 0, 0);
        seen.clear();
        return hwnd;
    }

    std::vector<HWND> created;
};

}  // namespace

TEST_F(UserTest, ClassNameCanBeRegisteredOnlyOnceWhateverItsCase) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = recordingProc;
    windowClass.lpszClassName = className;
    EXPECT_EQ(RegisterClassA(&windowClass), 0);
    windowClass.lpszClassName = "QUILLONUSERTEST";
    EXPECT_EQ(RegisterClassA(&windowClass), 0);
    EXPECT_EQ(CreateWindowExA(0, "NoSuchClassHere", "", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, NULL,
                              NULL, NULL, NULL),
              (HWND)NULL);
}

TEST_F(UserTest, CreateSendsWmCreateWithItsCreateStructBeforeReturning) {
    int marker = 7;
    HWND hwnd = makeWindow(CW_USEDEFAULT, CW_USEDEFAULT, 500, 500, &marker);
    ASSERT_NE(hwnd, (HWND)NULL);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(countSeen(hwnd, WM_CREATE), 1);
    EXPECT_EQ(lastCreate.lpCreateParams, &marker);
    EXPECT_EQ(lastCreate.cx, 500);
    EXPECT_EQ(lastCreate.cy, 500);
    EXPECT_EQ((DWORD)lastCreate.style, (DWORD)WS_OVERLAPPEDWINDOW);
    EXPECT_STREQ(lastCreate.lpszName, "Window text");
    EXPECT_EQ(clientInCreate.right, 492);  // the client area is measurable inside WM_CREATE
    EXPECT_EQ(clientInCreate.bottom, 473);
}

TEST_F(UserTest, CreateFailsWhenWmCreateAnswersMinusOne) {
    createResult = -1;
    EXPECT_EQ(makeWindow(0, 0, 100, 100), (HWND)NULL);
    EXPECT_EQ(countSeen(seen.empty() ? NULL : seen.back().hwnd, WM_DESTROY), 0);
}

TEST_F(UserTest, OverlappedWindowWithoutMenuHasWinesFrame) {
    HWND hwnd = makeWindow(0, 0, 500, 500);
    RECT rect;
    ASSERT_TRUE(GetClientRect(hwnd, &rect));
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, 492);
    EXPECT_EQ(rect.bottom, 473);
    POINT origin = {0, 0};
    ASSERT_TRUE(ClientToScreen(hwnd, &origin));
    EXPECT_EQ(origin.x, 4);
    EXPECT_EQ(origin.y, 23);

    EXPECT_TRUE(MoveWindow(hwnd, 100, 50, 492, 473, FALSE));
    ASSERT_TRUE(GetClientRect(hwnd, &rect));
    EXPECT_EQ(rect.right, 484);
    EXPECT_EQ(rect.bottom, 446);
    ASSERT_TRUE(GetWindowRect(hwnd, &rect));
    EXPECT_EQ(rect.left, 100);
    EXPECT_EQ(rect.top, 50);
    EXPECT_EQ(rect.right, 592);
    EXPECT_EQ(rect.bottom, 523);
    POINT point = {200, 100};
    ASSERT_TRUE(ScreenToClient(hwnd, &point));
    EXPECT_EQ(point.x, 96);
    EXPECT_EQ(point.y, 27);
}

TEST_F(UserTest, MoveWindowReportsTheNewClientSize) {
    HWND hwnd = makeWindow(0, 0, 500, 500);
    seen.clear();
    MoveWindow(hwnd, 0, 0, 300, 200, FALSE);
    ASSERT_EQ(countSeen(hwnd, WM_SIZE), 1);
    for (const Seen& entry : seen) {
        if (entry.message == WM_SIZE) {
            EXPECT_EQ(LOWORD(entry.lParam), 292);
            EXPECT_EQ(HIWORD(entry.lParam), 173);
        }
    }
}

TEST_F(UserTest, ChildWindowHasNoFrameAndDiesWithItsParent) {
    HWND parent = makeWindow(0, 0, 500, 500);
    HWND child = CreateWindowExA(0, className, "", WS_CHILD | WS_VISIBLE, 10, 20, 30, 40, parent,
                                 (HMENU)1, NULL, NULL);
    ASSERT_NE(child, (HWND)NULL);
    RECT rect;
    ASSERT_TRUE(GetClientRect(child, &rect));
    EXPECT_EQ(rect.right, 30);
    EXPECT_EQ(rect.bottom, 40);
    POINT origin = {0, 0};
    ClientToScreen(child, &origin);
    EXPECT_EQ(origin.x, 4 + 10);
    EXPECT_EQ(origin.y, 23 + 20);
    EXPECT_EQ(CreateWindowExA(0, className, "", WS_CHILD, 0, 0, 1, 1, NULL, NULL, NULL, NULL),
              (HWND)NULL);

    seen.clear();
    EXPECT_TRUE(DestroyWindow(parent));
    ASSERT_EQ(countSeen(parent, WM_DESTROY), 1);
    ASSERT_EQ(countSeen(child, WM_DESTROY), 1);
    EXPECT_LT(
        std::find_if(seen.begin(), seen.end(), [&](const Seen& s) { return s.hwnd == parent; }) -
            seen.begin(),
        std::find_if(seen.begin(), seen.end(), [&](const Seen& s) { return s.hwnd == child; }) -
            seen.begin());
    EXPECT_FALSE(GetClientRect(child, &rect));
    EXPECT_FALSE(DestroyWindow(parent));
}

TEST_F(UserTest, EditControlTakesItsMessagesItself) {
    HWND parent = makeWindow(0, 0, 500, 500);
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE |
                        ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_NOHIDESEL;
    EXPECT_EQ(style, 1353712068u);
    HWND edit = CreateWindowExA(0, "edit", NULL, style, 0, 0, 0, 0, parent, (HMENU)1, NULL, NULL);
    ASSERT_NE(edit, (HWND)NULL);
    seen.clear();
    EXPECT_EQ(SendMessageA(edit, EM_LIMITTEXT, 32000, 0), 0);
    EXPECT_EQ(SendMessageA(edit, WM_SETFONT, (WPARAM)GetStockObject(SYSTEM_FONT), 0), 0);
    EXPECT_TRUE(seen.empty());
    RECT rect;
    ASSERT_TRUE(GetClientRect(edit, &rect));
    EXPECT_EQ(rect.right, 0);
    EXPECT_EQ(rect.bottom, 0);
}

TEST_F(UserTest, WindowTextIsCutToTheBuffer) {
    HWND hwnd = makeWindow(0, 0, 200, 200);
    char text[32];
    EXPECT_EQ(GetWindowTextA(hwnd, text, sizeof text), 11);
    EXPECT_STREQ(text, "Window text");
    ASSERT_TRUE(SetWindowTextA(hwnd, "Hello world"));
    EXPECT_EQ(GetWindowTextA(hwnd, text, 5), 4);
    EXPECT_STREQ(text, "Hell");
    EXPECT_EQ(GetWindowTextA(hwnd, text, 0), 0);
}

TEST_F(UserTest, PostedMessagesComeInOrderAndFiltersApply) {
    HWND hwnd = makeWindow(0, 0, 200, 200);
    PostMessageA(hwnd, WM_USER + 1, 1, 10);
    PostMessageA(hwnd, WM_USER + 2, 2, 20);
    PostMessageA(hwnd, WM_USER + 3, 3, 30);

    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, hwnd, WM_USER + 2, WM_USER + 2, PM_REMOVE));
    EXPECT_EQ(msg.message, (UINT)WM_USER + 2);
    ASSERT_TRUE(PeekMessageA(&msg, hwnd, WM_USER, WM_USER + 10, PM_NOREMOVE));
    EXPECT_EQ(msg.message, (UINT)WM_USER + 1);
    std::vector<MSG> rest = takeMessages(hwnd, WM_USER, WM_USER + 10);
    ASSERT_EQ(rest.size(), 2u);
    EXPECT_EQ(rest[0].message, (UINT)WM_USER + 1);
    EXPECT_EQ(rest[0].hwnd, hwnd);
    EXPECT_EQ(rest[0].wParam, 1u);
    EXPECT_EQ(rest[0].lParam, 10);
    EXPECT_EQ(rest[1].message, (UINT)WM_USER + 3);

    PostMessageA(NULL, WM_USER + 4, 0, 0);  // to the thread, not to a window
    EXPECT_FALSE(PeekMessageA(&msg, hwnd, WM_USER, WM_USER + 10, PM_REMOVE));
    EXPECT_TRUE(PeekMessageA(&msg, NULL, WM_USER, WM_USER + 10, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, (HWND)NULL);
}

TEST_F(UserTest, QuitComesAfterThePostedMessagesWithTheLastExitCode) {
    HWND hwnd = makeWindow(0, 0, 200, 200);
    PostMessageA(hwnd, WM_USER + 1, 0, 0);
    PostQuitMessage(3);
    PostMessageA(hwnd, WM_USER + 2, 0, 0);
    PostQuitMessage(9);
    std::vector<MSG> taken = takeMessages(NULL, WM_USER, WM_USER + 10);
    ASSERT_EQ(taken.size(), 3u);
    EXPECT_EQ(taken[0].message, (UINT)WM_USER + 1);
    EXPECT_EQ(taken[1].message, (UINT)WM_USER + 2);
    EXPECT_EQ(taken[2].message, (UINT)WM_QUIT);  // it passes the filter
    EXPECT_EQ(taken[2].wParam, 9u);
}

TEST_F(UserTest, SendAndDispatchCallTheProcedure) {
    HWND hwnd = makeWindow(0, 0, 200, 200);
    seen.clear();
    SendMessageA(hwnd, WM_USER + 5, 6, 7);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].message, (UINT)WM_USER + 5);
    EXPECT_EQ(seen[0].wParam, 6u);
    EXPECT_EQ(seen[0].lParam, 7);

    MSG msg = {};
    msg.hwnd = hwnd;
    msg.message = WM_KEYDOWN;
    msg.wParam = 'W';
    EXPECT_TRUE(TranslateMessage(&msg));
    DispatchMessageA(&msg);
    EXPECT_EQ(countSeen(hwnd, WM_KEYDOWN), 1);
    msg.message = WM_USER;
    EXPECT_FALSE(TranslateMessage(&msg));
}

TEST_F(UserTest, DefWindowProcClosesByDestroying) {
    HWND hwnd = makeWindow(0, 0, 200, 200);
    PostMessageA(hwnd, WM_USER + 1, 0, 0);
    seen.clear();
    EXPECT_EQ(SendMessageA(hwnd, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(countSeen(hwnd, WM_DESTROY), 1);
    RECT rect;
    EXPECT_FALSE(GetClientRect(hwnd, &rect));
    EXPECT_FALSE(PostMessageA(hwnd, WM_USER, 0, 0));
    EXPECT_EQ(SendMessageA(hwnd, WM_USER, 0, 0), 0);
    // The message posted to it went with it.
    EXPECT_TRUE(takeMessages(NULL, WM_USER, WM_USER + 10).empty());
}

TEST_F(UserTest, PaintIsSentByUpdateWindowAndMadeUpWhileInvalid) {
    HWND hwnd = makeWindow(0, 0, 200, 200);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, hwnd, WM_PAINT, WM_PAINT, PM_REMOVE));  // hidden
    ShowWindow(hwnd, SW_SHOWNORMAL);
    seen.clear();
    UpdateWindow(hwnd);
    EXPECT_EQ(countSeen(hwnd, WM_PAINT), 1);  // DefWindowProcA validated it
    EXPECT_FALSE(PeekMessageA(&msg, hwnd, WM_PAINT, WM_PAINT, PM_REMOVE));

    InvalidateRect(hwnd, NULL, FALSE);
    PostMessageA(hwnd, WM_USER, 0, 0);
    ASSERT_TRUE(PeekMessageA(&msg, hwnd, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, (UINT)WM_USER);
    ASSERT_TRUE(PeekMessageA(&msg, hwnd, WM_PAINT, WM_PAINT, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, hwnd);
    // Taking WM_PAINT does not validate; painting does.
    ASSERT_TRUE(PeekMessageA(&msg, hwnd, WM_PAINT, WM_PAINT, PM_REMOVE));
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd, &paint);
    EXPECT_NE(dc, (HDC)NULL);
    EXPECT_EQ(paint.rcPaint.right, 192);
    EXPECT_TRUE(EndPaint(hwnd, &paint));
    EXPECT_FALSE(PeekMessageA(&msg, hwnd, WM_PAINT, WM_PAINT, PM_REMOVE));
}

TEST_F(UserTest, WindowDcDrawsOnTheClientArea) {
    HWND hwnd = makeShownWindow();
    HDC dc = GetDC(hwnd);
    ASSERT_NE(dc, (HDC)NULL);
    EXPECT_EQ(GetPixel(dc, 10, 10), RGB(255, 255, 255));  // the class background
    EXPECT_EQ(GetPixel(dc, 491, 472), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 492, 10), CLR_INVALID);
    RECT black = {5, 5, 20, 20};
    FillRect(dc, &black, (HBRUSH)GetStockObject(BLACK_BRUSH));
    SetPixel(dc, 30, 30, RGB(10, 20, 30));
    EXPECT_EQ(GetPixel(dc, 10, 10), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(dc, 20, 20), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 30, 30), RGB(10, 20, 30));
    EXPECT_EQ(ReleaseDC(hwnd, dc), 1);
    EXPECT_EQ(ReleaseDC(hwnd, dc), 0);

    dc = GetDC(hwnd);  // a new DC sees what the last one drew
    EXPECT_EQ(GetPixel(dc, 10, 10), RGB(0, 0, 0));
    ReleaseDC(hwnd, dc);
}

TEST_F(UserTest, ShowCursorCountsAndReturnsTheNewCount) {
    const int start = ShowCursor(FALSE) + 1;
    EXPECT_EQ(ShowCursor(FALSE), start - 2);
    EXPECT_EQ(ShowCursor(TRUE), start - 1);
    EXPECT_EQ(ShowCursor(TRUE), start);
    EXPECT_EQ(ShowCursor(TRUE), start + 1);
    EXPECT_EQ(ShowCursor(FALSE), start);
}

TEST_F(UserTest, ClipCursorConfinesNowAndLater) {
    POINT point;
    ASSERT_TRUE(SetCursorPos(2, 2));
    ASSERT_TRUE(GetCursorPos(&point));
    EXPECT_EQ(point.x, 2);
    EXPECT_EQ(point.y, 2);

    RECT clip = {10, 45, 400, 400};
    ASSERT_TRUE(ClipCursor(&clip));
    GetCursorPos(&point);
    EXPECT_EQ(point.x, 10);  // pulled inside at once
    EXPECT_EQ(point.y, 45);
    SetCursorPos(1000, 1000);
    GetCursorPos(&point);
    EXPECT_EQ(point.x, 399);  // right and bottom lie outside
    EXPECT_EQ(point.y, 399);
    RECT got;
    ASSERT_TRUE(GetClipCursor(&got));
    EXPECT_EQ(got.left, 10);
    EXPECT_EQ(got.top, 45);
    EXPECT_EQ(got.right, 400);
    EXPECT_EQ(got.bottom, 400);

    RECT insideOut = {300, 300, 200, 200};
    EXPECT_FALSE(ClipCursor(&insideOut));
    GetClipCursor(&got);
    EXPECT_EQ(got.right, 400);  // kept

    ASSERT_TRUE(ClipCursor(NULL));
    GetClipCursor(&got);
    EXPECT_EQ(got.left, 0);
    EXPECT_EQ(got.top, 0);
    EXPECT_GT(got.right, 400);
    SetCursorPos(-5, 450);
    GetCursorPos(&point);
    EXPECT_EQ(point.x, 0);
    EXPECT_EQ(point.y, 450);
}

TEST_F(UserTest, SetCursorPosMovesTheMouseOverTheClientArea) {
    HWND hwnd = makeShownWindow();
    SetCursorPos(100, 100);
    std::vector<MSG> moves = takeMessages(hwnd, WM_MOUSEMOVE, WM_MOUSEMOVE);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(LOWORD(moves[0].lParam), 96);  // client origin (4, 23)
    EXPECT_EQ(HIWORD(moves[0].lParam), 77);

    SetCursorPos(100, 100);  // a warp to where the cursor is moves it all the same
    EXPECT_EQ(takeMessages(hwnd, WM_MOUSEMOVE, WM_MOUSEMOVE).size(), 1u);

    SetCursorPos(120, 100);  // a move not yet taken is replaced by the next
    SetCursorPos(130, 110);
    moves = takeMessages(hwnd, WM_MOUSEMOVE, WM_MOUSEMOVE);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(LOWORD(moves[0].lParam), 126);
    EXPECT_EQ(HIWORD(moves[0].lParam), 87);

    SetCursorPos(2, 2);  // on the frame
    EXPECT_TRUE(takeMessages(hwnd, WM_MOUSEMOVE, WM_MOUSEMOVE).empty());
    ShowWindow(hwnd, SW_HIDE);
    SetCursorPos(100, 100);
    EXPECT_TRUE(takeMessages(hwnd, WM_MOUSEMOVE, WM_MOUSEMOVE).empty());
}

TEST_F(UserTest, RegisteredMessagesAreSharedByName) {
    UINT first = RegisterWindowMessageA("commdlg_FindReplace");
    EXPECT_GE(first, 0xC000u);
    EXPECT_LE(first, 0xFFFFu);
    EXPECT_EQ(RegisterWindowMessageA("commdlg_FindReplace"), first);
    EXPECT_EQ(RegisterWindowMessageA("COMMDLG_FINDREPLACE"), first);
    UINT other = RegisterWindowMessageA("QuillonUserTestMessage");
    EXPECT_GE(other, 0xC000u);
    EXPECT_NE(other, first);
    EXPECT_EQ(RegisterWindowMessageA(""), 0u);
}

TEST_F(UserTest, StaleWindowHandlesAreRefused) {
    HWND hwnd = makeWindow(0, 0, 200, 200);
    ASSERT_TRUE(DestroyWindow(hwnd));
    RECT rect;
    POINT point = {0, 0};
    char text[8];
    EXPECT_FALSE(DestroyWindow(hwnd));
    EXPECT_FALSE(GetClientRect(hwnd, &rect));
    EXPECT_FALSE(GetWindowRect(hwnd, &rect));
    EXPECT_FALSE(ClientToScreen(hwnd, &point));
    EXPECT_FALSE(MoveWindow(hwnd, 0, 0, 10, 10, FALSE));
    EXPECT_FALSE(SetWindowTextA(hwnd, "x"));
    EXPECT_EQ(GetWindowTextA(hwnd, text, sizeof text), 0);
    EXPECT_EQ(GetDC(hwnd), (HDC)NULL);
    EXPECT_FALSE(InvalidateRect(hwnd, NULL, FALSE));
    EXPECT_FALSE(PostMessageA(hwnd, WM_USER, 0, 0));
}
