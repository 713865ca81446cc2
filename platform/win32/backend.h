// Inside the shim: the display behind the main window. The window side keeps every record
// (rectangles, text, surface, cursor); a backend only shows them and reports what the user does,
// by posting messages. The displays (platform/display/) fill this table; nothing outside
// platform/ includes it.
#pragma once

#include "platform/win32/win32.h"

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

extern const Backend headlessBackend;
extern const Backend* backend;  // the active one; headless until something else is chosen

// Shuts the active backend down (a display closes its window) and makes headless the active one.
void useHeadlessBackend();

}  // namespace shim
