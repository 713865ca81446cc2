#include "platform/win32/backend.h"
#include "platform/win32/resources.h"
#include "platform/win32/user_internal.h"

#include <algorithm>

namespace shim {

std::vector<std::unique_ptr<Window>> windows;

namespace {

// Handles are never reused within a process, so a stale one matches nothing.
std::uintptr_t nextWindowHandle = 0x10010;

bool isTopLevel(const Window& window) {
    return !(window.style & WS_CHILD);
}

void notifyBackend(HWND hwnd) {
    Window* window = findWindow(hwnd);
    if (window && isTopLevel(*window)) {
        backend->windowChanged(hwnd);
    }
}

// The window and everything below it, parents before their children.
void collectTree(HWND hwnd, std::vector<HWND>* tree) {
    tree->push_back(hwnd);
    for (size_t i = 0; i < windows.size(); ++i) {
        if (windows[i]->parent == hwnd && (windows[i]->style & WS_CHILD)) {
            collectTree(windows[i]->handle, tree);
        }
    }
}

void removeTree(HWND hwnd) {
    std::vector<HWND> tree;
    collectTree(hwnd, &tree);
    for (HWND member : tree) {
        Window* window = findWindow(member);
        bool topLevel = window && isTopLevel(*window);
        purgeMessages(member);
        releaseWindowResources(member);
        windows.erase(std::remove_if(windows.begin(), windows.end(),
                                     [member](const std::unique_ptr<Window>& candidate) {
                                         return candidate->handle == member;
                                     }),
                      windows.end());
        if (topLevel) {
            backend->windowDestroyed(member);
        }
    }
}

void sendSizeAndMove(HWND hwnd) {
    Window* window = findWindow(hwnd);
    if (!window) {
        return;
    }
    window->sizeSent = true;
    RECT client;
    GetClientRect(hwnd, &client);
    POINT origin = {0, 0};
    ClientToScreen(hwnd, &origin);
    if (Window* parent = isTopLevel(*window) ? nullptr : findWindow(window->parent)) {
        ScreenToClient(parent->handle, &origin);
    }
    SendMessageA(hwnd, WM_SIZE, 0, MAKELPARAM(client.right, client.bottom));
    SendMessageA(hwnd, WM_MOVE, 0, MAKELPARAM(origin.x, origin.y));
}

RECT frameInsets(const Window& window) {
    if (!isTopLevel(window)) {
        return {0, 0, 0, 0};
    }
    int top = frameBorder + captionHeight + (window.menuId ? menuBarHeight : 0);
    return {frameBorder, top, frameBorder, frameBorder};
}

}  // namespace

Window* findWindow(HWND hwnd) {
    if (!hwnd) {
        return nullptr;
    }
    for (const std::unique_ptr<Window>& window : windows) {
        if (window->handle == hwnd) {
            return window.get();
        }
    }
    return nullptr;
}

Window* mainWindow() {
    for (const std::unique_ptr<Window>& window : windows) {
        if (isTopLevel(*window)) {
            return window.get();
        }
    }
    return nullptr;
}

RECT clientRectOnScreen(const Window& window) {
    RECT insets = frameInsets(window);
    POINT origin = {window.rect.left + insets.left, window.rect.top + insets.top};
    if (Window* parent = isTopLevel(window) ? nullptr : findWindow(window.parent)) {
        RECT parentClient = clientRectOnScreen(*parent);
        origin.x += parentClient.left;
        origin.y += parentClient.top;
    }
    int width = window.rect.right - window.rect.left - insets.left - insets.right;
    int height = window.rect.bottom - window.rect.top - insets.top - insets.bottom;
    return {origin.x, origin.y, origin.x + std::max(0, width), origin.y + std::max(0, height)};
}

Window* windowAtPoint(POINT screen) {
    auto holds = [screen](const RECT& rect) {
        return screen.x >= rect.left && screen.x < rect.right && screen.y >= rect.top &&
               screen.y < rect.bottom;
    };
    Window* found = nullptr;
    for (auto it = windows.rbegin(); it != windows.rend() && !found; ++it) {
        Window& window = **it;
        if (isTopLevel(window) && window.visible) {
            RECT outer = window.rect;
            if (holds(outer)) {
                found = &window;
            }
        }
    }
    if (!found || !holds(clientRectOnScreen(*found))) {
        return nullptr;
    }
    for (bool descended = true; descended;) {
        descended = false;
        for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
            Window& child = **it;
            if (child.parent == found->handle && !isTopLevel(child) && child.visible &&
                holds(clientRectOnScreen(child))) {
                found = &child;
                descended = true;
                break;
            }
        }
    }
    return found;
}

