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
#include "tools/image_arguments.h"
#include "tools/picture_output.h"
#include "tools/tool_files.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const usageHead[] = {
    "usage: quillon-image OPERATION [ARGUMENTS] INPUT OUTPUT",
    "",
    "  reads   BMP (every header, 1 to 32 bits, run-length), PNG and JPEG",
    "  writes  BMP or PNG, by the output's extension (.bmp, .png; BMP when it has none)",
    "",
};
const char* const usageTail[] = {
    "",
    "An input or output named - is standard input or output (written as BMP).",
};

// An error message, empty while all is well.
using Failure = std::string;

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

// The pictures an operation refuses: those of `refusedPixelSize` bytes a pixel (0: none).
struct PixelRule {
    int refusedPixelSize;
    const char* refusal;
};

const PixelRule anyPixels = {0, ""};
const PixelRule colourPixels = {1, "needs an image of 16, 24 or 32 bits a pixel; this one has 8"};
const PixelRule convolvablePixels = {2,
                                     "needs an image of 8, 24 or 32 bits a pixel; this one has 16"};
// The input, that is: the picture laid over it may be any.
const PixelRule blendablePixels = {
    1, "cannot blend onto an 8-bit image; the input needs 16, 24 or 32 bits a pixel"};

// Where an operation leaves its result: in the image itself or in the separate bitmap.
enum class Result { inPlace, separate };

// An operation's work, once its arguments are read and the image has passed its pixel rule.
// The separate bitmap is empty; an operation that leaves its result in place may use it for a
// picture of its own.
using Work = Failure (*)(const ArgumentValues& values, NBitmap& image, NBitmap& separate);

struct Operation {
    const char* name;
    const char* synopsis;  // its arguments, as --help shows them
    const char* summary;   // what it does, for --help
    std::vector<Argument> arguments;
    PixelRule pixels;
    Result result;
    Work work;
    const char* expects = nullptr;  // what a wrong call is told, where the synopsis will not do
};

Failure resampleImage(const ArgumentValues& values, NBitmap& image, NBitmap& separate) {
    const int w = values.numbers[0], h = values.numbers[1];
    int done = separate.resample(0, 0, w, h, image, flagGiven(values, "--smooth"));
    if (done == -1) {
        return "--smooth needs an image of 16, 24 or 32 bits a pixel; this one has 8";
    }
    if (done != 1) {
        return "cannot make an image of " + std::to_string(w) + " x " + std::to_string(h) +
               " pixels (at most 1 GiB of pixels)";
    }
    return "";
}

Failure flipImage(const ArgumentValues& values, NBitmap& image, NBitmap&) {
    if (image.flip(image, flagGiven(values, "--vertical"), flagGiven(values, "--horizontal")) !=
        1) {
        return "a vertical flip needs an image of 3 rows or more";
    }
    return "";
}

Failure convolveImage(const ArgumentValues& values, NBitmap& image, NBitmap& separate) {
    const ConvolutionKernel& kernel = values.kernel;
    if (separate.convolve(image, kernel.weights.data(), kernel.width, kernel.height) != 1) {
        return "cannot make the filtered image";
    }
    return "";
}

Failure blendOver(const ArgumentValues& values, NBitmap& image, NBitmap& over) {
    Failure f = loadInputPicture(values.words[0], &over);
    if (f.empty()) {
        image.blend(over, values.numbers[1], values.numbers[2], values.numbers[3]);
    }
    return f;
}

// The work of an operation of the image on itself with one number, which cannot fail.
template <void (NBitmap::*operate)(NBitmap& source, int number)>
Failure withNumber(const ArgumentValues& values, NBitmap& image, NBitmap&) {
    (image.*operate)(image, values.numbers[0]);
    return "";
}

