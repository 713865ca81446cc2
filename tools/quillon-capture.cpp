// Renders the program's frames headless on a simulated clock and writes the back buffer as a
// 24-bit BMP: for reference frames, for comparing a changed rasterizer against them, and for
// `make run` where there is no display.
#include "app/app.h"
#include "app/menu.h"
#include "bitmap/nbitmap.h"
#include "platform/testing.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define QUILLON_HEAP_FROM_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLON_HEAP_FROM_ASAN 1
#endif
#endif
#ifdef QUILLON_HEAP_FROM_ASAN
// Part of the sanitizer runtime's interface (not every compiler ships its header).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

namespace {

const char usage[] =
    "usage: quillon-capture [OPTION]...\n"
    "Starts the program on the headless backend, renders frames on a simulated clock and\n"
    "writes the back buffer as a 24-bit BMP.\n"
    "\n"
    "  --frames N           frames to render (default 120)\n"
    "  --ms N               simulated milliseconds per frame (default 16)\n"
    "  --at FRAME EVENT     posts EVENT to the window just before frame FRAME (from 0);\n"
    "                       EVENT is key:NAME, move:X,Y, click:X,Y, command:ID or close,\n"
    "                       where NAME is a letter, a digit, Escape, Up, Down, Left, Right\n"
    "                       or Space, and X,Y are client coordinates\n"
    "  --out FILE           where the last frame goes (default capture.bmp)\n"
    "  --every N DIR        also writes every Nth frame as DIR/frame-NNNNN.bmp\n"
    "  --compare REFERENCE  exit status 1 when any pixel of the last frame differs from\n"
    "                       REFERENCE; a difference picture goes beside the output\n"
    "  --assets DIR         the working directory of the program, where it finds\n"
    "                       marquetile.bmp (default: the current directory)\n"
    "  --random SEED        also posts seeded random input every frame: the program's keys\n"
    "                       but Escape, other keys, moves, clicks, menu commands but Exit\n"
    "  --check-memory       exit status 1 when the heap in use grows between the end of the\n"
    "                       first thousand frames (or tenth of the run) and the last frame\n"
    "  --help               this text\n"
    "\n"
    "Exit status: 0 done, 1 the frame differs from the reference, 2 bad arguments or files.\n";

enum EventKind { KeyEvent, MoveEvent, ClickEvent, CommandEvent, CloseEvent };

struct ScriptEvent {
    int frame;
    EventKind kind;
    int a;  // the virtual key, the command, or x
    int b;  // y
};

struct Options {
    int frames = 120;
    int msPerFrame = 16;
    std::vector<ScriptEvent> script;
    std::string out = "capture.bmp";
    int every = 0;
    std::string everyDir;
    std::string reference;
    std::string assets;
    bool random = false;
    unsigned randomSeed = 0;
    bool checkMemory = false;
};

bool parseInt(const char* text, int minimum, int* value) {
    char* end = nullptr;
    errno = 0;
    long parsed = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || parsed < minimum || parsed > 1000000000) {
        return false;
    }
    *value = (int)parsed;
    return true;
}

bool parsePair(const char* text, int* x, int* y) {
    const char* comma = std::strchr(text, ',');
    if (comma == nullptr) {
        return false;
    }
    std::string first(text, comma);
    return parseInt(first.c_str(), 0, x) && parseInt(comma + 1, 0, y) && *x <= 65535 && *y <= 65535;
}

bool parseKey(const char* name, int* key) {
    static const struct {
        const char* name;
        int key;
    } named[] = {{"Escape", VK_ESCAPE}, {"Up", VK_UP},       {"Down", VK_DOWN},
                 {"Left", VK_LEFT},     {"Right", VK_RIGHT}, {"Space", VK_SPACE}};
    for (const auto& entry : named) {
        if (std::strcmp(name, entry.name) == 0) {
            *key = entry.key;
            return true;
        }
    }
    if (std::strlen(name) == 1 && std::isalnum((unsigned char)name[0])) {
        *key = std::toupper((unsigned char)name[0]);
        return true;
    }
    return false;
}

