// What the window costs next to the renderer: one measurement a process, chosen by the first
// argument, printed as "name frames-a-second frames-a-processor-second" for
// bench/window-bench.sh to put side by side.
//
//   quillon_window_bench program SECONDS      the real frame loop on the SDL backend; also
//                                             prints the SDL window's size as "window W H"
//   quillon_window_bench bare W H SECONDS     an SDL loop that only fills and presents a
//                                             window of that size, through its surface
//   quillon_window_bench texture W H SECONDS  the same through a streaming texture
//   quillon_window_bench headless SECONDS     the real frame without a display
#include "app/app.h"
#include "platform/display/display.h"
#include "platform/win32/testing.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The window is put on the screen and settles before the clock starts.
constexpr double warmUpSeconds = 0.5;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Processor time, this process's and the X server's (its pid in QUILLON_SERVER_PID): on a
// machine that others share, frames a second of processor time vary less than frames a second.
double processorSeconds() {
    timespec own = {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &own);
    double seconds = own.tv_sec + own.tv_nsec * 1e-9;
    const char* server = std::getenv("QUILLON_SERVER_PID");
    if (!server) {
        return seconds;
    }
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", std::atoi(server));
    std::FILE* file = std::fopen(path, "r");
    if (!file) {
        return seconds;
    }
    // After "pid (name) state", utime and stime are the 12th and 13th fields.
    unsigned long user = 0, system = 0;
    if (std::fscanf(file, "%*d %*s %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &user,
                    &system) == 2) {
        seconds += (double)(user + system) / sysconf(_SC_CLK_TCK);
    }
    std::fclose(file);
    return seconds;
}

struct Timing {
    double elapsed;    // wall-clock seconds
    double processor;  // processor seconds, see processorSeconds
};

void report(const char* name, long frames, const Timing& timing) {
    std::printf("%s %.1f %.1f\n", name, frames / timing.elapsed, frames / timing.processor);
}

bool drainEvents() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT) {
            return false;
        }
    }
    return true;
}

// Runs `frame` for the warm-up and then for `seconds`; returns the frames of the timed part.
template <typename Frame>
long timeFrames(double seconds, Timing* timing, Frame frame) {
    const Clock::time_point warmUp = Clock::now();
    while (secondsSince(warmUp) < warmUpSeconds) {
        if (!frame(0)) {
            return 0;
        }
    }
    long frames = 0;
    const double processorStart = processorSeconds();
    const Clock::time_point start = Clock::now();
    while (secondsSince(start) < seconds && frame(frames)) {
        ++frames;
    }
    timing->elapsed = secondsSince(start);
    timing->processor = processorSeconds() - processorStart;
    return frames;
}

// On SDL's window, or headless where `onScreen` is false.
bool startProgram(bool onScreen) {
    std::string reason;
    if (onScreen) {
        if (!shim::startSdlBackend(&reason)) {
            std::fprintf(stderr, "quillon_window_bench: cannot open a window: %s\n",
                         reason.c_str());
            return false;
        }
    } else {
        shimtest::useHeadlessBackend();
    }
    if (chdir(QUILLON_SOURCE_DIR "/assets") != 0) {
        std::fprintf(stderr, "quillon_window_bench: cannot start the program\n");
        return false;
    }
    return startApplication((HINSTANCE)(std::uintptr_t)0x400000, SW_SHOWDEFAULT);
}

int runProgram(double seconds) {
    if (!startProgram(true)) {
        return 1;
    }
    Timing timing = {};
    int exitCode = 0;
    const long frames = timeFrames(seconds, &timing, [&](long) {
        if (!dispatchMessages(&exitCode)) {
            return false;
        }
        renderFrame();
        return true;
    });
    // The shim opens one SDL window, and it is the process's first.
    int width = 0, height = 0;
    SDL_GetWindowSize(SDL_GetWindowFromID(1), &width, &height);
    std::printf("window %d %d\n", width, height);
    report("program", frames, timing);
    return frames > 0 ? 0 : 1;
}

int runHeadless(double seconds) {
    if (!startProgram(false)) {
        return 1;
    }
    Timing timing = {};
    const long frames = timeFrames(seconds, &timing, [](long) {
        shimtest::advanceTickCount(16);
        renderFrame();
        return true;
    });
    report("headless", frames, timing);
    return 0;
}

SDL_Window* openWindow(int width, int height) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "quillon_window_bench: %s\n", SDL_GetError());
        return NULL;
    }
    // The window surface as the SDL backend asks for it.
    if (!SDL_strcmp(SDL_GetCurrentVideoDriver(), "x11")) {
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    }
    return SDL_CreateWindow("bare", 4, 23, width, height, SDL_WINDOW_SHOWN);
}

int runBare(int width, int height, double seconds) {
    SDL_Window* window = openWindow(width, height);
    if (!window) {
        return 1;
    }
    Timing timing = {};
    const long frames = timeFrames(seconds, &timing, [&](long frame) {
        SDL_Surface* surface = SDL_GetWindowSurface(window);
        if (!surface) {
            return false;
        }
        SDL_FillRect(surface, NULL, SDL_MapRGB(surface->format, 0, (Uint8)frame, 64));
        SDL_UpdateWindowSurface(window);
        return drainEvents();
    });
    report("bare", frames, timing);
    SDL_Quit();
    return frames > 0 ? 0 : 1;
}

int runTexture(int width, int height, double seconds) {
    SDL_Window* window = openWindow(width, height);
    SDL_Renderer* renderer = window ? SDL_CreateRenderer(window, -1, 0) : NULL;
    SDL_Texture* texture = renderer ? SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB888,
                                                        SDL_TEXTUREACCESS_STREAMING, width, height)
                                    : NULL;
    if (!texture) {
        std::fprintf(stderr, "quillon_window_bench: %s\n", SDL_GetError());
        return 1;
    }
    SDL_RendererInfo info;
    SDL_GetRendererInfo(renderer, &info);
    std::vector<Uint32> pixels((size_t)width * height);
    Timing timing = {};
    const long frames = timeFrames(seconds, &timing, [&](long frame) {
        std::fill(pixels.begin(), pixels.end(), (Uint32)(frame & 0xff) << 8 | 64);
        SDL_UpdateTexture(texture, NULL, pixels.data(), width * 4);
        SDL_RenderCopy(renderer, texture, NULL, NULL);
        SDL_RenderPresent(renderer);
        return drainEvents();
    });
    std::printf("renderer %s\n", info.name);
    report("texture", frames, timing);
    SDL_Quit();
    return frames > 0 ? 0 : 1;
}

int usage() {
    std::fprintf(stderr,
                 "usage: quillon_window_bench program|headless SECONDS\n"
                 "       quillon_window_bench bare|texture WIDTH HEIGHT SECONDS\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && !std::strcmp(argv[1], "program")) {
        return runProgram(std::atof(argv[2]));
    }
    if (argc == 3 && !std::strcmp(argv[1], "headless")) {
        return runHeadless(std::atof(argv[2]));
    }
    if (argc == 5 && !std::strcmp(argv[1], "bare")) {
        return runBare(std::atoi(argv[2]), std::atoi(argv[3]), std::atof(argv[4]));
    }
    if (argc == 5 && !std::strcmp(argv[1], "texture")) {
        return runTexture(std::atoi(argv[2]), std::atoi(argv[3]), std::atof(argv[4]));
    }
    return usage();
}
