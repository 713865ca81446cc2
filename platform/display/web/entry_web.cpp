// The process entry in the browser: the page hands over the query of its address, which may
// ask for a simulated clock and scripted input; then WinMain runs as Windows would run it, and
// the page hears when it has returned.
#include "platform/display/display.h"
#include "platform/win32/backend.h"
#include "platform/win32/win32.h"
#include "tools/scripted_run.h"

#include <emscripten.h>

#include <cstdint>
#include <cstdio>
#include <string>

EM_JS(void, pageProgramEnded, (int exitCode), { Module.display.ended(exitCode); });
EM_JS(void, pageNotStarted, (const char* reason),
      { Module.display.notStarted(UTF8ToString(reason)); });

namespace {

shim::ScriptedRun run;

void postScriptedFrame(HWND hwnd, int frame) {
    for (const shim::ScriptedEvent& event : run.events) {
        if (event.frame == frame) {
            shim::postScriptedEvent(hwnd, event);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    if (!shim::parseScriptedRun(argc > 1 ? argv[1] : "", &run, &error)) {
        std::fprintf(stderr, "quillon: %s\n", error.c_str());
        pageNotStarted(("the address has a " + error).c_str());
        return 2;
    }
    shim::startWebBackend({run.frames, run.msPerFrame, postScriptedFrame});
    // The cursor rests where the client area's centre will be once the window has moved to the
    // screen's corner, as in the capture tool, so the view turns only when the user turns it.
    SetCursorPos(254, 292);
    HINSTANCE instance = (HINSTANCE)(std::uintptr_t)0x400000;
    char inspectLine[] = "--inspect";
    char plainLine[] = "";
    char* commandLine = run.inspect ? inspectLine : plainLine;
    const int exitCode = WinMain(instance, NULL, commandLine, SW_SHOWDEFAULT);
    shim::useHeadlessBackend();
    pageProgramEnded(exitCode);
    return exitCode;
}
