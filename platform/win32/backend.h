// The subset's face to the displays: the display behind the main window, and all a display
// sees of the subset. The window side keeps every record (rectangles, text, surface, cursor);
// a backend only shows them and reports what the user does, by posting messages. The displays
// (platform/display/) fill the table and read the windows through the functions below; nothing
// outside platform/ includes this.
#pragma once

#include "platform/win32/surface.h"
#include "platform/win32/win32.h"

#include <string>
#include <vector>

namespace shim {

struct Backend {
    // The clock is the caller's (through platform/win32/testing.h) rather than the machine's.
    bool manualClock;
    // A top-level window came into being, was shown or hidden, moved, resized or retitled.
    void (*windowChanged)(HWND hwnd);
    void (*windowDestroyed)(HWND hwnd);
    // A window DC over the client area was handed out or given back: it may have been drawn.
    void (*surfaceDrawn)(HWND hwnd);
    // Called by PeekMessageA: turn what the display reports into messages, show what was drawn.
    void (*pumpEvents)();
    // Called by PeekMessageA when it has nothing to return: the program is about to render.
    void (*idle)();
    // The display count or the confinement changed.
    void (*cursorChanged)();
    // The cursor was put somewhere by the program (SetCursorPos, or ClipCursor pulling it in).
    void (*cursorWarped)();
    // False when the box could not be shown; the caller then writes the message to stderr.
    bool (*showMessageBox)(const char* caption, const char* text, UINT type);
    void (*shutdown)();
};

// The display there is when none other is chosen: no window at all (platform/display/).
extern const Backend headlessBackend;
extern const Backend* backend;  // the active one; headless until something else is chosen

// Shuts the active backend down (a display closes its window) and makes headless the active one.
void useHeadlessBackend();

// The screen the cursor lives on.
constexpr int screenWidth = 1280;
constexpr int screenHeight = 1024;

// A top-level window with a menu has a menu bar this tall above its client area.
constexpr int menuBarHeight = 19;

// What a display shows of a window. Each answers false, "" or NULL for a window that is gone.
const char* windowTitle(HWND hwnd);  // valid until the window is retitled or destroyed
bool windowVisible(HWND hwnd);
// The window's frame and its client area, on the screen.
bool windowRects(HWND hwnd, RECT* outer, RECT* client);
// The client area's pixels; false while the client area is empty.
bool windowPixels(HWND hwnd, PixelView* view);
WORD windowMenu(HWND hwnd);   // the menu resource in its menu bar; 0 for none
HWND windowAt(POINT screen);  // the visible window whose client area holds the point

// The cursor as the program has set it and the user has moved it.
struct CursorState {
    int displayCount;
    POINT position;
    bool confined;
    RECT confinement;
};
const CursorState& cursorState();
// Puts the cursor at a screen position, as the user or a warp would: the position is clamped,
// the backend follows, and the window under it gets a WM_MOUSEMOVE.
void moveCursor(POINT screen, bool warpDisplay);
// Puts the cursor where the display's pointer is, and nothing more: no clamping, no message.
void placeCursor(POINT screen);

// Queues a message of the user's (a key, a button) as input, behind what is posted already.
void postInput(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The caller's clock moves on (a display that paces a scripted run).
void advanceManualTicks(DWORD milliseconds);

// The menu bar of a top-level window, laid out and drawn with the subset's GDI into bitmaps
// that a display shows above and over the client area.
struct MenuBarEntry {
    std::string text;
    UINT commandId;
    bool popup;
    int start, end;  // columns in the menu bar; for an item of a popup, rows in the popup
    int popupWidth;  // a popup's
    std::vector<MenuBarEntry> children;
};
struct MenuBar {
    std::vector<MenuBarEntry> entries;
    int textHeight;
};
bool buildMenuBar(WORD menuId, MenuBar* bar);
int menuBarEntryAt(const MenuBar& bar, int x);  // -1 for none
int popupHeight(const MenuBar& bar, int entry);
int popupItemAt(const MenuBar& bar, int entry, int x, int y);  // in the popup; -1 for none
// Bitmaps for the caller to show and DeleteObject: the bar (width x menuBarHeight), with the
// open popup's title framed, and a popup with the item under the cursor framed.
HBITMAP drawMenuBar(const MenuBar& bar, int width, int openEntry);
HBITMAP drawPopup(const MenuBar& bar, int entry, int hoveredItem);

}  // namespace shim
