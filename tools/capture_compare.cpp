#include "tools/capture_compare.h"

#include "bitmap/picture_file.h"
#include "tools/frame_difference.h"
#include "tools/picture_output.h"
#include "tools/tool_files.h"
#include "tools/tool_paths.h"

#include <vector>

namespace {

std::string referenceName(const std::string& path) {
    return path == "-" ? "standard input" : path;
}

struct Differences {
    long count = 0;
    int firstX = -1;
    int firstY = -1;
};

Differences markDifferences(const NBitmap& actual, const NBitmap& reference, NBitmap* difference) {
    Differences found;
    for (int y = 0; y < actual.height(); ++y) {
        const unsigned char* a = actual.rowPointer(y);
        const unsigned char* r = reference.rowPointer(y);
        unsigned char* d = difference->rowPointer(y);
        for (int x = 0; x < actual.width(); ++x, a += 3, r += 3, d += 3) {
            bool same = a[0] == r[0] && a[1] == r[1] && a[2] == r[2];
            if (!same && found.count++ == 0) {
                found.firstX = x;
                found.firstY = y;
            }
            d[0] = same ? a[0] / 4 : 0;
            d[1] = same ? a[1] / 4 : 0;
            d[2] = same ? a[2] / 4 : 255;
        }
    }
    return found;
}

int reportDifferences(const Differences& found, const NBitmap& difference,
                      const std::string& referencePath, const std::string& differencePath,
                      std::FILE* report) {
    if (found.count == 0) {
        std::fprintf(report, "quillon-capture: identical to %s\n",
                     referenceName(referencePath).c_str());
        return 0;
    }
    std::fprintf(report, "quillon-capture: %ld pixel(s) differ from %s; the first at (%d, %d)",
                 found.count, referenceName(referencePath).c_str(), found.firstX, found.firstY);
    if (differencePath.empty()) {
        std::fprintf(report, "; --diff FILE writes a difference picture\n");
        return 1;
    }
    std::string failure = writePictureOutput(difference, false, differencePath);
    if (!failure.empty()) {
        std::fprintf(report, "\n");
        std::fprintf(stderr, "quillon-capture: %s\n", failure.c_str());
        return 2;
    }
    std::fprintf(report, "; difference picture: %s\n", differencePath.c_str());
    return 1;
}

}  // namespace

std::string differencePicturePath(const std::string& out) {
    std::string::size_type dot = out.rfind('.');
    std::string::size_type slash = lastSeparator(out);
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return out + ".diff.bmp";
    }
    return out.substr(0, dot) + ".diff.bmp";
}

bool readReference(const std::string& path, NBitmap* reference) {
    std::vector<unsigned char> bytes;
    std::string failure = readInputFile(path, &bytes);
    if (!failure.empty()) {
        std::fprintf(stderr, "quillon-capture: %s\n", failure.c_str());
        return false;
    }
    OwnedBitmap imported;
    PictureImport import = importPicture(&imported.picture, bytes.data(), bytes.size());
    std::string name = path == "-" ? "from standard input" : "'" + path + "'";
    if (!import.read()) {
        std::fprintf(stderr, "quillon-capture: cannot read the reference %s: %s\n", name.c_str(),
                     import.failure.c_str());
        return false;
    }
    if (!toTrueColour(imported.picture, reference)) {
        std::fprintf(stderr, "quillon-capture: no memory for the reference %s\n", name.c_str());
        return false;
    }
    return true;
}

int compareWithReference(const NBitmap& frame, const NBitmap& reference,
                         const std::string& referencePath, const std::string& differencePath,
                         std::FILE* report) {
    if (frame.width() != reference.width() || frame.height() != reference.height()) {
        std::fprintf(stderr, "quillon-capture: the frame is %d x %d, the reference %d x %d\n",
                     frame.width(), frame.height(), reference.width(), reference.height());
        return 1;
    }
    NBitmap difference;
    difference.clear();
    int status = 2;
    if (!difference.create(frame.width(), frame.height(), 3)) {
        std::fprintf(stderr, "quillon-capture: out of memory\n");
    } else {
        Differences found = markDifferences(frame, reference, &difference);
        status = reportDifferences(found, difference, referencePath, differencePath, report);
    }
    difference.destroy();
    return status;
}
