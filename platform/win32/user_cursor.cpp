#include "platform/win32/backend.h"
#include "platform/win32/user_internal.h"

#include <algorithm>

namespace shim {

CursorState cursor;

namespace {

// Right and bottom edges are outside, as with every Win32 rectangle.
POINT clampToConfinement(POINT point) {
    RECT area = cursor.confined ? cursor.confinement : RECT{0, 0, screenWidth, screenHeight};
    point.x = std::max(area.left, std::min(point.x, area.right - 1));
    point.y = std::max(area.top, std::min(point.y, area.bottom - 1));
    return point;
}

}  // namespace

void moveCursor(POINT screen, bool warpDisplay) {
    cursor.position = clampToConfinement(screen);
    if (warpDisplay) {
        backend->cursorWarped();
    }
    // A warp moves the cursor as the hand does: the window under it hears of it, even when the
    // position has not changed.
    if (Window* window = windowAtPoint(cursor.position)) {
        RECT client = clientRectOnScreen(*window);
        postInput(window->handle, WM_MOUSEMOVE, 0,
                  MAKELPARAM(cursor.position.x - client.left, cursor.position.y - client.top));
    }
}

void resetCursor() {
    cursor = {};
    backend->cursorChanged();
}

}  // namespace shim

using shim::cursor;

int ShowCursor(BOOL show) {
    cursor.displayCount += show ? 1 : -1;
    shim::backend->cursorChanged();
    return cursor.displayCount;
}

BOOL SetCursorPos(int x, int y) {
    shim::moveCursor({x, y}, true);
    return TRUE;
}

BOOL GetCursorPos(LPPOINT point) {
    if (!point) {
        return FALSE;
    }
    *point = cursor.position;
    return TRUE;
}

// The rectangle is cut to the screen; one that is inside out, or wholly off the screen, is
// refused and the confinement stays as it was. An empty one holds the cursor at its corner.
BOOL ClipCursor(const RECT* rect) {
    if (!rect) {
        cursor.confined = false;
        shim::backend->cursorChanged();
        return TRUE;
    }
    RECT onScreen = {std::max(rect->left, (LONG)0), std::max(rect->top, (LONG)0),
                     std::min(rect->right, (LONG)shim::screenWidth),
                     std::min(rect->bottom, (LONG)shim::screenHeight)};
    if (rect->right < rect->left || rect->bottom < rect->top || onScreen.right < onScreen.left ||
        onScreen.bottom < onScreen.top) {
        return FALSE;
    }
    cursor.confined = true;
    cursor.confinement = onScreen;
    shim::backend->cursorChanged();
    POINT inside = shim::clampToConfinement(cursor.position);
    if (inside.x != cursor.position.x || inside.y != cursor.position.y) {
        shim::moveCursor(inside, true);
    }
    return TRUE;
}

BOOL GetClipCursor(LPRECT rect) {
    if (!rect) {
        return FALSE;
    }
    *rect =
        cursor.confined ? cursor.confinement : RECT{0, 0, shim::screenWidth, shim::screenHeight};
    return TRUE;
}
