// The shim's test face: what tests and tools may see and set beyond the Win32 API. Only tests
// and tools include it, and only on the shim (there is no such thing on Windows).
#pragma once

#include "platform/win32/win32.h"

#include <string>
#include <vector>

namespace shimtest {

// Closes whatever display was started (platform/display/display.h) and goes back to none: the
// default, where the window DC is a memory surface. Do it while no window exists.
void useHeadlessBackend();

// Puts the shim back as a fresh process finds it, so WinMain can run again: windows vanish
// without a message, classes are unregistered, the queue is emptied and the quit flag cleared,
// the DefWindowProcA log, the last message box and the idle hook are cleared, the cursor is at
// (0, 0) with display count 0 and no confinement, and the headless clock reads 0. The backend,
// the menu resources and the registered window messages stay.
void reset();

// The headless clock that GetTickCount reads (and the performance counter follows, at
// 10,000 counts a millisecond). Setting a value below the current one counts as a wrap.
void setTickCount(DWORD ticks);
void advanceTickCount(DWORD milliseconds);

// The client surface of the main window (the first top-level window that still exists).
// Without one the size is 0 x 0; a pixel outside it, or without a window, is CLR_INVALID.
int surfaceWidth();
int surfaceHeight();
COLORREF surfacePixel(int x, int y);

// Every call that reached DefWindowProcA, oldest first.
struct LoggedMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<LoggedMessage> defWindowProcMessages();
void clearDefWindowProcMessages();

struct CursorState {
    int displayCount;  // shown while >= 0
    POINT position;    // on the screen
    bool confined;
    RECT confinement;  // meaningful while confined
};
CursorState cursorState();

struct MessageBoxRecord {
    bool shown;  // false until a box has been shown since the last reset
    std::string caption;
    std::string text;
    UINT type;
};
MessageBoxRecord lastMessageBox();

// Called by PeekMessageA whenever it has nothing to return: the place from which a headless
// caller steps a running WinMain (read the surface, set the clock, post input or the quit).
// What the hook posts is returned by that same PeekMessageA call. NULL removes it.
void setIdleHook(void (*hook)(void* context), void* context);

}  // namespace shimtest
