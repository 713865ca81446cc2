// Another program run to its end or to a time limit, whichever comes first, so that a program
// that crashes or hangs costs one answer and not the caller.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct ChildRun {
    enum Outcome { exited, killedBySignal, timedOut, stopped, notStarted };
    Outcome outcome = notStarted;
    int status = 0;  // the exit status, or the signal that ended it
    // What it wrote to its standard output and error, cut short at 64 KiB; for notStarted,
    // why it did not start.
    std::string output;
};

// Asked a few times a second while the child runs; true ends it at once.
using StopRequest = std::function<bool()>;

// Runs `command` (the program's path, then its arguments) with standard input empty, in a
// process group of its own with no signal blocked, and kills that group once it has run
// `seconds` seconds or `stop` asks for it. So nothing the child started outlives the run.
ChildRun runChild(const std::vector<std::string>& command, int seconds,
                  const StopRequest& stop = nullptr);

// "" when `path` names a program the system can start: a regular file one may run, compiled
// (ELF; on Windows an .exe, which begins "MZ") or a script (#!, not on Windows); otherwise why
// not, in a few words: "it is not a file", "it is not a program", the system's reason.
std::string programProblem(const std::string& path);

// What became of the run, in a few words: "exited with status 2", "crashed with signal 11
// (Segmentation fault)", "did not finish within 60 seconds", "was stopped", "could not start: ...".
std::string describeChildRun(const ChildRun& run, int seconds);