bool parseEvent(int frame, const char* text, ScriptEvent* event) {
    *event = {frame, CloseEvent, 0, 0};
    if (std::strncmp(text, "key:", 4) == 0) {
        event->kind = KeyEvent;
        return parseKey(text + 4, &event->a);
    }
    if (std::strncmp(text, "move:", 5) == 0) {
        event->kind = MoveEvent;
        return parsePair(text + 5, &event->a, &event->b);
    }
    if (std::strncmp(text, "click:", 6) == 0) {
        event->kind = ClickEvent;
        return parsePair(text + 6, &event->a, &event->b);
    }
    if (std::strncmp(text, "command:", 8) == 0) {
        event->kind = CommandEvent;
        return parseInt(text + 8, 0, &event->a) && event->a <= 65535;
    }
    return std::strcmp(text, "close") == 0;
}

// How many arguments an option takes; -1 for an unknown one.
int argumentCount(const std::string& option) {
    if (option == "--help" || option == "--check-memory") {
        return 0;
    }
    if (option == "--frames" || option == "--ms" || option == "--out" || option == "--compare" ||
        option == "--assets" || option == "--random") {
        return 1;
    }
    if (option == "--at" || option == "--every") {
        return 2;
    }
    return -1;
}

bool parseOption(const std::string& option, char** arguments, Options* options) {
    if (option == "--frames") {
        return parseInt(arguments[0], 1, &options->frames);
    }
    if (option == "--ms") {
        return parseInt(arguments[0], 0, &options->msPerFrame);
    }
    if (option == "--at") {
        ScriptEvent event;
        int frame;
        if (!parseInt(arguments[0], 0, &frame) || !parseEvent(frame, arguments[1], &event)) {
            return false;
        }
        options->script.push_back(event);
        return true;
    }
    if (option == "--random") {
        int seed = 0;
        options->random = true;
        bool sound = parseInt(arguments[0], 0, &seed);
        options->randomSeed = (unsigned)seed;
        return sound;
    }
    if (option == "--check-memory") {
        options->checkMemory = true;
        return true;
    }
    if (option == "--every") {
        options->everyDir = arguments[1];
        return parseInt(arguments[0], 1, &options->every);
    }
    if (option == "--out") {
        options->out = arguments[0];
    } else if (option == "--compare") {
        options->reference = arguments[0];
    } else if (option == "--assets") {
        options->assets = arguments[0];
    }
    return true;
}

// 0 when the options are sound; 1 after --help; otherwise says why and returns 2.
int parseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        int count = argumentCount(option);
        if (count < 0) {
            std::fprintf(stderr, "quillon-capture: unknown argument '%s' (try --help)\n",
                         option.c_str());
            return 2;
        }
        if (option == "--help") {
            std::fputs(usage, stdout);
            return 1;
        }
        if (i + count >= argc) {
            std::fprintf(stderr, "quillon-capture: %s needs %d argument(s)\n", option.c_str(),
                         count);
            return 2;
        }
        if (!parseOption(option, argv + i + 1, options)) {
            std::string given = option;
            for (int k = 1; k <= count; ++k) {
                given += std::string(" ") + argv[i + k];
            }
            std::fprintf(stderr, "quillon-capture: bad argument '%s' (try --help)\n",
                         given.c_str());
            return 2;
        }
        i += count;
    }
    return 0;
}

// Posted as the real backend posts what the user does. A move goes through the cursor, so it
// is confined as a real mouse is, and arrives as the WM_MOUSEMOVE of the cursor's new place.
void postEvent(const ScriptEvent& event) {
    switch (event.kind) {
        case KeyEvent:
            PostMessageA(mainWindow, WM_KEYDOWN, (WPARAM)event.a, 1);
            PostMessageA(mainWindow, WM_KEYUP, (WPARAM)event.a, (LPARAM)0xC0000001u);
            break;
        case MoveEvent: {
            POINT point = {event.a, event.b};
            ClientToScreen(mainWindow, &point);
            SetCursorPos(point.x, point.y);
            break;
        }
        case ClickEvent:
            PostMessageA(mainWindow, WM_LBUTTONDOWN, 1, MAKELPARAM(event.a, event.b));
            PostMessageA(mainWindow, WM_LBUTTONUP, 0, MAKELPARAM(event.a, event.b));
            break;
        case CommandEvent:
            PostMessageA(mainWindow, WM_COMMAND, (WPARAM)event.a, 0);
            break;
        case CloseEvent:
            PostMessageA(mainWindow, WM_CLOSE, 0, 0);
            break;
    }
}

