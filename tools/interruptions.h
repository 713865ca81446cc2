// The interruptions that end a tool, held off while a run has things to put in order first: INT,
// TERM and HUP, and on Windows Ctrl+C, Ctrl+Break and closing the console (named as SIGINT,
// SIGTERM and SIGHUP, the signals they stand for).
#pragma once

// Holds them off while it lives. One that came meanwhile ends the tool when it goes, as it
// would have ended it at once.
struct InterruptionsHeld {
    InterruptionsHeld();
    ~InterruptionsHeld();
    InterruptionsHeld(const InterruptionsHeld&) = delete;
    InterruptionsHeld& operator=(const InterruptionsHeld&) = delete;
};

// The name of the interruption that came while they were held ("SIGINT", "SIGTERM" or
// "SIGHUP"), or nullptr.
const char* pendingInterruption();
