// Inside the shim: the display behind the main window. The window side keeps every record
// (rectangles, text, surface, cursor); a backend only shows them and reports what the user does,
// by posting messages. Nothing outside platform/ includes this.
#pragma once

#include "platform/win32.h"

#include <string>

namespace shim {

struct Backend {
    // The clock is the caller's (through platform/testing.h) rather than the machine's.
    bool manualClock;
    // A top-level window came into being, was shown or hidden, moved, resized or retitled.
    void (*windowChanged)(HWND hwnd);
    void (*windowDestroyed)(HWND hwnd);
    // A window DC over the client area was handed out or given back: it may have been drawn.
    void (*surfaceDrawn)(HWND hwnd);
    // Called by PeekMessageA: turn what the display reports into messages, show what was drawn.
    void (*pumpEvents)();
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

// Opens SDL's video; on success SDL becomes the active backend. On failure `reason` says why
// and the headless backend stays.
bool startSdlBackend(std::string* reason);
void useHeadlessBackend();

// In the browser build: the page's canvas becomes the active backend, with the clock and the
// scripted input the run asks for.
struct ScriptedRun;
void startWebBackend(const ScriptedRun& run);

}  // namespace shim
