// Renders the program's frames headless on a simulated clock and writes the back buffer as a
// 24-bit BMP or PNG: for reference frames, for comparing a changed rasterizer against them, and for
// `make run` where there is no display.
#include "app/app.h"
#include "raster/raster.h"
#include "bitmap/nbitmap.h"
#include "tools/scripted_run.h"
#include "platform/win32/testing.h"
#include "tools/capture_compare.h"
#include "tools/capture_heap.h"
#include "tools/held_folder.h"
#include "tools/picture_output.h"
#include "tools/random_user.h"
#include "tools/standard_output.h"
#include "tools/texture_check.h"
#include "tools/tool_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

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
    "  --out FILE           where the last frame goes, as a PNG when FILE ends in .png and\n"
    "                       a BMP otherwise (default capture.bmp; - is standard output)\n"
    "  --every N DIR        also writes every Nth frame as DIR/frame-NNNNN.bmp\n"
    "  --compare REFERENCE  exit status 1 when any pixel of the last frame differs from\n"
    "                       REFERENCE, a BMP, PNG or JPEG (a file, a pipe, a FIFO or -\n"
    "                       for standard input);\n"
    "                       a difference picture goes beside an output that is a file.\n"
    "                       Never writes over REFERENCE\n"
    "  --diff FILE          where the difference picture goes instead (a PNG when FILE ends\n"
    "                       in .png); the only way to have one when the output is -, a\n"
    "                       pipe, a FIFO or a device\n"
    "  --inspect            starts the program to inspect, as quillon --inspect: the keys\n"
    "                       P, N, Z, O and I work\n"
    "  --pixel X,Y          after the last frame, prints every write and refused write the\n"
    "                       pixel (X,Y) of the client area received in it, what drew each,\n"
    "                       its depth and colour, then the final colour and depth; up to\n"
    "                       64 times\n"
    "  --assets DIR         the working directory of the program, where it finds\n"
    "                       marquetile.bmp (default: the current directory)\n"
    "  --random SEED        also posts seeded random input every frame: the program's keys\n"
    "                       but Escape, other keys, moves, clicks, menu commands but Exit\n"
    "  --check-memory       exit status 1 when the heap in use grows between the end of the\n"
    "                       first thousand frames (or tenth of the run) and the last frame\n"
    "  --help               this text\n"
    "\n"
    "Exit status: 0 done, 1 the frame differs from the reference, 2 bad arguments or files.\n";

struct Options {
    int frames = 120;
    int msPerFrame = 16;
    std::vector<shim::ScriptedEvent> script;
    std::string out = "capture.bmp";
    int every = 0;
    std::string everyDir;
    std::string reference;
    std::string diff;
    std::string assets;
    bool random = false;
    unsigned randomSeed = 0;
    bool checkMemory = false;
    bool inspect = false;
    std::vector<std::pair<int, int>> pixels;  // whose stories are told
    bool tooManyPixels = false;
};

// How many arguments an option takes; -1 for an unknown one.
int argumentCount(const std::string& option) {
    if (option == "--help" || option == "--check-memory" || option == "--inspect") {
        return 0;
    }
    if (option == "--frames" || option == "--ms" || option == "--out" || option == "--compare" ||
        option == "--diff" || option == "--assets" || option == "--random" || option == "--pixel") {
        return 1;
    }
    if (option == "--at" || option == "--every") {
        return 2;
    }
    return -1;
}

// A whole number from `minimum` to a billion.
bool parseWholeNumber(const char* text, int minimum, int* value) {
    return shim::parseScriptedNumber(text, minimum, 1000000000, value);
}

// X,Y: two whole numbers; whether they lie in the client area is known once the window is.
bool parsePixel(const std::string& text, Options* options) {
    const std::size_t comma = text.find(',');
    std::pair<int, int> pixel;
    if (comma == std::string::npos ||
        !shim::parseScriptedNumber(text.substr(0, comma), 0, 1000000, &pixel.first) ||
        !shim::parseScriptedNumber(text.substr(comma + 1), 0, 1000000, &pixel.second)) {
        return false;
    }
    options->tooManyPixels = options->pixels.size() == (std::size_t)maxAskedPixels;
    if (!options->tooManyPixels) {
        options->pixels.push_back(pixel);
    }
    return true;
}