void destroyAllWindows() {
    // Children come after their parents, so the first window is always the root of a tree.
    while (!windows.empty()) {
        removeTree(windows.front()->handle);
    }
}

}  // namespace shim

using shim::findWindow;
using shim::Window;

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param) {
    const shim::WindowClass* windowClass = shim::findClass(className);
    const bool child = style & WS_CHILD;
    if (!windowClass || (child && !findWindow(parent)) || (parent && !findWindow(parent))) {
        return NULL;
    }
    // The program asks for a default place only; a default size would be the system's choice.
    if (x == CW_USEDEFAULT) {
        x = y = 0;
    }
    width = width == CW_USEDEFAULT ? 0 : std::max(0, width);
    height = height == CW_USEDEFAULT ? 0 : std::max(0, height);

    auto window = std::make_unique<Window>();
    const HWND hwnd = (HWND)shim::nextWindowHandle;
    shim::nextWindowHandle += 0x10;
    window->handle = hwnd;
    window->parent = parent;
    window->proc = windowClass->proc;
    window->background = windowClass->background;
    window->style = style;
    bool hasMenu = !child && windowClass->menuId && shim::findMenuResource(windowClass->menuId);
    window->menuId = hasMenu ? windowClass->menuId : 0;
    window->rect = {x, y, x + width, y + height};
    window->visible = child && (style & WS_VISIBLE);
    window->text = windowName ? windowName : "";
    shim::windows.push_back(std::move(window));
    shim::updateSurface(*shim::windows.back());
    shim::notifyBackend(hwnd);

    CREATESTRUCTA creation = {param, instance, menu,        parent,     height,    width,
                              y,     x,        (LONG)style, windowName, className, exStyle};
    LRESULT created = SendMessageA(hwnd, WM_CREATE, 0, (LPARAM)&creation);
    if (!findWindow(hwnd)) {
        return NULL;
    }
    if (created == -1) {
        shim::removeTree(hwnd);  // Win32 sends no WM_DESTROY here either
        return NULL;
    }
    if (child) {
        shim::sendSizeAndMove(hwnd);
    } else if (style & WS_VISIBLE) {
        ShowWindow(hwnd, SW_SHOW);
    }
    return findWindow(hwnd) ? hwnd : NULL;
}

BOOL DestroyWindow(HWND hwnd) {
    Window* window = findWindow(hwnd);
    if (!window || window->destroying) {
        return FALSE;
    }
    std::vector<HWND> tree;
    shim::collectTree(hwnd, &tree);
    for (HWND member : tree) {
        if (Window* doomed = findWindow(member)) {
            doomed->destroying = true;
            doomed->visible = false;
        }
    }
    shim::notifyBackend(hwnd);
    for (HWND member : tree) {
        if (findWindow(member)) {
            SendMessageA(member, WM_DESTROY, 0, 0);
        }
    }
    if (findWindow(hwnd)) {
        shim::removeTree(hwnd);
    }
    return TRUE;
}

BOOL ShowWindow(HWND hwnd, int cmdShow) {
    Window* window = findWindow(hwnd);
    if (!window || window->destroying) {
        return FALSE;
    }
    const bool wasVisible = window->visible;
    const bool show = cmdShow != SW_HIDE;
    if (show == wasVisible) {
        return wasVisible;
    }
    window->visible = show;
    if (show) {
        shim::invalidateClient(*window, true);
        if (!window->sizeSent) {
            shim::sendSizeAndMove(hwnd);
        }
    }
    shim::notifyBackend(hwnd);
    return wasVisible;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
    Window* window = findWindow(hwnd);
    if (!window) {
        return FALSE;
    }
    const RECT before = shim::clientRectOnScreen(*window);
    window->rect = {x, y, x + std::max(0, width), y + std::max(0, height)};
    const RECT after = shim::clientRectOnScreen(*window);
    shim::updateSurface(*window);
    if (repaint) {
        shim::invalidateClient(*window, true);
    }
    shim::notifyBackend(hwnd);
    const bool moved = before.left != after.left || before.top != after.top;
    const bool resized = before.right - before.left != after.right - after.left ||
                         before.bottom - before.top != after.bottom - after.top;
    RECT client = {0, 0, after.right - after.left, after.bottom - after.top};
    if (moved) {
        POINT origin = {after.left, after.top};
        if (Window* parent = shim::isTopLevel(*window) ? nullptr : findWindow(window->parent)) {
            ScreenToClient(parent->handle, &origin);
        }
        SendMessageA(hwnd, WM_MOVE, 0, MAKELPARAM(origin.x, origin.y));
    }
    if (resized && findWindow(hwnd)) {
        SendMessageA(hwnd, WM_SIZE, 0, MAKELPARAM(client.right, client.bottom));
    }
    return TRUE;
}
