// No display at all: the window DC is a memory surface that tests and tools read, messages
// are posted by the caller, and the clock is set by the caller.
#include "platform/win32/backend.h"

namespace shim {

namespace {

void ignoreWindow(HWND) {}
void ignore() {}
bool noMessageBox(const char*, const char*, UINT) {
    return false;
}

// Filled by field name in a constant expression, so the table is in place before any code runs.
constexpr Backend headless() {
    Backend table = {};
    table.manualClock = true;
    table.windowChanged = ignoreWindow;
    table.windowDestroyed = ignoreWindow;
    table.surfaceDrawn = ignoreWindow;
    table.pumpEvents = ignore;
    table.idle = ignore;
    table.cursorChanged = ignore;
    table.cursorWarped = ignore;
    table.showMessageBox = noMessageBox;
    table.shutdown = ignore;
    return table;
}

}  // namespace

constexpr Backend headlessBackend = headless();

}  // namespace shim
