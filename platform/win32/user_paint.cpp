#include "platform/win32/backend.h"
#include "platform/win32/surface.h"
#include "platform/win32/user_internal.h"

#include <algorithm>

namespace {

struct WindowDc {
    HDC dc;
    HWND hwnd;
    HBITMAP surface;
    bool painting;  // from BeginPaint, given back by EndPaint
};
std::vector<WindowDc> windowDcs;

// A surface replaced while a DC handed out earlier still draws into it lives on until that DC
// is given back. (The program does this: it holds the DC of WM_CREATE across its MoveWindow.)
struct RetiredSurface {
    HWND hwnd;
    HBITMAP surface;
};
std::vector<RetiredSurface> retiredSurfaces;

bool surfaceInUse(HBITMAP surface) {
    return std::any_of(windowDcs.begin(), windowDcs.end(),
                       [surface](const WindowDc& entry) { return entry.surface == surface; });
}

void freeRetiredSurfaces() {
    for (size_t i = 0; i < retiredSurfaces.size();) {
        if (surfaceInUse(retiredSurfaces[i].surface)) {
            ++i;
        } else {
            DeleteObject(retiredSurfaces[i].surface);
            retiredSurfaces.erase(retiredSurfaces.begin() + i);
        }
    }
}

// A surface of the client size in the class background, with the top-left of `keep` on it.
HBITMAP makeSurface(int width, int height, HBRUSH background, HBITMAP keep, int keepWidth,
                    int keepHeight) {
    HDC display = CreateDCA("Display", NULL, NULL, NULL);
    HBITMAP surface = CreateCompatibleBitmap(display, width, height);
    DeleteDC(display);
    if (!surface) {
        return NULL;
    }
    HDC target = shim::createWindowDC(surface);
    if (background) {
        RECT all = {0, 0, width, height};
        FillRect(target, &all, background);
    }
    if (keep) {
        HDC source = shim::createWindowDC(keep);
        BitBlt(target, 0, 0, keepWidth, keepHeight, source, 0, 0, SRCCOPY);
        DeleteDC(source);
    }
    DeleteDC(target);
    return surface;
}

HDC handOut(shim::Window& window, bool painting) {
    if (!window.surface) {
        return NULL;
    }
    HDC dc = shim::createWindowDC(window.surface);
    if (dc) {
        windowDcs.push_back({dc, window.handle, window.surface, painting});
        shim::backend->surfaceDrawn(window.handle);
    }
    return dc;
}

bool giveBack(HWND hwnd, HDC dc, bool painting) {
    for (size_t i = 0; i < windowDcs.size(); ++i) {
        const WindowDc& entry = windowDcs[i];
        if (entry.dc == dc && entry.hwnd == hwnd && entry.painting == painting) {
            DeleteDC(dc);
            windowDcs.erase(windowDcs.begin() + i);
            freeRetiredSurfaces();
            shim::backend->surfaceDrawn(hwnd);
            return true;
        }
    }
    return false;
}

bool isEmpty(const RECT& rect) {
    return rect.right <= rect.left || rect.bottom <= rect.top;
}

}  // namespace

namespace shim {

void updateSurface(Window& window) {
    RECT client = clientRectOnScreen(window);
    const int width = client.right - client.left, height = client.bottom - client.top;
    if (width == window.surfaceWidth && height == window.surfaceHeight) {
        return;
    }
    // Only top-level windows draw: the program's one child is an edit control without a size.
    HBITMAP old = window.surface;
    const bool draws = !(window.style & WS_CHILD) && width > 0 && height > 0;
    window.surface = draws ? makeSurface(width, height, window.background, old, window.surfaceWidth,
                                         window.surfaceHeight)
                           : NULL;
    window.surfaceWidth = window.surface ? width : 0;
    window.surfaceHeight = window.surface ? height : 0;
    if (old) {
        retiredSurfaces.push_back({window.handle, old});
        freeRetiredSurfaces();
    }
    window.invalid = {
        std::min(window.invalid.left, (LONG)width), std::min(window.invalid.top, (LONG)height),
        std::min(window.invalid.right, (LONG)width), std::min(window.invalid.bottom, (LONG)height)};
}

void releaseWindowResources(HWND hwnd) {
    for (size_t i = 0; i < windowDcs.size();) {
        if (windowDcs[i].hwnd == hwnd) {
            DeleteDC(windowDcs[i].dc);
            windowDcs.erase(windowDcs.begin() + i);
        } else {
            ++i;
        }
    }
    freeRetiredSurfaces();
    if (Window* window = findWindow(hwnd)) {
        DeleteObject(window->surface);
        window->surface = NULL;
        window->surfaceWidth = window->surfaceHeight = 0;
    }
}

void invalidateClient(Window& window, bool erase) {
    RECT client = clientRectOnScreen(window);
    window.invalid = {0, 0, client.right - client.left, client.bottom - client.top};
    window.erasePending = window.erasePending || erase;
}

void validate(Window& window) {
    window.invalid = {0, 0, 0, 0};
    window.erasePending = false;
}

}  // namespace shim

using shim::findWindow;
using shim::Window;

HDC GetDC(HWND hwnd) {
    Window* window = findWindow(hwnd);
    return window ? handOut(*window, false) : NULL;
}

int ReleaseDC(HWND hwnd, HDC dc) {
    return findWindow(hwnd) && giveBack(hwnd, dc, false) ? 1 : 0;
}

// Drawing is not clipped to the update region: the surface keeps every pixel between paints,
// so what the program draws outside it is what was there already.
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint) {
    Window* window = findWindow(hwnd);
    if (!window || !paint) {
        return NULL;
    }
    *paint = {};
    paint->rcPaint = isEmpty(window->invalid) ? RECT{0, 0, 0, 0} : window->invalid;
    if (window->erasePending && !isEmpty(window->invalid)) {
        HDC eraser = window->surface ? shim::createWindowDC(window->surface) : NULL;
        if (eraser && window->background) {
            FillRect(eraser, &window->invalid, window->background);
        } else {
            paint->fErase = TRUE;  // left for the program to erase
        }
        if (eraser) {
            DeleteDC(eraser);
        }
    }
    shim::validate(*window);
    paint->hdc = handOut(*window, true);
    return paint->hdc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint) {
    if (!findWindow(hwnd) || !paint) {
        return FALSE;
    }
    giveBack(hwnd, paint->hdc, true);
    return TRUE;
}

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
    Window* window = findWindow(hwnd);
    if (!window) {
        return FALSE;
    }
    RECT client = shim::clientRectOnScreen(*window);
    RECT area = {0, 0, client.right - client.left, client.bottom - client.top};
    if (rect) {
        area = {std::max(area.left, rect->left), std::max(area.top, rect->top),
                std::min(area.right, rect->right), std::min(area.bottom, rect->bottom)};
    }
    if (isEmpty(area)) {
        return TRUE;
    }
    RECT& invalid = window->invalid;
    invalid =
        isEmpty(invalid)
            ? area
            : RECT{std::min(invalid.left, area.left), std::min(invalid.top, area.top),
                   std::max(invalid.right, area.right), std::max(invalid.bottom, area.bottom)};
    window->erasePending = window->erasePending || erase;
    return TRUE;
}

BOOL UpdateWindow(HWND hwnd) {
    Window* window = findWindow(hwnd);
    if (!window) {
        return FALSE;
    }
    if (window->visible && !isEmpty(window->invalid)) {
        SendMessageA(hwnd, WM_PAINT, 0, 0);
    }
    return TRUE;
}
