#include "platform/win32/backend.h"
#include "platform/win32/user_internal.h"

#include <algorithm>
#include <cstring>

using shim::findWindow;
using shim::Window;

BOOL GetClientRect(HWND hwnd, LPRECT rect) {
    Window* window = findWindow(hwnd);
    if (!window || !rect) {
        return FALSE;
    }
    RECT client = shim::clientRectOnScreen(*window);
    *rect = {0, 0, client.right - client.left, client.bottom - client.top};
    return TRUE;
}

BOOL GetWindowRect(HWND hwnd, LPRECT rect) {
    Window* window = findWindow(hwnd);
    if (!window || !rect) {
        return FALSE;
    }
    *rect = window->rect;
    if (Window* parent = (window->style & WS_CHILD) ? findWindow(window->parent) : nullptr) {
        RECT parentClient = shim::clientRectOnScreen(*parent);
        rect->left += parentClient.left;
        rect->right += parentClient.left;
        rect->top += parentClient.top;
        rect->bottom += parentClient.top;
    }
    return TRUE;
}

BOOL ClientToScreen(HWND hwnd, LPPOINT point) {
    Window* window = findWindow(hwnd);
    if (!window || !point) {
        return FALSE;
    }
    RECT client = shim::clientRectOnScreen(*window);
    point->x += client.left;
    point->y += client.top;
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, LPPOINT point) {
    Window* window = findWindow(hwnd);
    if (!window || !point) {
        return FALSE;
    }
    RECT client = shim::clientRectOnScreen(*window);
    point->x -= client.left;
    point->y -= client.top;
    return TRUE;
}

BOOL SetWindowTextA(HWND hwnd, LPCSTR text) {
    Window* window = findWindow(hwnd);
    if (!window) {
        return FALSE;
    }
    window->text = text ? text : "";
    if (!(window->style & WS_CHILD)) {
        shim::backend->windowChanged(hwnd);
    }
    return TRUE;
}

int GetWindowTextA(HWND hwnd, LPSTR buffer, int maxCount) {
    Window* window = findWindow(hwnd);
    if (!window || !buffer || maxCount <= 0) {
        return 0;
    }
    const int length = (int)std::min(window->text.size(), (size_t)maxCount - 1);
    std::memcpy(buffer, window->text.data(), length);
    buffer[length] = '\0';
    return length;
}
