#include "platform/display/display_input.h"

namespace shim {

namespace {

constexpr WPARAM leftButtonFlag = 0x0001;  // MK_LBUTTON

bool clientOnScreen(const DisplayInput& display, RECT* client) {
    RECT outer;
    return windowRects(display.hwnd, &outer, client);
}

int popupItemUnder(const DisplayInput& display, int x, int y) {
    return popupItemAt(display.menu, display.openEntry, x - displayPopupLeft(display),
                       y - displayBarHeight(display));
}

void chooseCommand(DisplayInput* display, UINT commandId) {
    closeDisplayPopup(display);
    PostMessageA(display->hwnd, WM_COMMAND, MAKEWPARAM(commandId, 0), 0);
}

void onMenuBarClick(DisplayInput* display, int x) {
    const int entry = menuBarEntryAt(display->menu, x);
    if (entry < 0) {
        closeDisplayPopup(display);
    } else if (!display->menu.entries[entry].popup) {
        chooseCommand(display, display->menu.entries[entry].commandId);
    } else if (display->openEntry == entry || display->menu.entries[entry].children.empty()) {
        closeDisplayPopup(display);
    } else {
        display->openEntry = entry;
        display->hoveredItem = -1;
        display->dirty = true;
    }
}

// A click the menu takes is the menu's, its release included.
bool menuTakesButton(DisplayInput* display, int x, int y, bool down) {
    if (!down) {
        const bool taken = display->menuHasButton;
        display->menuHasButton = false;
        return taken;
    }
    if (y < displayBarHeight(*display)) {
        onMenuBarClick(display, x);
    } else if (display->openEntry >= 0) {
        const int item = popupItemUnder(*display, x, y);
        if (item >= 0) {
            chooseCommand(display,
                          display->menu.entries[display->openEntry].children[item].commandId);
        } else {
            closeDisplayPopup(display);
        }
    } else {
        return false;
    }
    display->menuHasButton = true;
    return true;
}

}  // namespace

void bindDisplayInput(DisplayInput* display, HWND hwnd) {
    display->hwnd = hwnd;
    const WORD menuId = windowMenu(hwnd);
    display->hasMenu = menuId && buildMenuBar(menuId, &display->menu);
    display->openEntry = display->hoveredItem = -1;
}

int displayBarHeight(const DisplayInput& display) {
    return display.hasMenu ? menuBarHeight : 0;
}

int displayPopupLeft(const DisplayInput& display) {
    return display.menu.entries[display.openEntry].start;
}

void closeDisplayPopup(DisplayInput* display) {
    display->openEntry = display->hoveredItem = -1;
    display->dirty = true;
}

bool redrawDisplayMenus(DisplayInput* display, int width) {
    bool redrawn = false;
    if (!display->barBitmap || display->barWidth != width ||
        display->barOpenEntry != display->openEntry) {
        DeleteObject(display->barBitmap);
        display->barBitmap = drawMenuBar(display->menu, width, display->openEntry);
        display->barWidth = width;
        display->barOpenEntry = display->openEntry;
        redrawn = true;
    }
    if (display->openEntry >= 0 &&
        (!display->popupBitmap || display->popupEntry != display->openEntry ||
         display->popupHovered != display->hoveredItem)) {
        DeleteObject(display->popupBitmap);
        display->popupBitmap = drawPopup(display->menu, display->openEntry, display->hoveredItem);
        display->popupEntry = display->openEntry;
        display->popupHovered = display->hoveredItem;
        redrawn = true;
    }
    return redrawn;
}

void forgetDisplayMenus(DisplayInput* display) {
    DeleteObject(display->barBitmap);
    DeleteObject(display->popupBitmap);
    display->barBitmap = display->popupBitmap = NULL;
}

POINT displayToScreen(const DisplayInput& display, int x, int y) {
    RECT client = {};
    clientOnScreen(display, &client);
    return {client.left + x, client.top - displayBarHeight(display) + y};
}

void screenToDisplay(const DisplayInput& display, POINT screen, int* x, int* y) {
    RECT client = {};
    clientOnScreen(display, &client);
    *x = screen.x - client.left;
    *y = screen.y - client.top + displayBarHeight(display);
}

// Bits 0-15 of a key message's lParam count repeats, bit 30 says the key was down already,
// bit 31 that it is going up.
void displayKey(DisplayInput* display, WPARAM virtualKey, bool down, bool repeat) {
    if (display->openEntry >= 0) {
        if (virtualKey == VK_ESCAPE && down) {
            closeDisplayPopup(display);  // the open menu takes the keyboard, as Windows' does
        }
        return;
    }
    if (!virtualKey) {
        return;
    }
    if (down) {
        postInput(display->hwnd, WM_KEYDOWN, virtualKey, repeat ? 0x40000001 : 1);
    } else {
        postInput(display->hwnd, WM_KEYUP, virtualKey, (LPARAM)0xC0000001u);
    }
}

bool displayPointerMoved(DisplayInput* display, int x, int y) {
    const POINT screen = displayToScreen(*display, x, y);
    const CursorState& cursor = cursorState();
    if (display->openEntry >= 0) {
        placeCursor(screen);
        const int hovered = popupItemUnder(*display, x, y);
        display->dirty = display->dirty || hovered != display->hoveredItem;
        display->hoveredItem = hovered;
        return false;
    }
    // A move to where the cursor already is carries no news: it is the echo of a warp.
    if (screen.x == cursor.position.x && screen.y == cursor.position.y) {
        return false;
    }
    moveCursor(screen, false);
    return cursor.position.x != screen.x || cursor.position.y != screen.y;
}

bool displayLeftButton(DisplayInput* display, int x, int y, bool down) {
    if (menuTakesButton(display, x, y, down)) {
        return false;
    }
    const bool pullBack = displayPointerMoved(display, x, y);
    const CursorState& cursor = cursorState();
    RECT client;
    if (!clientOnScreen(*display, &client) || windowAt(cursor.position) != display->hwnd) {
        return pullBack;
    }
    const LPARAM where =
        MAKELPARAM(cursor.position.x - client.left, cursor.position.y - client.top);
    postInput(display->hwnd, down ? WM_LBUTTONDOWN : WM_LBUTTONUP, down ? leftButtonFlag : 0,
              where);
    return pullBack;
}

}  // namespace shim