// A generator of its own, so that a seed gives the same script on every machine.
struct RandomScript {
    std::uint32_t state;

    explicit RandomScript(unsigned seed) : state(seed * 2654435761u + 0x9E3779B9u) {
        if (state == 0) {
            state = 1;
        }
    }
    int below(int n) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return (int)(state % (std::uint32_t)n);
    }
};

// What a restless user does in one frame, or nothing: every key but Escape, moves, clicks
// and menu commands but Exit.
bool randomEvent(RandomScript* random, int frame, ScriptEvent* event) {
    static const int keys[] = {'W', 'S', 'A', 'D', VK_UP,    VK_DOWN, 'B',      'C',      'F',
                               'Q', 'E', 'Z', '1', VK_SPACE, VK_LEFT, VK_RIGHT, VK_RETURN};
    static const int commands[] = {commandMenuLabel, 1, 40002};
    *event = {frame, KeyEvent, 0, 0};
    switch (random->below(8)) {
        case 0:
        case 1:
            event->a = keys[random->below(sizeof keys / sizeof keys[0])];
            return true;
        case 2:
        case 3:
            event->kind = MoveEvent;
            break;
        case 4:
            event->kind = ClickEvent;
            break;
        case 5:
            event->kind = CommandEvent;
            event->a = commands[random->below(3)];
            return true;
        default:
            return false;
    }
    event->a = random->below(clientRect.right);
    event->b = random->below(clientRect.bottom);
    return true;
}

std::size_t heapInUse() {
#ifdef QUILLON_HEAP_FROM_ASAN
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

// The back buffer, copied into a 24-bit bitmap.
bool captureBackBuffer(NBitmap* frame) {
    if (!frame->create(clientRect.right, clientRect.bottom, 3)) {
        return false;
    }
    return BitBlt(frame->memoryDC, 0, 0, clientRect.right, clientRect.bottom, backBuffer.dc, 0, 0,
                  SRCCOPY) != FALSE;
}

bool writeFrame(const std::string& path) {
    NBitmap frame;
    frame.clear();
    bool written = captureBackBuffer(&frame) && frame.writeBmp(path.c_str());
    frame.destroy();
    if (!written) {
        std::fprintf(stderr, "quillon-capture: cannot write '%s'\n", path.c_str());
    }
    return written;
}

std::string besideOutput(const std::string& out, const char* suffix) {
    std::string::size_type dot = out.rfind('.');
    std::string::size_type slash = out.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return out + suffix;
    }
    return out.substr(0, dot) + suffix;
}

