#include "app/app.h"

#include "app/menu.h"
#include "raster/raster.h"

static const DWORD editControlStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_HSCROLL |
                                      ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_NOHIDESEL;

static LRESULT onCreate(HWND hwnd, const CREATESTRUCTA* creation) {
    windowDC = GetDC(hwnd);
    appInstance = creation->hInstance;
    if (!GetClientRect(hwnd, &clientRect)) {
        MessageBoxA(NULL, "[WM_CREATE] - GetClientRect() failed", NULL, MB_ICONERROR);
        PostQuitMessage(0);
        return 0;
    }
    // KEPT: an edit control of no size, a file dialog and a message nothing uses
    editControl = CreateWindowExA(0, "edit", NULL, editControlStyle, 0, 0, 0, 0, hwnd, (HMENU)1,
                                  appInstance, NULL);
    SendMessageA(editControl, EM_LIMITTEXT, 32000, 0);
    initFileDialog(hwnd);
    createEditFont(editControl);
    findReplaceMessage = RegisterWindowMessageA("commdlg_FindReplace");
    setWindowTitle(hwnd, fileName);

    backBuffer.dc = CreateCompatibleDC(windowDC);
    backBuffer.bitmap = CreateCompatibleBitmap(windowDC, clientRect.right, clientRect.bottom);
    SelectObject(backBuffer.dc, backBuffer.bitmap);
    // KEPT: the back buffer keeps the size measured at creation; the window shrinks
    // The outer size becomes the measured client size, so the window shrinks by its frame
    // while the back buffer keeps the size measured above.
    MoveWindow(hwnd, 0, 0, clientRect.right, clientRect.bottom, FALSE);
    if (!cursorFree) {
        ShowCursor(FALSE);
    }
    // A missing or unreadable texture leaves it empty; the frames go on without it.
    textureBitmap.readBmp("marquetile.bmp");
    ReleaseDC(hwnd, windowDC);
    return 0;
}

static LRESULT onDestroy() {
    DeleteObject(backBuffer.bitmap);
    textureBitmap.destroy();
    PostQuitMessage(0);
    return 0;
}

static LRESULT onPaint(HWND hwnd) {
    PAINTSTRUCT paint;
    windowDC = BeginPaint(hwnd, &paint);
    copyBackBufferTo(windowDC);
    EndPaint(hwnd, &paint);
    return 0;
}

LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            return onCreate(hwnd, (const CREATESTRUCTA*)lParam);
        case WM_DESTROY:
            return onDestroy();
        // KEPT: the back buffer keeps the size measured at creation; the window shrinks
        case WM_SIZE:
            return 0;
        case WM_PAINT:
            return onPaint(hwnd);
        case WM_KEYDOWN:
            handleKey(wParam);
            return 0;
        // KEPT: the menu bar's "Press F for wireframe mode" is a label that does nothing
        case WM_COMMAND:
            if (LOWORD(wParam) == commandExit) {
                PostQuitMessage(0);
            }
            return 0;
        case WM_MOUSEMOVE:
            handleMouseMove(lParam);
            return 0;
        case WM_LBUTTONDOWN:
            placeTriangleVertex(LOWORD(lParam), HIWORD(lParam));
            return 0;
        default:
            return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}
