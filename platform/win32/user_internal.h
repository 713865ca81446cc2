// Inside the subset: the window side's records, shared by platform/win32/user_*.cpp, the kernel
// clock and the test face. The displays see them only through backend.h; nothing outside
// platform/win32/ includes this.
#pragma once

#include "platform/win32/backend.h"
#include "platform/win32/win32.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace shim {

// Every top-level window has the frame of a standard overlapped window as Wine draws it: a
// border of 4 on the left, right and bottom, and on top the border, a caption of 19 and, when
// the window has a menu, a menu bar (backend.h's menuBarHeight). Child windows have no frame.
constexpr int frameBorder = 4;
constexpr int captionHeight = 19;

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
void purgeMessages(HWND hwnd);
void resetQueue();

// user_paint.cpp
void updateSurface(Window& window);  // makes the surface fit the client area, keeping what fits
void releaseWindowResources(HWND hwnd);
void invalidateClient(Window& window, bool erase);
void validate(Window& window);

// user_cursor.cpp
extern CursorState cursor;
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
void resetManualClock();  // back to 0

}  // namespace shim
