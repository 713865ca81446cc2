// What the importer and the BMP writer do with the files a careless or hostile user hands them:
// tiny files that declare gigantic pictures, palette indices past the colour table and what is
// then written.
#include "bitmap/picture_file.h"
#include "tests/pictures/picture_recipes.h"

#include <gtest/gtest.h>

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
