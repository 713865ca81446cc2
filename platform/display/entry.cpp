// The process entry of the real program: the display is SDL's, then WinMain runs as Windows
// would run it.
#include "platform/display/display.h"
#include "platform/win32/backend.h"
#include "platform/win32/win32.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    std::string reason;
    if (!shim::startSdlBackend(&reason)) {
        std::fprintf(stderr,
                     "quillon: no display available (SDL: %s); set DISPLAY, or run `make run` "
                     "to render headless\n",
                     reason.c_str());
        return 1;
    }
    // The instance handle only has to be distinct; Windows maps programs at this address.
    HINSTANCE instance = (HINSTANCE)(std::uintptr_t)0x400000;
    // The words after the program's name, as Windows hands them to WinMain: one line.
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        commandLine += (i > 1 ? " " : "") + std::string(argv[i]);
    }
    int exitCode = WinMain(instance, NULL, commandLine.data(), SW_SHOWDEFAULT);
    shim::useHeadlessBackend();
    return exitCode;
}
