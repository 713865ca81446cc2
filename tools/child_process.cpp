#include "tools/child_process.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr std::size_t MaxOutputBytes = 64 * 1024;

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

// Reads the child's output until it closes it or the deadline passes; false at the deadline.
bool collectOutput(int readEnd, double deadline, std::string* output) {
    char buffer[4096];
    for (;;) {
        double left = deadline - secondsNow();
        if (left <= 0) {
            return false;
        }
        pollfd ready = {readEnd, POLLIN, 0};
        int polled = poll(&ready, 1, (int)(left * 1000) + 1);
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
bool waitUntil(pid_t child, double deadline, int* status) {
    for (;;) {
        pid_t done = waitpid(child, status, WNOHANG);
        if (done == child || (done < 0 && errno != EINTR)) {
            return true;
        }
        if (secondsNow() >= deadline) {
            return false;
        }
        timespec pause = {0, 10 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
}

}  // namespace

ChildRun runChild(const std::vector<std::string>& command, int seconds) {
    ChildRun run;
    std::vector<char*> argv;
    for (const std::string& word : command) {
        argv.push_back(const_cast<char*>(word.c_str()));
    }
    argv.push_back(nullptr);
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        run.output = std::strerror(errno);
        return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    pid_t child = -1;
    int error = prepareStreams(&actions, ends[1]) ? 0 : ENOMEM;
    if (error == 0) {
        error = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    }
    posix_spawn_file_actions_destroy(&actions);
    close(ends[1]);
    if (error != 0) {
        close(ends[0]);
        run.output = "'" + command[0] + "': " + std::strerror(error);
        return run;
    }
    double deadline = secondsNow() + seconds;
    int status = 0;
    bool finished =
        collectOutput(ends[0], deadline, &run.output) && waitUntil(child, deadline, &status);
    close(ends[0]);
    if (!finished) {
        kill(child, SIGKILL);
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        run.outcome = ChildRun::timedOut;
    } else if (WIFSIGNALED(status)) {
        run.outcome = ChildRun::killedBySignal;
        run.status = WTERMSIG(status);
    } else {
        run.outcome = ChildRun::exited;
        run.status = WEXITSTATUS(status);
    }
    return run;
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
        case ChildRun::notStarted:
            break;
    }
    return "could not start: " + run.output;
}