const Operation operations[] = {
    {"resample", "W H [--smooth]", "scale to W x H pixels (nearest; bilinear with --smooth)",
     takes(numberArgument("the width", 1), numberArgument("the height", 1),
           flagArgument("--smooth")),
     anyPixels, Result::separate, resampleImage},
    {"flip", "--vertical --horizontal", "mirror top to bottom, left to right, or both",
     takes(flagArgument("--vertical"), flagArgument("--horizontal")), anyPixels, Result::inPlace,
     flipImage, "--vertical, --horizontal or both"},
    {"rotate", "DEG", "turn clockwise about the centre; corners come out black",
     takes(numberArgument("the angle")), anyPixels, Result::separate,
     [](const ArgumentValues& values, NBitmap& image, NBitmap& separate) -> Failure {
         return separate.rotate(image, values.numbers[0]) == 1 ? ""
                                                               : "cannot make the rotated image";
     }},
    {"invert", "", "complement every colour", takes(), anyPixels, Result::inPlace,
     [](const ArgumentValues&, NBitmap& image, NBitmap&) -> Failure {
         return image.invert(image) == 1 ? "" : "the image cannot be inverted";
     }},
    {"brighten", "N", "add N (below 0 darkens) to every colour byte, saturating",
     takes(numberArgument("the amount")), anyPixels, Result::inPlace,
     [](const ArgumentValues& values, NBitmap& image, NBitmap&) -> Failure {
         return image.brighten(image, values.numbers[0]) == 1 ? ""
                                                              : "the image cannot be brightened";
     }},
    {"grey", "", "replace every colour by its grey", takes(), anyPixels, Result::inPlace,
     [](const ArgumentValues&, NBitmap& image, NBitmap&) -> Failure {
         image.toGrey(image);
         return "";
     }},
    {"dither-ordered", "N", "colour bytes to 0 or 255 by an N x N matrix (2, 4, 16)",
     takes(choiceArgument("the matrix size", {2, 4, 16})), colourPixels, Result::inPlace,
     withNumber<&NBitmap::orderedDither>},
    {"dither-pattern", "BITS", "add an ordered pattern of BITS bits (1 to 8) to each byte",
     takes(numberArgument("the number of bits", 1, 8)), colourPixels, Result::inPlace,
     withNumber<&NBitmap::addDitherPattern>},
    {"dither-diffuse", "SHIFT", "bytes to multiples of 2^SHIFT (0 to 8), spreading errors",
     takes(numberArgument("the shift", 0, 8)), colourPixels, Result::inPlace,
     withNumber<&NBitmap::diffuseError>},
    {"convolve", "KERNEL", "box3, gauss3, sharpen, edge or WxH:w1,w2,...; 32-bit out",
     takes(kernelArgument()), convolvablePixels, Result::separate, convolveImage},
    {"blend", "OVER X Y OPACITY", "lay the picture OVER on at (X, Y) with opacity 0 to 255",
     takes(pictureArgument("OVER"), numberArgument("X"), numberArgument("Y"),
           numberArgument("the opacity", 0, 255)),
     blendablePixels, Result::inPlace, blendOver},
};

const Operation* findOperation(const std::string& name) {
    for (const Operation& operation : operations) {
        if (name == operation.name) {
            return &operation;
        }
    }
    return nullptr;
}

std::string expectedArguments(const Operation& operation) {
    if (operation.expects != nullptr) {
        return operation.expects;
    }
    return *operation.synopsis == '\0' ? "no arguments" : operation.synopsis;
}

struct Job {
    const Operation* operation;
    ArgumentValues arguments;
    std::string input;
    std::string output;
};

// Runs the operation on the input and writes the output; the arguments are read already.
Failure runJob(const Job& job) {
    NBitmap image = {}, separate = {};
    bool hasAlpha = false;
    const Operation& operation = *job.operation;
    Failure f = loadInputPicture(job.input, &image, &hasAlpha);
    const int refused = operation.pixels.refusedPixelSize;
    if (f.empty() && refused != 0 && image.pixelSize() == refused) {
        f = std::string(operation.name) + ": " + operation.pixels.refusal;
    }
    if (f.empty()) {
        f = operation.work(job.arguments, image, separate);
        if (!f.empty()) {
            f = operation.name + (": " + f);
        }
    }
    if (f.empty()) {
        const NBitmap& result = operation.result == Result::inPlace ? image : separate;
        // A PNG keeps the alpha of a picture that had it.
        f = writePictureOutput(result, hasAlpha && result.bytesPerPixel == 4, job.output);
    }
    image.destroy();
    separate.destroy();
    return f;
}

// Everything about the call that can be checked before a picture is read.
Failure readJob(int argc, char** argv, Job* job) {
    job->operation = findOperation(argv[1]);
    if (job->operation == nullptr) {
        return std::string("unknown operation '") + argv[1] + "' (quillon-image --help lists them)";
    }
    job->input = argv[argc - 2];
    job->output = argv[argc - 1];
    Failure f = checkPictureOutputName(job->output);
    if (!f.empty()) {
        return f;
    }
    const Operation& operation = *job->operation;
    f = readArguments(operation.arguments, std::vector<std::string>(argv + 2, argv + argc - 2),
                      expectedArguments(operation), &job->arguments);
    return f.empty() ? "" : operation.name + (": " + f);
}

void printUsage(std::FILE* out) {
    for (const char* line : usageHead) {
        std::fprintf(out, "%s\n", line);
    }
    for (const Operation& operation : operations) {
        std::string call = operation.name;
        if (*operation.synopsis != '\0') {
            call += std::string(" ") + operation.synopsis;
        }
        std::fprintf(out, "  %-29s %s\n", call.c_str(), operation.summary);
    }
    for (const char* line : usageTail) {
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
    Failure f = readJob(argc, argv, &job);
    if (f.empty()) {
        f = runJob(job);
    }
    if (!f.empty()) {
        std::fprintf(stderr, "quillon-image: %s\n", f.c_str());
        return 2;
    }
    return 0;
}
