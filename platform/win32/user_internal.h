// Inside the shim: the window side's records, shared by platform/user_*.cpp, the kernel clock,
// the test face and the backends. Nothing outside platform/ includes this.
#pragma once

#include "platform/win32/win32.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace shim {

// Every top-level window has the frame of a standard overlapped window as Wine draws it: a
// border of 4 on the left, right and bottom, and on top the border, a caption of 19 and, when
// the window has a menu, a menu bar of 19. Child windows have no frame.
constexpr int frameBorder = 4;
constexpr int captionHeight = 19;
constexpr int menuBarHeight = 19;

// The screen the cursor lives on.
constexpr int screenWidth = 1280;
constexpr int screenHeight = 1024;

struct Window {
    HWND handle;
    HWND parent;  // NULL for a top-level window
    WNDPROC proc;
    HBRUSH background;
    DWORD style;
    WORD menuId;  // the menu resource in its menu bar; 0 for none
    RECT rect;    // on the screen; a child's is relative to its parent's client area
    bool visible;
    bool sizeSent;  // WM_SIZE and WM_MOVE have gone out once
    bool destroying;
    std::string text;
    HBITMAP surface;  // the client area's pixels; NULL while the client area is empty
    int surfaceWidth;
    int surfaceHeight;
    RECT invalid;  // the part that needs painting; empty when none does
    bool erasePending;
};

// user_window.cpp
extern std::vector<std::unique_ptr<Window>> windows;  // in creation order
Window* findWindow(HWND hwnd);
Window* mainWindow();  // the first top-level window that still exists
RECT clientRectOnScreen(const Window& window);
Window* windowAtPoint(POINT screen);  // the visible window whose client area holds the point
void destroyAllWindows();             // quietly: no message is sent

// user_class.cpp
struct WindowClass {
    std::string name;
    ATOM atom;
    WNDPROC proc;
    HBRUSH background;
    WORD menuId;
};
const WindowClass* findClass(LPCSTR name);
void unregisterAllClasses();

// user_queue.cpp
struct LoggedMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
extern std::vector<LoggedMessage> defWindowProcLog;
extern void (*idleHook)(void* context);
extern void* idleHookContext;
void postInput(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void purgeMessages(HWND hwnd);
void resetQueue();

// user_paint.cpp
void updateSurface(Window& window);  // makes the surface fit the client area, keeping what fits
void releaseWindowResources(HWND hwnd);
void invalidateClient(Window& window, bool erase);
void validate(Window& window);

// user_cursor.cpp
struct CursorState {
    int displayCount;
    POINT position;
    bool confined;
    RECT confinement;
};
extern CursorState cursor;
// Puts the cursor at a screen position, as the user or a warp would: the position is clamped,
// the backend follows, and the window under it gets a WM_MOUSEMOVE.
void moveCursor(POINT screen, bool warpDisplay);
void resetCursor();

// user_msgbox.cpp
struct MessageBoxRecord {
    bool shown;
    std::string caption;
    std::string text;
    UINT type;
};
extern MessageBoxRecord lastMessageBox;

// kernel.cpp
void setManualTicks(DWORD ticks);
void advanceManualTicks(DWORD milliseconds);
void resetManualClock();  // back to 0

// user_menubar.cpp: the menu bar of a top-level window, laid out and drawn with the shim's GDI
// into bitmaps that the SDL backend shows above and over the client area.
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
