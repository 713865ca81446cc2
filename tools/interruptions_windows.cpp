// Console events in place of signals. While held, a handler of the tool's own takes Ctrl+C,
// Ctrl+Break and the console's closing (or the user's logging off, the system's shutting down)
// and notes them; once let go, one noted ends the tool as Windows ends it for such an event. The
// system ends a process whose console closes as soon as its handler returns, so the handler for
// those waits until the run has let go.
#include "tools/interruptions.h"

#include <atomic>
#include <cstdio>

#include <windows.h>

namespace {

std::atomic<bool> holding{false};
std::atomic<const char*> pending{nullptr};
HANDLE letGo = nullptr;

const char* signalNameOf(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
            return "SIGINT";
        case CTRL_BREAK_EVENT:
            return "SIGTERM";
        default:
            return "SIGHUP";
    }
}

BOOL WINAPI noteInterruption(DWORD event) {
    if (!holding) {
        return FALSE;
    }
    const char* expected = nullptr;
    pending.compare_exchange_strong(expected, signalNameOf(event));
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && letGo != nullptr) {
        WaitForSingleObject(letGo, INFINITE);
        return FALSE;
    }
    return TRUE;
}

}  // namespace

InterruptionsHeld::InterruptionsHeld() {
    static const bool installed = [] {
        letGo = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        return SetConsoleCtrlHandler(noteInterruption, TRUE) != 0;
    }();
    (void)installed;
    holding = true;
}

InterruptionsHeld::~InterruptionsHeld() {
    holding = false;
    if (pending != nullptr) {
        std::fflush(nullptr);
        if (letGo != nullptr) {
            SetEvent(letGo);
        }
        // As the system ends a process for Ctrl+C, Ctrl+Break or a closed console.
        ExitProcess((UINT)STATUS_CONTROL_C_EXIT);
    }
}

const char* pendingInterruption() {
    return pending;
}
