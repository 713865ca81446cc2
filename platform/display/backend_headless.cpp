#include "platform/win32/backend.h"

namespace shim {

namespace {

void ignoreWindow(HWND) {}
void ignore() {}
bool noMessageBox(const char*, const char*, UINT) {
    return false;
}

}  // namespace

// No display at all: the window DC is a memory surface that tests and tools read, messages
// are posted by the caller, and the clock is set by the caller.
const Backend headlessBackend = {
    .manualClock = true,
    .windowChanged = ignoreWindow,
    .windowDestroyed = ignoreWindow,
    .surfaceDrawn = ignoreWindow,
    .pumpEvents = ignore,
    .idle = ignore,
    .cursorChanged = ignore,
    .cursorWarped = ignore,
    .showMessageBox = noMessageBox,
    .shutdown = ignore,
};

const Backend* backend = &headlessBackend;

void useHeadlessBackend() {
    if (backend != &headlessBackend) {
        backend->shutdown();
        backend = &headlessBackend;
    }
}

}  // namespace shim
