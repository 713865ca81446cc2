// What the importer and the BMP writer do with the files a careless or hostile user hands them:
// tiny files that declare gigantic pictures or thousands of scans, JPEGs cut short or damaged,
// palette indices past the colour table and what is then written.
#include "bitmap/picture_file.h"
#include "tests/pictures/picture_recipes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using recipes::Bytes;

struct Imported {
    NBitmap bitmap{};
    PictureImport result;
    ~Imported() { bitmap.destroy(); }
};

void importBytes(const Bytes& bytes, Imported* imported,
                 long long largestSurface = NBitmapMaxSurfaceBytes) {
    imported->result = importPicture(&imported->bitmap, bytes.data(), bytes.size(), largestSurface);
}

std::string failureOf(const Bytes& bytes, long long largestSurface = NBitmapMaxSurfaceBytes) {
    Imported imported;
    importBytes(bytes, &imported, largestSurface);
    EXPECT_FALSE(imported.bitmap.isValid());
    return imported.result.failure;
}

// The warnings of an import that must succeed, with what libjpeg wrote to stderr meanwhile.
std::vector<std::string> warningsOf(const Bytes& bytes, Imported* imported, std::string* stderrText,
                                    long long largestSurface = NBitmapMaxSurfaceBytes) {
    testing::internal::CaptureStderr();
    importBytes(bytes, imported, largestSurface);
    *stderrText = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(imported->result.read()) << imported->result.failure;
    return imported->result.warnings;
}

bool rowIsGrey(const NBitmap& bitmap, int y, bool wholly) {
    int grey = 0;
    for (int x = 0; x < bitmap.width(); ++x) {
        const unsigned char* p = bitmap.rowPointer(y) + x * bitmap.bytesPerPixel;
        grey += p[0] == 128 && p[1] == 128 && p[2] == 128;
    }
    return wholly ? grey == bitmap.width() : grey > 0;
}

Bytes writtenBmp(const NBitmap& bitmap) {
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* stream = open_memstream(&buffer, &size);
    bool written = stream != nullptr && writeBmpToStream(bitmap, stream);
    if (stream != nullptr) {
        std::fclose(stream);
    }
    Bytes bytes(buffer, buffer + (written ? size : 0));
    std::free(buffer);
    return bytes;
}

std::uint32_t colourAt(const NBitmap& bitmap, int x, int y) {
    const RGBQUAD& c = bitmap.colors[bitmap.rowPointer(y)[x]];
    return (std::uint32_t)c.rgbRed << 16 | c.rgbGreen << 8 | c.rgbBlue;
}

TEST(HostilePictures, TinyPngsDeclaringHugePicturesAreRefusedBeforeTheyAreMade) {
    EXPECT_EQ(failureOf(recipes::pngDeclaring(2147483647, 1)),
              "a PNG of 2147483647 x 1 pixels is larger than this tool handles");
    // The class could hold it, but no 68 bytes of deflate make 268 MB of rows.
    EXPECT_EQ(failureOf(recipes::pngDeclaring(1, 268435456)),
              "a PNG cut short: its 68 bytes cannot hold the rows of 1 x 268435456 pixels");
    // A picture compressed as tightly as deflate goes is not taken for one of those.
    recipes::PngRecipe black;
    black.width = 4000;
    black.height = 1000;
    black.colourType = PNG_COLOR_TYPE_GRAY;
    black.rows.assign(4000 * 1000, 0);
    Imported imported;
    importBytes(recipes::makePng(black), &imported);
    EXPECT_TRUE(imported.result.read()) << imported.result.failure;
}

TEST(HostilePictures, JpegsInSeveralScansTakeNoMoreWorkingMemoryThanTheSurfaceMay) {
    EXPECT_EQ(failureOf(recipes::progressiveJpegDeclaring(32768, 32768, 1)),
              "a JPEG of 32768 x 32768 pixels in several scans needs 2048 MB to decode; this "
              "tool allows 1024 MB");
    EXPECT_EQ(failureOf(recipes::progressiveJpegDeclaring(1024, 1024, 1), 1 << 20),
              "a JPEG of 1024 x 1024 pixels in several scans needs 2 MB to decode; this tool "
              "allows 1 MB");
    Imported imported;
    std::string stderrText;
    EXPECT_EQ(
        warningsOf(recipes::progressiveJpegDeclaring(512, 512, 1), &imported, &stderrText, 1 << 20),
        std::vector<std::string>{
            "makes libjpeg warn: Corrupt JPEG data: premature end of data segment"});
    EXPECT_TRUE(rowIsGrey(imported.bitmap, 511, true));
}

