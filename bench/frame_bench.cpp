// Whole frames of the program, headless: what a student's change to the pipeline costs.
#include "app/app.h"
#include "platform/win32/testing.h"
#include "render/render.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

namespace {

// The program once per process, as the capture tool starts it.
void startProgram() {
    static bool started = false;
    if (started) {
        return;
    }
    started = true;
    if (chdir(QUILLON_SOURCE_DIR "/assets") != 0) {
        return;
    }
    SetCursorPos(254, 292);
    startApplication(NULL, SW_SHOWDEFAULT);
}

void BM_RenderFrame(benchmark::State& state) {
    startProgram();
    for (auto _ : state) {
        shimtest::advanceTickCount(16);
        renderFrame();
    }
    state.counters["frames/s"] =
        benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RenderFrame);

void BM_RenderScene(benchmark::State& state) {
    startProgram();
    for (auto _ : state) {
        shimtest::advanceTickCount(16);
        renderScene(backBuffer.dc);
    }
    state.counters["frames/s"] =
        benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RenderScene);

}  // namespace
