// The displays a main window can be shown on: an SDL window on the desktop, the page's canvas in
// the browser. Each fills the shim's backend table (platform/win32/backend.h) and becomes the
// active backend; `shim::useHeadlessBackend` closes it again.
#pragma once

#include <string>

namespace shim {

// Opens SDL's video; on success SDL becomes the active backend. On failure `reason` says why
// and the headless backend stays.
bool startSdlBackend(std::string* reason);

// In the browser build: the page's canvas becomes the active backend, with the clock and the
// scripted input the run asks for.
struct ScriptedRun;
void startWebBackend(const ScriptedRun& run);

}  // namespace shim
