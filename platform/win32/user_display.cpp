// The window side of backend.h: which display is active, and what a display reads of the
// windows and the cursor.
#include "platform/win32/backend.h"

#include "platform/win32/user_internal.h"

namespace shim {

const Backend* backend = &headlessBackend;

void useHeadlessBackend() {
    if (backend != &headlessBackend) {
        backend->shutdown();
        backend = &headlessBackend;
    }
}

const char* windowTitle(HWND hwnd) {
    const Window* window = findWindow(hwnd);
    return window ? window->text.c_str() : "";
}

bool windowVisible(HWND hwnd) {
    const Window* window = findWindow(hwnd);
    return window && window->visible;
}

bool windowRects(HWND hwnd, RECT* outer, RECT* client) {
    const Window* window = findWindow(hwnd);
    if (!window) {
        return false;
    }
    *outer = window->rect;
    *client = clientRectOnScreen(*window);
    return true;
}

bool windowPixels(HWND hwnd, PixelView* view) {
    const Window* window = findWindow(hwnd);
    return window && readBitmapPixels(window->surface, view);
}

WORD windowMenu(HWND hwnd) {
    const Window* window = findWindow(hwnd);
    return window ? window->menuId : 0;
}

HWND windowAt(POINT screen) {
    const Window* window = windowAtPoint(screen);
    return window ? window->handle : NULL;
}

const CursorState& cursorState() {
    return cursor;
}

void placeCursor(POINT screen) {
    cursor.position = screen;
}

}  // namespace shim
