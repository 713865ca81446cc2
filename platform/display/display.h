// The displays a main window can be shown on: none at all (the headless backend, the one the
// subset starts with), an SDL window on the desktop, the page's canvas in the browser. Each fills
// the subset's backend table (platform/win32/backend.h) and becomes the active backend;
// `shim::useHeadlessBackend` closes it again.
#pragma once

#include "platform/win32/win32.h"

#include <string>

namespace shim {

// Opens SDL's video; on success SDL becomes the active backend. On failure `reason` says why
// and the headless backend stays.
bool startSdlBackend(std::string* reason);

// How the page paces the program: after `frames` frames it quits (0: when the program ends),
// every frame lasts `msPerFrame` simulated milliseconds (-1: the machine's clock), and before
// each frame, from 0, `beforeFrame` (if any) may post what the user does in it.
struct WebPacing {
    int frames;
    int msPerFrame;
    void (*beforeFrame)(HWND hwnd, int frame);
};

// In the browser build: the page's canvas becomes the active backend, paced as asked.
void startWebBackend(const WebPacing& pacing);

}  // namespace shim
