#include "platform/backend.h"

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
    true, ignoreWindow, ignoreWindow, ignoreWindow, ignore, ignore, ignore, noMessageBox, ignore,
};

const Backend* backend = &headlessBackend;

void useHeadlessBackend() {
    if (backend != &headlessBackend) {
        backend->shutdown();
        backend = &headlessBackend;
    }
}

}  // namespace shim
