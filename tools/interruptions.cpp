#include "tools/interruptions.h"

#include <csignal>

namespace {

const int interruptions[] = {SIGINT, SIGTERM, SIGHUP};

sigset_t previousMask;

}  // namespace

InterruptionsHeld::InterruptionsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (int signal : interruptions) {
        sigaddset(&held, signal);
    }
    sigprocmask(SIG_BLOCK, &held, &previousMask);
}

// A signal still pending is delivered here.
InterruptionsHeld::~InterruptionsHeld() {
    sigprocmask(SIG_SETMASK, &previousMask, nullptr);
}

const char* pendingInterruption() {
    sigset_t pending;
    sigpending(&pending);
    for (int signal : interruptions) {
        if (sigismember(&pending, signal)) {
            return signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "SIGHUP";
        }
    }
    return nullptr;
}
