// A capture tool that fails the way a changed program may: with --hang it never ends, with
// --crash it reads through a null pointer, and either way it first starts a child of its own
// that waits forever, so that a test can see the job object end both.
#include <windows.h>

#include <cstring>

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--grandchild") == 0) {
        Sleep(INFINITE);
        return 0;
    }
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(NULL, self, MAX_PATH);
    wchar_t commandLine[MAX_PATH + 32];
    lstrcpyW(commandLine, L"\"");
    lstrcatW(commandLine, self);
    lstrcatW(commandLine, L"\" --grandchild");
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    CreateProcessW(self, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process);
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--crash") == 0) {
            volatile int* nowhere = nullptr;
            return *nowhere;
        }
    }
    Sleep(INFINITE);
    return 0;
}