bool parseOption(const std::string& option, char** arguments, Options* options) {
    if (option == "--pixel") {
        return parsePixel(arguments[0], options);
    }
    if (option == "--frames") {
        return parseWholeNumber(arguments[0], 1, &options->frames);
    }
    if (option == "--ms") {
        return parseWholeNumber(arguments[0], 0, &options->msPerFrame);
    }
    if (option == "--at") {
        shim::ScriptedEvent event;
        if (!shim::parseScriptedEvent(arguments[0], arguments[1], &event)) {
            return false;
        }
        options->script.push_back(event);
        return true;
    }
    if (option == "--random") {
        int seed = 0;
        options->random = true;
        bool sound = parseWholeNumber(arguments[0], 0, &seed);
        options->randomSeed = (unsigned)seed;
        return sound;
    }
    if (option == "--check-memory") {
        options->checkMemory = true;
        return true;
    }
    if (option == "--inspect") {
        options->inspect = true;
        return true;
    }
    if (option == "--every") {
        options->everyDir = arguments[1];
        return parseWholeNumber(arguments[0], 1, &options->every);
    }
    if (option == "--out") {
        options->out = arguments[0];
        return checkPictureOutputName(options->out).empty();
    }
    if (option == "--diff") {
        options->diff = arguments[0];
        return !options->diff.empty() && checkPictureOutputName(options->diff).empty();
    }
    if (option == "--compare") {
        options->reference = arguments[0];
    } else if (option == "--assets") {
        options->assets = arguments[0];
    }
    return true;
}

// 0 when the options parse; 1 after --help; otherwise says why and returns 2.
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

std::string seriesFramePath(const Options& options, int frame) {
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%05d.bmp", frame);
    return options.everyDir + name;
}

// A difference picture goes beside an output that is a file, or will be one. Standard output, a
// pipe, a FIFO or a device has no beside: only --diff names a picture there.
std::string differencePathFor(const Options& options) {
    if (!options.diff.empty()) {
        return options.diff;
    }
    struct stat status;
    bool file =
        options.out != "-" && (stat(options.out.c_str(), &status) != 0 || S_ISREG(status.st_mode));
    return file ? differencePicturePath(options.out) : "";
}

// Where the verdicts go: standard output, unless a picture goes there.
std::FILE* reportStream(const Options& options) {
    return namesStandardOutput(options.out) || namesStandardOutput(options.diff) ? stderr : stdout;
}

// Every file the run would write, checked against the reference before anything is written:
// a comparison that replaced its own reference would always pass.
std::string refuseWritingOverReference(const Options& options) {
    std::vector<std::string> written = {options.out, differencePathFor(options)};
    for (int frame = 0; options.every > 0 && frame < options.frames; frame += options.every) {
        written.push_back(seriesFramePath(options, frame));
    }
    for (const std::string& path : written) {
        if (!path.empty() && wouldWriteOver(path, options.reference)) {
            return "'" + path + "' is the reference '" + options.reference +
                   "' itself; the comparison would write over it";
        }
    }
    return "";
}

// What the parser cannot see alone; "" when the options hold together.
std::string checkOptions(const Options& options) {
    if (options.every > 0 && options.everyDir.empty()) {
        return "--every needs a folder name";
    }
    if (options.tooManyPixels) {
        return "--pixel is given more than " + std::to_string(maxAskedPixels) + " times";
    }
    if (!options.diff.empty() && options.reference.empty()) {
        return "--diff needs --compare";
    }
    for (const shim::ScriptedEvent& event : options.script) {
        if (event.frame >= options.frames) {
            return "--at " + std::to_string(event.frame) + " comes after the last frame (" +
                   std::to_string(options.frames - 1) + ")";
        }
    }
    std::string crowded = shim::checkScriptedQueue(options.script, options.random ? 2 : 0);
    if (!crowded.empty()) {
        return "the " + crowded;
    }
    return options.reference.empty() ? "" : refuseWritingOverReference(options);
}