// Compares the frame written at `out` with the reference, pixel by pixel. Differing pixels
// are red in the difference picture; the rest are the frame, darkened.
int compareWithReference(const std::string& out, const std::string& referencePath) {
    NBitmap actual, reference, difference;
    actual.clear();
    reference.clear();
    difference.clear();
    int status = 2;
    if (!reference.readBmp(referencePath.c_str()) || reference.pixelSize() != 3) {
        std::fprintf(stderr, "quillon-capture: cannot read the 24-bit reference '%s'\n",
                     referencePath.c_str());
    } else if (!actual.readBmp(out.c_str())) {
        std::fprintf(stderr, "quillon-capture: cannot read back '%s'\n", out.c_str());
    } else if (actual.width() != reference.width() || actual.height() != reference.height()) {
        std::fprintf(stderr, "quillon-capture: the frame is %d x %d, the reference %d x %d\n",
                     actual.width(), actual.height(), reference.width(), reference.height());
        status = 1;
    } else if (!difference.create(actual.width(), actual.height(), 3)) {
        std::fprintf(stderr, "quillon-capture: out of memory\n");
    } else {
        long differing = 0;
        int firstX = -1, firstY = -1;
        for (int y = 0; y < actual.height(); ++y) {
            const unsigned char* a = actual.rowPointer(y);
            const unsigned char* r = reference.rowPointer(y);
            unsigned char* d = difference.rowPointer(y);
            for (int x = 0; x < actual.width(); ++x, a += 3, r += 3, d += 3) {
                bool same = a[0] == r[0] && a[1] == r[1] && a[2] == r[2];
                if (!same && differing++ == 0) {
                    firstX = x;
                    firstY = y;
                }
                d[0] = same ? a[0] / 4 : 0;
                d[1] = same ? a[1] / 4 : 0;
                d[2] = same ? a[2] / 4 : 255;
            }
        }
        if (differing == 0) {
            std::printf("quillon-capture: identical to %s\n", referencePath.c_str());
            status = 0;
        } else {
            std::string diffPath = besideOutput(out, ".diff.bmp");
            difference.writeBmp(diffPath.c_str());
            std::printf(
                "quillon-capture: %ld pixel(s) differ from %s; the first at (%d, %d); "
                "difference picture: %s\n",
                differing, referencePath.c_str(), firstX, firstY, diffPath.c_str());
            status = 1;
        }
    }
    actual.destroy();
    reference.destroy();
    difference.destroy();
    return status;
}

std::string absolutePath(const std::string& path) {
    if (path.empty() || path[0] == '/') {
        return path;
    }
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd) == nullptr) {
        return path;
    }
    return std::string(cwd) + "/" + path;
}

int renderFrames(const Options& options) {
    if (!options.assets.empty() && chdir(options.assets.c_str()) != 0) {
        std::fprintf(stderr, "quillon-capture: cannot enter '%s'\n", options.assets.c_str());
        return 2;
    }
    resetProgramState();
    // The simulated mouse rests where the client area's centre will be once the window has
    // moved to the screen's corner, so the view turns only when the script moves it.
    SetCursorPos(254, 292);
    if (!startApplication(NULL, SW_SHOWDEFAULT)) {
        return 2;
    }
    RandomScript random(options.randomSeed);
    const int settledFrame = std::min(1000, options.frames / 10);
    std::size_t settledHeap = 0;
    for (int frame = 0; frame < options.frames; ++frame) {
        for (const ScriptEvent& event : options.script) {
            if (event.frame == frame) {
                postEvent(event);
            }
        }
        ScriptEvent event;
        if (options.random && randomEvent(&random, frame, &event)) {
            postEvent(event);
        }
        if (frame == settledFrame) {
            settledHeap = heapInUse();
        }
        int exitCode;
        if (!dispatchMessages(&exitCode)) {
            break;
        }
        renderFrame();
        if (options.every > 0 && frame % options.every == 0) {
            char name[32];
            std::snprintf(name, sizeof name, "/frame-%05d.bmp", frame);
            if (!writeFrame(options.everyDir + name)) {
                return 2;
            }
        }
        shimtest::advanceTickCount(options.msPerFrame);
    }
    if (!writeFrame(options.out)) {
        return 2;
    }
    if (options.checkMemory) {
        std::size_t finalHeap = heapInUse();
        std::printf("quillon-capture: heap in use %zu bytes at frame %d, %zu at the end\n",
                    settledHeap, settledFrame, finalHeap);
        if (finalHeap > settledHeap) {
            std::printf("quillon-capture: the heap grew by %zu bytes\n", finalHeap - settledHeap);
            return 1;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    int parsed = parseOptions(argc, argv, &options);
    if (parsed != 0) {
        return parsed == 1 ? 0 : 2;
    }
    // Paths are the caller's, taken before the program moves into its assets folder.
    options.out = absolutePath(options.out);
    options.reference = absolutePath(options.reference);
    options.everyDir = absolutePath(options.everyDir);
    if (!options.everyDir.empty()) {
        mkdir(options.everyDir.c_str(), 0777);
    }
    shimtest::useBackend(shimtest::Backend::headless);
    int status = renderFrames(options);
    if (status == 0 && !options.reference.empty()) {
        status = compareWithReference(options.out, options.reference);
    }
    return status;
}
