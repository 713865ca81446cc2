#include "tools/child_process.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr std::size_t MaxOutputBytes = 64 * 1024;
// How often a running child's caller is asked whether to stop it.
constexpr int StopCheckMilliseconds = 100;

double secondsNow() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec + (double)now.tv_nsec / 1e9;
}

// Standard output and error both into the pipe's writing end, standard input empty.
bool prepareStreams(posix_spawn_file_actions_t* actions, int writeEnd) {
    return posix_spawn_file_actions_addopen(actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0) == 0 &&
           posix_spawn_file_actions_adddup2(actions, writeEnd, STDOUT_FILENO) == 0 &&
           posix_spawn_file_actions_adddup2(actions, writeEnd, STDERR_FILENO) == 0;
}

// A fresh process group, and every signal let through, whatever the caller holds off.
bool prepareAttributes(posix_spawnattr_t* attributes) {
    sigset_t none;
    sigemptyset(&none);
    return posix_spawnattr_setflags(attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK) ==
               0 &&
           posix_spawnattr_setpgroup(attributes, 0) == 0 &&
           posix_spawnattr_setsigmask(attributes, &none) == 0;
}

bool stopAsked(const StopRequest& stop) {
    return stop && stop();
}

// Reads the child's output until it closes it or the deadline passes or the caller stops it;
// false at the deadline or the stop.
bool collectOutput(int readEnd, double deadline, const StopRequest& stop, std::string* output) {
    char buffer[4096];
    for (;;) {
        double left = deadline - secondsNow();
        if (left <= 0 || stopAsked(stop)) {
            return false;
        }
        pollfd ready = {readEnd, POLLIN, 0};
        int polled = poll(&ready, 1, std::min((int)(left * 1000) + 1, StopCheckMilliseconds));
        if (polled < 0 && errno != EINTR) {
            return true;
        }
        if (polled <= 0) {
            continue;
        }
        ssize_t got = read(readEnd, buffer, sizeof buffer);
        if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN)) {
            return true;
        }
        if (got > 0 && output->size() < MaxOutputBytes) {
            output->append(buffer, std::min((std::size_t)got, MaxOutputBytes - output->size()));
        }
    }
}

// Waits for the child until the deadline; false when it is still running then. A child may
// close its output and go on running.
bool waitUntil(pid_t child, double deadline, const StopRequest& stop, int* status) {
    for (;;) {
        pid_t done = waitpid(child, status, WNOHANG);
        if (done == child || (done < 0 && errno != EINTR)) {
            return true;
        }
        if (secondsNow() >= deadline || stopAsked(stop)) {
            return false;
        }
        timespec pause = {0, 10 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
}

// 0 with the child started, or errno.
int spawnChild(const std::vector<std::string>& command, int writeEnd, pid_t* child) {
    std::vector<char*> argv;
    for (const std::string& word : command) {
        argv.push_back(const_cast<char*>(word.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    int error = prepareStreams(&actions, writeEnd) && prepareAttributes(&attributes) ? 0 : ENOMEM;
    if (error == 0) {
        error = posix_spawn(child, argv[0], &actions, &attributes, argv.data(), environ);
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return error;
}

}  // namespace

ChildRun runChild(const std::vector<std::string>& command, int seconds, const StopRequest& stop) {
    ChildRun run;
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        run.output = std::strerror(errno);
        return run;
    }
    pid_t child = -1;
    int error = spawnChild(command, ends[1], &child);
    close(ends[1]);
    if (error != 0) {
        close(ends[0]);
        run.output = "'" + command[0] + "': " + std::strerror(error);
        return run;
    }
    double deadline = secondsNow() + seconds;
    int status = 0;
    bool finished = collectOutput(ends[0], deadline, stop, &run.output) &&
                    waitUntil(child, deadline, stop, &status);
    close(ends[0]);
    // The group goes even when the child has ended: what it started may still be writing.
    kill(-child, SIGKILL);
    if (!finished) {
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        run.outcome = stopAsked(stop) ? ChildRun::stopped : ChildRun::timedOut;
    } else if (WIFSIGNALED(status)) {
        run.outcome = ChildRun::killedBySignal;
        run.status = WTERMSIG(status);
    } else {
        run.outcome = ChildRun::exited;
        run.status = WEXITSTATUS(status);
    }
    return run;
}

std::string programProblem(const std::string& path) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0) {
        return std::strerror(errno);
    }
    if (!S_ISREG(status.st_mode)) {
        return "it is not a file";
    }
    if (access(path.c_str(), X_OK) != 0) {
        return std::strerror(errno);
    }
    char start[4] = {};
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ssize_t got = fd >= 0 ? read(fd, start, sizeof start) : -1;
    if (fd >= 0) {
        close(fd);
    }
    bool program = (got == 4 && std::memcmp(start,
                                            "\x7f"
                                            "ELF",
                                            4) == 0) ||
                   (got >= 2 && start[0] == '#' && start[1] == '!');
    return program ? "" : "it is not a program";
}

std::string describeChildRun(const ChildRun& run, int seconds) {
    switch (run.outcome) {
        case ChildRun::exited:
            return "exited with status " + std::to_string(run.status);
        case ChildRun::killedBySignal:
            return "crashed with signal " + std::to_string(run.status) + " (" +
                   strsignal(run.status) + ")";
        case ChildRun::timedOut:
            return "did not finish within " + std::to_string(seconds) +
                   (seconds == 1 ? " second" : " seconds");
        case ChildRun::stopped:
            return "was stopped";
        case ChildRun::notStarted:
            break;
    }
    return "could not start: " + run.output;
}