TEST(HostilePictures, AJpegOfMoreThanAThousandScansIsRefused) {
    EXPECT_EQ(failureOf(recipes::progressiveJpegDeclaring(64, 64, 1001)),
              "a JPEG of more than 1000 scans is not supported");
    Imported imported;
    std::string stderrText;
    EXPECT_EQ(warningsOf(recipes::progressiveJpegDeclaring(64, 64, 1000), &imported, &stderrText),
              std::vector<std::string>{"makes libjpeg warn: Corrupt JPEG data: premature end of "
                                       "data segment (1000 times)"});
}

TEST(HostilePictures, AJpegCutShortIsReadWithTheRowsItLacksCounted) {
    Imported imported;
    std::string stderrText;
    std::vector<std::string> warnings =
        warningsOf(recipes::truncatedJpeg(), &imported, &stderrText);
    EXPECT_EQ(stderrText, "");
    ASSERT_EQ(warnings.size(), 1u);
    int grey = 0;
    ASSERT_EQ(
        std::sscanf(warnings[0].c_str(), "ends early: the last %d of 64 rows are grey", &grey), 1)
        << warnings[0];
    ASSERT_TRUE(grey > 0 && grey < 64) << grey;
    for (int y = 0; y < 64 - grey; ++y) {
        EXPECT_FALSE(rowIsGrey(imported.bitmap, y, false)) << "row " << y;
    }
    EXPECT_TRUE(rowIsGrey(imported.bitmap, 63, true));
}

TEST(HostilePictures, LibjpegsWarningsComeBackOneLineEachAndNeverReachStderr) {
    Bytes pixels(16 * 16 * 3, 90);
    Bytes damaged = recipes::makeJpeg(3, pixels, 16, 16);
    const unsigned char frame[] = {0xff, 0xc0};
    auto frameAt = std::search(damaged.begin(), damaged.end(), frame, frame + 2);
    ASSERT_NE(frameAt, damaged.end());
    damaged.insert(frameAt, {1, 2, 3});
    Imported imported;
    std::string stderrText;
    EXPECT_EQ(warningsOf(damaged, &imported, &stderrText),
              std::vector<std::string>{
                  "makes libjpeg warn: Corrupt JPEG data: 3 extraneous bytes before marker 0xc0"});
    EXPECT_EQ(stderrText, "");

    Bytes unended = recipes::makeJpeg(3, pixels, 16, 16);
    unended.resize(unended.size() - 2);
    EXPECT_EQ(warningsOf(unended, &imported, &stderrText),
              std::vector<std::string>{"makes libjpeg warn: Premature end of JPEG file"});
}

TEST(HostilePictures, IndicesPastTheColourTableAreWrittenWithATableThatCoversThem) {
    for (const Bytes& file :
         {recipes::pngIndexingPastItsPalette(), recipes::os2BmpIndexingPastItsTable()}) {
        Imported imported;
        importBytes(file, &imported);
        ASSERT_TRUE(imported.result.read()) << imported.result.failure;
        ASSERT_EQ(imported.bitmap.header.biClrUsed, 2u);
        Bytes bmp = writtenBmp(imported.bitmap);
        ASSERT_FALSE(bmp.empty());
        // Six entries, the largest index 5 and one more: the count and the pixels' offset.
        EXPECT_EQ(bmp[14 + 32], 6);
        EXPECT_EQ(bmp[10], 54 + 6 * 4);
        NBitmap back{};
        ASSERT_TRUE(readBmpFromMemory(&back, bmp.data(), bmp.size()));
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 4; ++x) {
                std::uint32_t shown = colourAt(imported.bitmap, x, y);
                EXPECT_EQ(colourAt(back, x, y), shown) << x << ", " << y;
                EXPECT_TRUE(imported.bitmap.rowPointer(y)[x] < 2 || shown == 0) << "past: black";
            }
        }
        back.destroy();
    }
}

}  // namespace
