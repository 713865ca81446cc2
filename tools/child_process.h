// Another program run to its end or to a time limit, whichever comes first, so that a program
// that crashes or hangs costs one answer and not the caller.
#pragma once

#include <string>
#include <vector>

struct ChildRun {
    enum Outcome { exited, killedBySignal, timedOut, notStarted };
    Outcome outcome = notStarted;
    int status = 0;  // the exit status, or the signal that ended it
    // What it wrote to its standard output and error, cut short at 64 KiB; for notStarted,
    // why it did not start.
    std::string output;
};

// Runs `command` (the program's path, then its arguments) with standard input empty, and
// kills it once it has run `seconds` seconds.
ChildRun runChild(const std::vector<std::string>& command, int seconds);

// What became of the run, in a few words: "exited with status 2", "crashed with signal 11
// (Segmentation fault)", "did not finish within 60 seconds", "could not start: ...".
std::string describeChildRun(const ChildRun& run, int seconds);
