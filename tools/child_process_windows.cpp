// Children as Windows processes: each runs in a job object of its own, which ends it and
// whatever it started when the run is over, or the tool ends by any means, and which turns a
// crash into an exit code rather than a dialog; its output comes back through a pipe, its
// standard input is NUL.
#include "tools/child_process.h"

#include "tools/windows_text.h"

#include <algorithm>
#include <cstdio>

#include <windows.h>

namespace {

constexpr std::size_t MaxOutputBytes = 64 * 1024;

// No dialog for a crash or a missing disk, in the tool or (who inherit the mode) its children.
const bool errorDialogsOff =
    (SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX), true);

// A job for one child, which ends everything in it when its last handle closes: at the end of
// the run, or by the system when the tool ends.
HANDLE newChildJob() {
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (job != nullptr) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags =
            JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
        SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }
    return job;
}

bool stopAsked(const StopRequest& stop) {
    return stop && stop();
}

// One argument as the C runtime splits a command line: quoted when it holds a space, a tab or
// a quote (or is empty), with the backslashes before a quote doubled.
std::wstring quotedArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

std::wstring commandLine(const std::vector<std::string>& command) {
    std::wstring line;
    for (const std::string& word : command) {
        line += (line.empty() ? L"" : L" ") + quotedArgument(wideFromUtf8(word));
    }
    return line;
}

void collectAvailable(HANDLE readEnd, std::string* output) {
    DWORD available = 0;
    char buffer[4096];
    while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        DWORD got = 0;
        if (!ReadFile(readEnd, buffer, std::min<DWORD>(available, sizeof buffer), &got, nullptr) ||
            got == 0) {
            return;
        }
        if (output->size() < MaxOutputBytes) {
            output->append(buffer, std::min<std::size_t>(got, MaxOutputBytes - output->size()));
        }
    }
}

// Starts the child suspended, puts it into the job and lets it run; false with the reason.
bool startChild(const std::vector<std::string>& command, HANDLE input, HANDLE output, HANDLE job,
                PROCESS_INFORMATION* process, std::string* reason) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = output;
    std::wstring program = wideFromUtf8(command[0]);
    std::wstring line = commandLine(command);
    if (program.empty() || !CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE,
                                           CREATE_SUSPENDED, nullptr, nullptr, &startup, process)) {
        *reason = "'" + command[0] + "': " + systemMessage(GetLastError());
        return false;
    }
    if (job == nullptr || !AssignProcessToJobObject(job, process->hProcess)) {
        *reason =
            "'" + command[0] + "': cannot be tied to this tool: " + systemMessage(GetLastError());
        TerminateProcess(process->hProcess, 1);
        CloseHandle(process->hThread);
        CloseHandle(process->hProcess);
        return false;
    }
    ResumeThread(process->hThread);
    CloseHandle(process->hThread);
    return true;
}

// An exit code that is an exception's status rather than the program's word.
bool isCrash(DWORD code) {
    return (code & 0xF0000000u) == 0xC0000000u;
}

const char* exceptionName(DWORD code) {
    switch (code) {
        case EXCEPTION_ACCESS_VIOLATION:
            return "access violation";
        case EXCEPTION_STACK_OVERFLOW:
            return "stack overflow";
        case EXCEPTION_INT_DIVIDE_BY_ZERO:
            return "integer division by zero";
        case EXCEPTION_ILLEGAL_INSTRUCTION:
            return "illegal instruction";
        case 0xC0000409u:
            return "stack buffer overrun or fast fail";
        default:
            return "unhandled exception";
    }
}

}  // namespace

ChildRun runChild(const std::vector<std::string>& command, int seconds, const StopRequest& stop) {
    ChildRun run;
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (command.empty() || !CreatePipe(&readEnd, &writeEnd, &inherited, 0)) {
        run.output = systemMessage(GetLastError());
        return run;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    HANDLE input = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                               OPEN_EXISTING, 0, nullptr);
    PROCESS_INFORMATION process = {};
    HANDLE job = newChildJob();
    bool started = startChild(command, input, writeEnd, job, &process, &run.output);
    CloseHandle(writeEnd);
    if (input != INVALID_HANDLE_VALUE) {
        CloseHandle(input);
    }
    if (!started) {
        CloseHandle(readEnd);
        if (job != nullptr) {
            CloseHandle(job);
        }
        return run;
    }
    ULONGLONG deadline = GetTickCount64() + (ULONGLONG)seconds * 1000;
    bool finished = false;
    // The caller is asked a hundred times a second whether to stop.
    while (!finished && GetTickCount64() < deadline && !stopAsked(stop)) {
        collectAvailable(readEnd, &run.output);
        finished = WaitForSingleObject(process.hProcess, 10) == WAIT_OBJECT_0;
    }
    collectAvailable(readEnd, &run.output);
    CloseHandle(readEnd);
    // The job goes even when the child has ended: what it started may still be running.
    TerminateJobObject(job, 1);
    CloseHandle(job);
    DWORD code = 0;
    if (!finished) {
        WaitForSingleObject(process.hProcess, INFINITE);
        run.outcome = stopAsked(stop) ? ChildRun::stopped : ChildRun::timedOut;
    } else {
        GetExitCodeProcess(process.hProcess, &code);
        run.outcome = isCrash(code) ? ChildRun::killedBySignal : ChildRun::exited;
        run.status = (int)code;
    }
    CloseHandle(process.hProcess);
    return run;
}

std::string programProblem(const std::string& path) {
    std::wstring wide = wideFromUtf8(path);
    DWORD attributes = wide.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return errorReason(wide.empty() ? ERROR_FILE_NOT_FOUND : GetLastError());
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        return "it is not a file";
    }
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return errorReason(GetLastError());
    }
    char start[2] = {};
    DWORD got = 0;
    bool disk = GetFileType(file) == FILE_TYPE_DISK;
    bool read = disk && ReadFile(file, start, sizeof start, &got, nullptr);
    CloseHandle(file);
    if (!disk) {
        return "it is not a file";
    }
    return read && got == 2 && start[0] == 'M' && start[1] == 'Z' ? "" : "it is not a program";
}

std::string describeChildRun(const ChildRun& run, int seconds) {
    switch (run.outcome) {
        case ChildRun::exited:
            return "exited with status " + std::to_string(run.status);
        case ChildRun::killedBySignal: {
            char code[16];
            std::snprintf(code, sizeof code, "0x%08lX", (unsigned long)(DWORD)run.status);
            return std::string("crashed with exception ") + code + " (" +
                   exceptionName((DWORD)run.status) + ")";
        }
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
