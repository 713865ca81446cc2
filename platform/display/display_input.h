// What the user does on a display that shows the menu bar above the client
// area (SDL's window, the browser's canvas), turned into the messages Windows would post. The
// display reports keys, pointer moves and button changes in its own pixels, where (0, 0) is
// the top-left corner of the menu bar; the menu takes what falls on it. The pictures of the
// bar and the open popup are kept here too, drawn anew only when the menu's state changes.
#pragma once

#include "platform/win32/backend.h"

namespace shim {

struct DisplayInput {
    HWND hwnd;   // the top-level window shown
    bool dirty;  // something shown has changed since the display last showed it
    bool hasMenu;
    MenuBar menu;
    int openEntry;       // the popup shown below the bar, or -1
    bool menuHasButton;  // the left button went down on the menu
    int hoveredItem;
    HBITMAP barBitmap, popupBitmap;  // drawn for the state below; NULL when out of date
    int barWidth, barOpenEntry, popupEntry, popupHovered;
};

// Starts showing `hwnd`: its menu is built, no popup is open.
void bindDisplayInput(DisplayInput* display, HWND hwnd);
int displayBarHeight(const DisplayInput& display);
int displayPopupLeft(const DisplayInput& display);  // of the open popup
void closeDisplayPopup(DisplayInput* display);

// Draws the bar `width` pixels wide and the open popup where their pictures are out of date;
// true when either was drawn anew.
bool redrawDisplayMenus(DisplayInput* display, int width);
void forgetDisplayMenus(DisplayInput* display);

// Between the display's pixels and the shim's screen.
POINT displayToScreen(const DisplayInput& display, int x, int y);
void screenToDisplay(const DisplayInput& display, POINT screen, int* x, int* y);

// A key went down (perhaps repeating) or up. An open popup takes the keyboard.
void displayKey(DisplayInput* display, WPARAM virtualKey, bool down, bool repeat);
// The pointer is at (x, y). True when the cursor stays elsewhere (it is confined), so the
// display should pull its pointer back to the cursor.
bool displayPointerMoved(DisplayInput* display, int x, int y);
// The left button went down or up at (x, y); the result is displayPointerMoved's.
bool displayLeftButton(DisplayInput* display, int x, int y, bool down);

}  // namespace shim
