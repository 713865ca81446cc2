// The reader against a public BMP suite kept beside the repository (it is not ours to copy):
// every file of its manifest must get the manifest's answer, and what is read must decode to
// the expected colours or hold the file's own pixel bytes.
#include "bitmap/nbitmap.h"
#include "platform/win32/win32.h"
#include "tests/suite_files.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string& suiteDir = suite::folder;
using suite::Bytes;
using suite::Picture;
using suite::readFile;
using suite::readPpm;

void expectColours(NBitmap* bitmap, const Picture& expected) {
    ASSERT_EQ(bitmap->width(), expected.width);
    ASSERT_EQ(bitmap->height(), expected.height);
    RGBQUAD table[256];
    bitmap->getColorTable(0, 256, table);
    for (int r = 0; r < expected.height; ++r) {
        for (int c = 0; c < expected.width; ++c) {
            const unsigned char* pixel = bitmap->rowPointer(r) + c * bitmap->bytesPerPixel;
            RGBQUAD colour = {pixel[0], 0, 0, 0};
            if (bitmap->bytesPerPixel == 1) {
                colour = table[pixel[0]];
            } else {
                colour.rgbGreen = pixel[1];
                colour.rgbRed = pixel[2];
            }
            unsigned char rgb[3] = {colour.rgbRed, colour.rgbGreen, colour.rgbBlue};
            const unsigned char* want = &expected.rgb[3 * ((size_t)r * expected.width + c)];
            ASSERT_TRUE(rgb[0] == want[0] && rgb[1] == want[1] && rgb[2] == want[2])
                << "pixel " << c << ", " << r;
        }
    }
}

void expectRawRows(const NBitmap& bitmap, const Bytes& file) {
    ASSERT_GE(file.size(), 54u);
    size_t offBits = file[10] | file[11] << 8 | file[12] << 16 | (size_t)file[13] << 24;
    bool topDown = (file[25] & 0x80) != 0;
    for (int r = 0; r < bitmap.height(); ++r) {
        int stored = topDown ? r : bitmap.height() - 1 - r;
        size_t at = offBits + (size_t)stored * bitmap.rowBytes;
        for (int k = 0; k < bitmap.rowBytes; ++k) {
            int expected = at + k < file.size() ? file[at + k] : 0;
            ASSERT_EQ(bitmap.rowPointer(r)[k], expected) << "row " << r << " byte " << k;
        }
    }
}

TEST(BmpSuite, EveryFileGetsTheManifestsAnswer) {
    Bytes manifest;
    if (!readFile(suiteDir + "MANIFEST.tsv", &manifest)) {
        GTEST_SKIP() << "the BMP suite is not here (" << suiteDir << "MANIFEST.tsv missing)";
    }
    std::istringstream lines(std::string(manifest.begin(), manifest.end()));
    std::string line;
    int files = 0;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        std::string name, outcome, check;
        std::getline(fields, name, '\t');
        std::getline(fields, outcome, '\t');
        std::getline(fields, check, '\t');
        SCOPED_TRACE(name);
        ++files;

        // Each file is read over an image, which a refusal must leave in place.
        NBitmap bitmap{};
        ASSERT_TRUE(bitmap.create(2, 2, 3));
        bool read = bitmap.readBmp((suiteDir + name).c_str());
        if (outcome == "reads") {
            EXPECT_TRUE(read);
        } else if (outcome == "refuses") {
            EXPECT_FALSE(read);
        } else {
            EXPECT_EQ(outcome, "either");
        }
        if (!read) {
            EXPECT_TRUE(bitmap.isValid());
            EXPECT_EQ(bitmap.width(), 2);
        } else if (check.rfind("ppm:", 0) == 0) {
            Picture expected;
            ASSERT_TRUE(readPpm(suiteDir + "expected/" + check.substr(4) + ".ppm", &expected));
            expectColours(&bitmap, expected);
        } else if (check == "raw") {
            Bytes file;
            ASSERT_TRUE(readFile(suiteDir + name, &file));
            expectRawRows(bitmap, file);
        }
        bitmap.destroy();
    }
    EXPECT_GT(files, 0);
}

}  // namespace