// The back buffer, copied into a 24-bit bitmap.
bool captureBackBuffer(NBitmap* frame) {
    if (!frame->create(clientRect.right, clientRect.bottom, 3)) {
        return false;
    }
    return BitBlt(frame->memoryDC, 0, 0, clientRect.right, clientRect.bottom, backBuffer.dc, 0, 0,
                  SRCCOPY) != FALSE;
}

bool writeFrame(const NBitmap& frame, const std::string& path) {
    std::string failure = writePictureOutput(frame, false, path);
    if (!failure.empty()) {
        std::fprintf(stderr, "quillon-capture: %s\n", failure.c_str());
    }
    return failure.empty();
}

bool captureAndWrite(NBitmap* frame, const std::string& path) {
    if (!captureBackBuffer(frame)) {
        std::fprintf(stderr, "quillon-capture: cannot copy the back buffer\n");
        return false;
    }
    return writeFrame(*frame, path);
}

// Every asked pixel lies in the client area; false after saying which does not.
bool askPixelStories(const Options& options) {
    for (const std::pair<int, int>& pixel : options.pixels) {
        if (pixel.first >= clientRect.right || pixel.second >= clientRect.bottom) {
            std::fprintf(stderr,
                         "quillon-capture: --pixel %d,%d lies outside the client area (%ld x "
                         "%ld)\n",
                         pixel.first, pixel.second, (long)clientRect.right,
                         (long)clientRect.bottom);
            return false;
        }
        askPixelStory(pixel.first, pixel.second);
    }
    return true;
}

// Each asked pixel's story in the last frame, then its final colour and depth.
void tellPixelStories(const Options& options, std::FILE* out) {
    for (const std::pair<int, int>& pixel : options.pixels) {
        std::fprintf(out, "pixel %d,%d\n", pixel.first, pixel.second);
        const WatchedPixel* story = lastPixelStory(pixel.first, pixel.second);
        char line[160];
        if (story == nullptr || story->events.empty()) {
            std::fputs("no writes\n", out);
        }
        for (std::size_t k = 0; story != nullptr && k < story->events.size(); ++k) {
            describePixelEvent(story->events[k], false, line, sizeof line);
            std::fprintf(out, "%s\n", line);
        }
        if (story != nullptr && story->uncounted > 0) {
            std::fprintf(out, "and %ld more\n", story->uncounted);
        }
        describeFinalPixel(pixel.first, pixel.second, line, sizeof line);
        std::fprintf(out, "%s\n", line);
    }
}

// The caller's folder and the program's, held open: the paths on the command line are the
// caller's, while the program runs in its assets folder. Names would not do: a working folder's
// path may be longer than any the system hands back.
struct Folders {
    HeldFolder caller;
    HeldFolder program;
};

// Holds both folders; false after saying why not.
bool holdFolders(const Options& options, Folders* folders) {
    if (!holdFolder(".", &folders->caller)) {
        std::fprintf(stderr, "quillon-capture: cannot hold the working folder: %s\n",
                     std::strerror(errno));
        return false;
    }
    const char* assets = options.assets.empty() ? "." : options.assets.c_str();
    if (!holdFolder(assets, &folders->program)) {
        std::fprintf(stderr, "quillon-capture: cannot enter '%s': %s\n", assets,
                     std::strerror(errno));
        return false;
    }
    return true;
}

void releaseFolders(Folders* folders) {
    releaseHeldFolder(&folders->caller);
    releaseHeldFolder(&folders->program);
}

// Moves into `folder`, which `name` names for the user; false after saying why not.
bool enterFolder(const HeldFolder& folder, const char* name) {
    if (enterHeldFolder(folder)) {
        return true;
    }
    std::fprintf(stderr, "quillon-capture: cannot enter %s: %s\n", name, std::strerror(errno));
    return false;
}

// One frame of the series, written from the caller's folder.
bool writeSeriesFrame(const Options& options, const Folders& folders, int frame) {
    NBitmap series;
    series.clear();
    bool written = enterFolder(folders.caller, "the working folder") &&
                   captureAndWrite(&series, seriesFramePath(options, frame));
    series.destroy();
    return enterFolder(folders.program, "the assets folder") && written;
}

