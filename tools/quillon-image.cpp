// quillon-image: one image operation of NBitmap on a picture file.
//
//   quillon-image OPERATION [ARGUMENTS] INPUT OUTPUT
//
// The input may be a BMP of any kind, a PNG or a JPEG; the output is a BMP or a PNG, as its
// name ends.
//
// Whatever goes wrong (an argument, the input, the operation, the output) is said in one line
// on stderr, the exit status is 2, and nothing is written: the output is written as
// tools/tool_files.h says, complete or not at all.
#include "bitmap/nbitmap.h"
#include "bitmap/picture_file.h"
#include "tools/picture_output.h"
#include "tools/tool_files.h"

#include <cerrno>
#include <cstdint>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const usageLines[] = {
    "usage: quillon-image OPERATION [ARGUMENTS] INPUT OUTPUT",
    "",
    "  reads   BMP (every header, 1 to 32 bits, run-length), PNG and JPEG",
    "  writes  BMP or PNG, by the output's extension (.bmp, .png; BMP when it has none)",
    "",
    "  resample W H [--smooth]       scale to W x H pixels (nearest; bilinear with --smooth)",
    "  flip --vertical --horizontal  mirror top to bottom, left to right, or both",
    "  rotate DEG                    turn clockwise about the centre; corners come out black",
    "  invert                        complement every colour",
    "  brighten N                    add N (below 0 darkens) to every colour byte, saturating",
    "  grey                          replace every colour by its grey",
    "  dither-ordered N              colour bytes to 0 or 255 by an N x N matrix (2, 4, 16)",
    "  dither-pattern BITS           add an ordered pattern of BITS bits (1 to 8) to each byte",
    "  dither-diffuse SHIFT          bytes to multiples of 2^SHIFT (0 to 8), spreading errors",
    "  convolve KERNEL               box3, gauss3, sharpen, edge or WxH:w1,w2,...; 32-bit out",
    "  blend OVER X Y OPACITY        lay the picture OVER on at (X, Y) with opacity 0 to 255",
    "",
    "An input or output named - is standard input or output (written as BMP).",
};

struct Job {
    std::string operation;
    std::vector<std::string> arguments;
    std::string input;
    std::string output;
};

// An error message, empty while all is well.
using Failure = std::string;

enum class Parsed { number, notANumber, outOfRange };

Parsed parseNumber(const std::string& text, int* value) {
    if (text.empty()) {
        return Parsed::notANumber;
    }
    errno = 0;
    char* end = nullptr;
    long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0') {
        return Parsed::notANumber;
    }
    if (errno == ERANGE || parsed < -2147483647LL - 1 || parsed > 2147483647LL) {
        return Parsed::outOfRange;
    }
    *value = (int)parsed;
    return Parsed::number;
}

bool parseInt(const std::string& text, int* value) {
    return parseNumber(text, value) == Parsed::number;
}

Failure intArgument(const Job& job, size_t index, const char* name, int low, int high, int* value) {
    const std::string& text = job.arguments[index];
    Parsed parsed = parseNumber(text, value);
    if (parsed == Parsed::outOfRange) {
        return name + std::string(" ") + text + " is out of range (" + std::to_string(low) +
               " to " + std::to_string(high) + ")";
    }
    if (parsed == Parsed::notANumber) {
        return name + std::string(" must be a whole number, not '") + text + "'";
    }
    if (*value < low || *value > high) {
        return name + std::string(" must be from ") + std::to_string(low) + " to " +
               std::to_string(high) + ", not " + text;
    }
    return "";
}

Failure expectArguments(const Job& job, size_t count, const char* synopsis) {
    if (job.arguments.size() != count) {
        return std::string("expects ") + synopsis;
    }
    return "";
}

struct KernelChoice {
    std::vector<float> weights;
    int width = 0;
    int height = 0;
};

// Any finite weight, tiny ones too (strtof calls those a range error); an overflow is not.
Failure parseWeights(const char* p, KernelChoice* kernel) {
    while (true) {
        char* end = nullptr;
        float w = std::strtof(p, &end);
        if (end == p || !std::isfinite(w) || (*end != ',' && *end != '\0')) {
            return std::string("the kernel weight '") + std::string(p, std::strcspn(p, ",")) +
                   "' is not a finite number";
        }
        kernel->weights.push_back(w);
        if (*end == '\0') {
            return "";
        }
        p = end + 1;
    }
}

