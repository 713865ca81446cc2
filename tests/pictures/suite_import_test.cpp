// The importer against the public BMP suite kept beside the repository: every valid file is
// read, to the expected colours where the suite has them; every invalid file the class refuses
// is refused with a reason, and a refusal leaves the bitmap as it was.
#include "bitmap/picture_file.h"
#include "tests/suite_files.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <dirent.h>
#include <map>
#include <string>
#include <vector>

namespace {

const std::string& suiteDir = suite::folder;
using suite::Bytes;
using suite::readFile;
using Ppm = suite::Picture;
using suite::readPpm;

std::vector<std::string> bmpFilesIn(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir((suiteDir + folder).c_str());
    if (dir == nullptr) {
        return names;
    }
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".bmp") == 0) {
            names.push_back(name);
        }
    }
    closedir(dir);
    return names;
}

// The colours of the suite's files that have an expected picture; the 8-bit files that the
// class refuses show the same picture as pal8.bmp.
const std::map<std::string, std::string> expectedPictures = {
    {"pal8-0.bmp", "pal8"},       {"pal8.bmp", "pal8"},
    {"pal8gs.bmp", "pal8gs"},     {"pal8os2.bmp", "pal8"},
    {"pal8rle.bmp", "pal8"},      {"pal8topdown.bmp", "pal8"},
    {"pal8v4.bmp", "pal8"},       {"pal8v5.bmp", "pal8"},
    {"pal8w124.bmp", "pal8w124"}, {"pal8w125.bmp", "pal8w125"},
    {"pal8w126.bmp", "pal8w126"}, {"pal8nonsquare.bmp", "pal8nonsquare"},
    {"rgb24.bmp", "rgb24"},       {"rgb24pal.bmp", "rgb24"},
    {"rgb32.bmp", "rgb24"},       {"rgb32bf.bmp", "rgb24"},
    {"rgb32bfdef.bmp", "rgb24"},
};

void expectColours(const NBitmap& bitmap, const Ppm& expected) {
    ASSERT_EQ(bitmap.width(), expected.width);
    ASSERT_EQ(bitmap.height(), expected.height);
    for (int r = 0; r < expected.height; ++r) {
        for (int c = 0; c < expected.width; ++c) {
            const unsigned char* pixel = bitmap.rowPointer(r) + c * bitmap.bytesPerPixel;
            unsigned char rgb[3];
            if (bitmap.bytesPerPixel == 1) {
                const RGBQUAD& entry = bitmap.colors[pixel[0]];
                rgb[0] = entry.rgbRed, rgb[1] = entry.rgbGreen, rgb[2] = entry.rgbBlue;
            } else {
                rgb[0] = pixel[2], rgb[1] = pixel[1], rgb[2] = pixel[0];
            }
            const unsigned char* want = &expected.rgb[3 * ((size_t)r * expected.width + c)];
            ASSERT_TRUE(rgb[0] == want[0] && rgb[1] == want[1] && rgb[2] == want[2])
                << "pixel " << c << ", " << r;
        }
    }
}

TEST(SuiteImport, EveryValidFileIsReadToItsExpectedColours) {
    std::vector<std::string> names = bmpFilesIn("g");
    if (names.empty()) {
        GTEST_SKIP() << "the BMP suite is not here (" << suiteDir << ")";
    }
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        NBitmap bitmap{};
        PictureImport import = importPictureFile(&bitmap, (suiteDir + "g/" + name).c_str());
        EXPECT_TRUE(import.read()) << import.failure;
        EXPECT_FALSE(import.hasAlpha);
        auto expected = expectedPictures.find(name);
        if (import.read() && expected != expectedPictures.end()) {
            Ppm ppm;
            ASSERT_TRUE(readPpm(suiteDir + "expected/" + expected->second + ".ppm", &ppm));
            expectColours(bitmap, ppm);
        }
        bitmap.destroy();
    }
}

// The two the class itself reads: indices past the colour count, and 8-8-0 masks.
bool classReads(const std::string& name) {
    return name == "pal8badindex.bmp" || name == "rgb16-880.bmp";
}

TEST(SuiteImport, EveryInvalidFileIsRefusedWithAReasonAndChangesNothing) {
    std::vector<std::string> names = bmpFilesIn("b");
    if (names.empty()) {
        GTEST_SKIP() << "the BMP suite is not here (" << suiteDir << ")";
    }
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        NBitmap bitmap{};
        ASSERT_TRUE(bitmap.create(2, 2, 3));
        unsigned char* before = bitmap.bits;
        PictureImport import = importPictureFile(&bitmap, (suiteDir + "b/" + name).c_str());
        if (classReads(name)) {
            EXPECT_TRUE(import.read()) << import.failure;
        } else {
            EXPECT_FALSE(import.read());
            EXPECT_GT(import.failure.size(), 10u);
            EXPECT_EQ(bitmap.bits, before);
            EXPECT_EQ(bitmap.width(), 2);
        }
        bitmap.destroy();
    }
}

// Whatever the questionable files hold, reading them from memory or from the file answers the
// same, and whatever is read has every row in place.
TEST(SuiteImport, QuestionableFilesAnswerTheSameFromMemoryAndFile) {
    for (const std::string& name : bmpFilesIn("q")) {
        SCOPED_TRACE(name);
        Bytes bytes;
        ASSERT_TRUE(readFile(suiteDir + "q/" + name, &bytes));
        NBitmap fromFile{}, fromMemory{};
        PictureImport a = importPictureFile(&fromFile, (suiteDir + "q/" + name).c_str());
        PictureImport b = importPicture(&fromMemory, bytes.data(), bytes.size());
        EXPECT_EQ(a.failure, b.failure);
        EXPECT_EQ(a.hasAlpha, b.hasAlpha);
        EXPECT_EQ(fromFile.width(), fromMemory.width());
        EXPECT_EQ(fromFile.height(), fromMemory.height());
        EXPECT_EQ(fromFile.bytesPerPixel, fromMemory.bytesPerPixel);
        for (int r = 0; a.read() && r < fromFile.height(); ++r) {
            ASSERT_NE(fromFile.rowPointer(r), nullptr);
        }
        fromFile.destroy();
        fromMemory.destroy();
    }
}

}  // namespace