// Renders the frames in the program's folder, writing the series as it goes; the last frame is
// left in `lastFrame` and written to the output, back in the caller's folder.
int renderFrames(const Options& options, const Folders& folders, NBitmap* lastFrame) {
    if (!enterFolder(folders.program, "the assets folder")) {
        return 2;
    }
    resetProgramState();
    inspecting = options.inspect;
    // The simulated mouse rests where the client area's centre will be once the window has
    // moved to the screen's corner, so the view turns only when the script moves it.
    SetCursorPos(254, 292);
    if (!startApplication(NULL, SW_SHOWDEFAULT) || !askPixelStories(options)) {
        return 2;
    }
    // The program draws on without its texture, as it should; the tool says so.
    if (textureBitmap.bits == nullptr) {
        std::fprintf(stderr,
                     "quillon-capture: the texture is not read, so the frames lack it: %s\n",
                     textureProblem(".", options.assets.empty() ? "." : options.assets).c_str());
    }
    RandomUser random(options.randomSeed);
    const int settledFrame = std::min(1000, options.frames / 10);
    std::size_t settledHeap = 0;
    for (int frame = 0; frame < options.frames; ++frame) {
        for (const shim::ScriptedEvent& event : options.script) {
            if (event.frame == frame) {
                shim::postScriptedEvent(mainWindow, event);
            }
        }
        shim::ScriptedEvent event;
        if (options.random && random.next(frame, &event)) {
            shim::postScriptedEvent(mainWindow, event);
        }
        if (frame == settledFrame) {
            settledHeap = heapInUse();
        }
        int exitCode;
        if (!dispatchMessages(&exitCode)) {
            break;
        }
        renderFrame();
        if (options.every > 0 && frame % options.every == 0 &&
            !writeSeriesFrame(options, folders, frame)) {
            return 2;
        }
        shimtest::advanceTickCount(options.msPerFrame);
    }
    // Read before the last frame is copied out, which the caller keeps for the comparison.
    const std::size_t finalHeap = heapInUse();
    if (!enterFolder(folders.caller, "the working folder") ||
        !captureAndWrite(lastFrame, options.out)) {
        return 2;
    }
    tellPixelStories(options, reportStream(options));
    if (options.checkMemory) {
        std::fprintf(reportStream(options),
                     "quillon-capture: heap in use %zu bytes at frame %d, %zu at the end\n",
                     settledHeap, settledFrame, finalHeap);
        if (finalHeap > settledHeap) {
            std::fprintf(reportStream(options), "quillon-capture: the heap grew by %zu bytes\n",
                         finalHeap - settledHeap);
            return 1;
        }
    }
    return 0;
}

// Renders, writes and compares; the reference is read whole before anything is written, so
// that it may come from a pipe, and no output can change it under the comparison.
int run(const Options& options, const Folders& folders) {
    NBitmap reference, lastFrame;
    reference.clear();
    lastFrame.clear();
    int status = options.reference.empty() || readReference(options.reference, &reference) ? 0 : 2;
    const std::string differencePath = differencePathFor(options);
    if (status == 0 && !options.everyDir.empty()) {
        mkdir(options.everyDir.c_str(), 0777);
    }
    if (status == 0) {
        shimtest::useHeadlessBackend();
        status = renderFrames(options, folders, &lastFrame);
    }
    if (status == 0 && !options.reference.empty()) {
        // The frame itself, not the file: the output may be a pipe or a device.
        status = compareWithReference(lastFrame, reference, options.reference, differencePath,
                                      reportStream(options));
    }
    reference.destroy();
    lastFrame.destroy();
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    int parsed = parseOptions(argc, argv, &options);
    if (parsed != 0) {
        return parsed == 1 ? 0 : 2;
    }
    std::string refusal = checkOptions(options);
    if (!refusal.empty()) {
        std::fprintf(stderr, "quillon-capture: %s\n", refusal.c_str());
        return 2;
    }
    Folders folders;
    int status = holdFolders(options, &folders) ? run(options, folders) : 2;
    releaseFolders(&folders);
    return status;
}