// The weights' count, and sums that stay finite: every partial sum of a pixel is at most 255
// times the weights' magnitudes; past the largest float it would turn into infinity and the
// result into nonsense.
Failure checkKernel(const KernelChoice& kernel) {
    if ((long long)kernel.width * kernel.height != (long long)kernel.weights.size()) {
        return "a " + std::to_string(kernel.width) + "x" + std::to_string(kernel.height) +
               " kernel needs " + std::to_string((long long)kernel.width * kernel.height) +
               " weights, not " + std::to_string(kernel.weights.size());
    }
    double magnitude = 0.0;
    for (float w : kernel.weights) {
        magnitude += std::fabs((double)w);
    }
    if (255.0 * magnitude > FLT_MAX) {
        return "the kernel's weights are too large: a weighted sum could exceed the largest float";
    }
    return "";
}

Failure parseKernel(const std::string& text, KernelChoice* kernel) {
    struct Named {
        const char* name;
        float weights[9];
    };
    static const Named named[] = {
        {"box3", {1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {"gauss3", {1, 2, 1, 2, 4, 2, 1, 2, 1}},
        {"sharpen", {0, -1, 0, -1, 5, -1, 0, -1, 0}},
        {"edge", {-1, -1, -1, -1, 8, -1, -1, -1, -1}},
    };
    for (const Named& n : named) {
        if (text == n.name) {
            kernel->weights.assign(n.weights, n.weights + 9);
            kernel->width = kernel->height = 3;
            return "";
        }
    }
    const char* bad = "the kernel must be box3, gauss3, sharpen, edge or WxH:w1,w2,...";
    size_t colon = text.find(':'), cross = text.find('x');
    if (colon == std::string::npos || cross == std::string::npos || cross > colon ||
        !parseInt(text.substr(0, cross), &kernel->width) ||
        !parseInt(text.substr(cross + 1, colon - cross - 1), &kernel->height)) {
        return bad;
    }
    if (kernel->width < 1 || kernel->height < 1) {
        return "the kernel's width and height must be 1 or more";
    }
    Failure f = parseWeights(text.c_str() + colon + 1, kernel);
    return f.empty() ? checkKernel(*kernel) : f;
}

std::string pictureName(const std::string& path) {
    return path == "-" ? "standard input" : "'" + path + "'";
}

void warnIfCutShort(const std::string& path, const PictureImport& imported, int bitCount) {
    if (imported.rowsHeld < imported.rowsDeclared) {
        std::fprintf(stderr, "quillon-image: warning: %s holds %d of %d rows; the rest are %s\n",
                     pictureName(path).c_str(), imported.rowsHeld, imported.rowsDeclared,
                     bitCount == 8 ? "colour 0" : "black");
    }
}

// Load the input picture: the whole file, a pipe or standard input, read into memory first.
// `hasAlpha` tells that byte 3 of the picture is its opacity.
Failure loadInputPicture(const std::string& path, NBitmap* image, bool* hasAlpha = nullptr) {
    std::vector<unsigned char> bytes;
    Failure f = readInputFile(path, &bytes);
    if (!f.empty()) {
        return f;
    }
    PictureImport imported = importPicture(image, bytes.data(), bytes.size());
    if (!imported.read()) {
        return pictureName(path) + ": " + imported.failure;
    }
    warnIfCutShort(path, imported, image->header.biBitCount);
    for (const std::string& warning : imported.warnings) {
        std::fprintf(stderr, "quillon-image: warning: %s %s\n", pictureName(path).c_str(),
                     warning.c_str());
    }
    if (hasAlpha != nullptr) {
        *hasAlpha = imported.hasAlpha;
    }
    return "";
}

Failure needsColourPixels(const NBitmap& image) {
    if (image.pixelSize() == 1) {
        return "needs an image of 16, 24 or 32 bits a pixel; this one has 8";
    }
    return "";
}

// Each operation reads its arguments, checks that it can work on the image, and leaves its
// result in `result`: either the image itself (in place) or `separate`.
Failure resampleImage(const Job& job, NBitmap& image, NBitmap& separate, NBitmap** result) {
    bool smooth = false;
    std::vector<std::string> numbers;
    for (const std::string& a : job.arguments) {
        if (a == "--smooth") {
            smooth = true;
        } else {
            numbers.push_back(a);
        }
    }
    Job sized = job;
    sized.arguments = numbers;
    int w = 0, h = 0;
    Failure f = expectArguments(sized, 2, "W H [--smooth]");
    if (f.empty()) {
        f = intArgument(sized, 0, "the width", 1, 2147483647, &w);
    }
    if (f.empty()) {
        f = intArgument(sized, 1, "the height", 1, 2147483647, &h);
    }
    if (!f.empty()) {
        return f;
    }
    int done = separate.resample(0, 0, w, h, image, smooth);
    if (done == -1) {
        return "--smooth needs an image of 16, 24 or 32 bits a pixel; this one has 8";
    }
    if (done != 1) {
        return "cannot make an image of " + std::to_string(w) + " x " + std::to_string(h) +
               " pixels (at most 1 GiB of pixels)";
    }
    *result = &separate;
    return "";
}

Failure flipImage(const Job& job, NBitmap& image, NBitmap&, NBitmap** result) {
    bool vertical = false, horizontal = false;
    for (const std::string& a : job.arguments) {
        if (a == "--vertical") {
            vertical = true;
        } else if (a == "--horizontal") {
            horizontal = true;
        } else {
            return "expects --vertical, --horizontal or both, not '" + a + "'";
        }
    }
    if (!vertical && !horizontal) {
        return "expects --vertical, --horizontal or both";
    }
    if (image.flip(image, vertical, horizontal) != 1) {
        return "a vertical flip needs an image of 3 rows or more";
    }
    *result = &image;
    return "";
}

Failure rotateImage(const Job& job, NBitmap& image, NBitmap& separate, NBitmap** result) {
    int degrees = 0;
    Failure f = expectArguments(job, 1, "DEG");
    if (f.empty()) {
        f = intArgument(job, 0, "the angle", -2147483647 - 1, 2147483647, &degrees);
    }
    if (!f.empty()) {
        return f;
    }
    if (separate.rotate(image, degrees) != 1) {
        return "cannot make the rotated image";
    }
    *result = &separate;
    return "";
}

Failure invertImage(const Job& job, NBitmap& image, NBitmap&, NBitmap** result) {
    Failure f = expectArguments(job, 0, "no arguments");
    if (f.empty() && image.invert(image) != 1) {
        f = "the image cannot be inverted";
    }
    *result = &image;
    return f;
}

Failure brightenImage(const Job& job, NBitmap& image, NBitmap&, NBitmap** result) {
    int amount = 0;
    Failure f = expectArguments(job, 1, "N");
    if (f.empty()) {
        f = intArgument(job, 0, "the amount", -2147483647 - 1, 2147483647, &amount);
    }
    if (f.empty() && image.brighten(image, amount) != 1) {
        f = "the image cannot be brightened";
    }
    *result = &image;
    return f;
}

Failure greyImage(const Job& job, NBitmap& image, NBitmap&, NBitmap** result) {
    Failure f = expectArguments(job, 0, "no arguments");
    if (f.empty()) {
        image.toGrey(image);
    }
    *result = &image;
    return f;
}

Failure ditherOrdered(const Job& job, NBitmap& image, NBitmap&, NBitmap** result) {
    int size = 0;
    Failure f = expectArguments(job, 1, "N");
    if (f.empty() &&
        (!parseInt(job.arguments[0], &size) || (size != 2 && size != 4 && size != 16))) {
        f = "the matrix size must be 2, 4 or 16, not '" + job.arguments[0] + "'";
    }
    if (f.empty()) {
        f = needsColourPixels(image);
    }
    if (f.empty()) {
        image.orderedDither(image, size);
    }
    *result = &image;
    return f;
}

Failure ditherPattern(const Job& job, NBitmap& image, NBitmap&, NBitmap** result) {
    int bits = 0;
    Failure f = expectArguments(job, 1, "BITS");
    if (f.empty()) {
        f = intArgument(job, 0, "the number of bits", 1, 8, &bits);
    }
    if (f.empty()) {
        f = needsColourPixels(image);
    }
    if (f.empty()) {
        image.addDitherPattern(image, bits);
    }
    *result = &image;
    return f;
}

Failure ditherDiffuse(const Job& job, NBitmap& image, NBitmap&, NBitmap** result) {
    int shift = 0;
    Failure f = expectArguments(job, 1, "SHIFT");
    if (f.empty()) {
        f = intArgument(job, 0, "the shift", 0, 8, &shift);
    }
    if (f.empty()) {
        f = needsColourPixels(image);
    }
    if (f.empty()) {
        image.diffuseError(image, shift);
    }
    *result = &image;
    return f;
}

Failure convolveImage(const Job& job, NBitmap& image, NBitmap& separate, NBitmap** result) {
    KernelChoice kernel;
    Failure f = expectArguments(job, 1, "KERNEL");
    if (f.empty()) {
        f = parseKernel(job.arguments[0], &kernel);
    }
    if (!f.empty()) {
        return f;
    }
    if (image.pixelSize() == 2) {
        return "needs an image of 8, 24 or 32 bits a pixel; this one has 16";
    }
    if (separate.convolve(image, kernel.weights.data(), kernel.width, kernel.height) != 1) {
        return "cannot make the filtered image";
    }
    *result = &separate;
    return "";
}

Failure blendImage(const Job& job, NBitmap& image, NBitmap& over, NBitmap** result) {
    int x = 0, y = 0, opacity = 0;
    Failure f = expectArguments(job, 4, "OVER X Y OPACITY");
    if (f.empty()) {
        f = intArgument(job, 1, "X", -2147483647 - 1, 2147483647, &x);
    }
    if (f.empty()) {
        f = intArgument(job, 2, "Y", -2147483647 - 1, 2147483647, &y);
    }
    if (f.empty()) {
        f = intArgument(job, 3, "the opacity", 0, 255, &opacity);
    }
    if (f.empty() && image.pixelSize() == 1) {
        f = "cannot blend onto an 8-bit image; the input needs 16, 24 or 32 bits a pixel";
    }
    if (f.empty()) {
        f = loadInputPicture(job.arguments[0], &over);
    }
    if (f.empty()) {
        image.blend(over, x, y, opacity);
    }
    *result = &image;
    return f;
}

struct Operation {
    const char* name;
    Failure (*run)(const Job& job, NBitmap& image, NBitmap& separate, NBitmap** result);
};

const Operation operations[] = {
    {"resample", resampleImage},
    {"flip", flipImage},
    {"rotate", rotateImage},
    {"invert", invertImage},
    {"brighten", brightenImage},
    {"grey", greyImage},
    {"dither-ordered", ditherOrdered},
    {"dither-pattern", ditherPattern},
    {"dither-diffuse", ditherDiffuse},
    {"convolve", convolveImage},
    {"blend", blendImage},
};

Failure runJob(const Job& job) {
    const Operation* operation = nullptr;
    for (const Operation& o : operations) {
        if (job.operation == o.name) {
            operation = &o;
        }
    }
    if (operation == nullptr) {
        return "unknown operation '" + job.operation + "' (quillon-image --help lists them)";
    }
    Failure f = checkPictureOutputName(job.output);
    if (!f.empty()) {
        return f;
    }
    NBitmap image = {}, separate = {};
    NBitmap* result = nullptr;
    bool hasAlpha = false;
    f = loadInputPicture(job.input, &image, &hasAlpha);
    if (f.empty()) {
        f = operation->run(job, image, separate, &result);
        if (!f.empty()) {
            f = job.operation + ": " + f;
        }
    }
    if (f.empty()) {
        // A PNG keeps the alpha of a picture that had it.
        f = writePictureOutput(*result, hasAlpha && result->bytesPerPixel == 4, job.output);
    }
    image.destroy();
    separate.destroy();
    return f;
}

void printUsage(std::FILE* out) {
    for (const char* line : usageLines) {
        std::fprintf(out, "%s\n", line);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        printUsage(stdout);
        return 0;
    }
    if (argc < 4) {
        std::fprintf(stderr, "quillon-image: expects OPERATION [ARGUMENTS] INPUT OUTPUT\n");
        printUsage(stderr);
        return 2;
    }
    Job job;
    job.operation = argv[1];
    job.arguments.assign(argv + 2, argv + argc - 2);
    job.input = argv[argc - 2];
    job.output = argv[argc - 1];
    Failure f = runJob(job);
    if (!f.empty()) {
        std::fprintf(stderr, "quillon-image: %s\n", f.c_str());
        return 2;
    }
    return 0;
}
