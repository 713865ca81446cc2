// PNG and JPEG through the importer, with pictures made here by the same libraries: what each
// PNG colour type becomes, how 16-bit channels are rounded, PNG written and read back, and JPEG
// in grey and colour.
#include "bitmap/picture_file.h"
#include "tests/pictures/picture_recipes.h"

#include <gtest/gtest.h>

#include <png.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using recipes::Bytes;
using recipes::makeJpeg;
using recipes::makePng;
using recipes::PngRecipe;

struct Imported {
    NBitmap bitmap{};
    PictureImport result;
    ~Imported() { bitmap.destroy(); }
};

void importBytes(const Bytes& bytes, Imported* imported) {
    imported->result = importPicture(&imported->bitmap, bytes.data(), bytes.size());
}

// Blue, green, red (and alpha) of a pixel, or of its palette entry.
std::vector<int> pixelAt(const NBitmap& bitmap, int x, int y) {
    const unsigned char* p = bitmap.rowPointer(y) + x * bitmap.bytesPerPixel;
    if (bitmap.bytesPerPixel == 1) {
        const RGBQUAD& c = bitmap.colors[p[0]];
        return {c.rgbBlue, c.rgbGreen, c.rgbRed};
    }
    return std::vector<int>(p, p + bitmap.bytesPerPixel);
}

TEST(PngImport, EachColourTypeBecomesTheSurfaceItNeeds) {
    struct Case {
        const char* name;
        PngRecipe recipe;
        int bytesPerPixel;
        bool alpha;
        std::vector<int> firstPixel;
    };
    PngRecipe grey;
    grey.colourType = PNG_COLOR_TYPE_GRAY;
    grey.rows = {0x40, 0xff};
    PngRecipe greyOneBit = grey;
    greyOneBit.bitDepth = 1;
    greyOneBit.rows = {0x80};
    PngRecipe greyAlpha = grey;
    greyAlpha.colourType = PNG_COLOR_TYPE_GRAY_ALPHA;
    greyAlpha.rows = {0x40, 0x80, 0xff, 0xff};
    PngRecipe palette;
    palette.colourType = PNG_COLOR_TYPE_PALETTE;
    palette.palette = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}};
    palette.rows = {2, 0};
    PngRecipe paletteAlpha = palette;
    paletteAlpha.transparency = {255, 255, 7};
    PngRecipe rgb;
    rgb.rows = {1, 2, 3, 4, 5, 6};
    PngRecipe rgba = rgb;
    rgba.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    rgba.rows = {1, 2, 3, 9, 4, 5, 6, 255};
    const Case cases[] = {
        {"grey", grey, 1, false, {0x40, 0x40, 0x40}},
        {"grey, 1 bit", greyOneBit, 1, false, {255, 255, 255}},
        {"grey and alpha", greyAlpha, 4, true, {0x40, 0x40, 0x40, 0x80}},
        {"palette", palette, 1, false, {90, 80, 70}},
        {"palette with transparency", paletteAlpha, 4, true, {90, 80, 70, 7}},
        {"rgb", rgb, 3, false, {3, 2, 1}},
        {"rgba", rgba, 4, true, {3, 2, 1, 9}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Imported imported;
        importBytes(makePng(c.recipe), &imported);
        ASSERT_TRUE(imported.result.read()) << imported.result.failure;
        EXPECT_EQ(imported.bitmap.bytesPerPixel, c.bytesPerPixel);
        EXPECT_EQ(imported.result.hasAlpha, c.alpha);
        EXPECT_EQ(pixelAt(imported.bitmap, 0, 0), c.firstPixel);
    }
}

TEST(PngImport, SixteenBitChannelsAreRoundedToEight) {
    PngRecipe deep;
    deep.bitDepth = 16;
    deep.width = 1;
    // 0x0080 / 257 is just below one half and 0x0081 / 257 just above, where dropping the low
    // byte gives 0 for both
    deep.rows = {0x00, 0x80, 0x00, 0x81, 0xff, 0x7f};
    Imported imported;
    importBytes(makePng(deep), &imported);
    ASSERT_TRUE(imported.result.read()) << imported.result.failure;
    EXPECT_EQ(pixelAt(imported.bitmap, 0, 0), (std::vector<int>{255, 1, 0}));
}

TEST(PngImport, InterlacedPicturesAreReadWhole) {
    PngRecipe recipe;
    recipe.width = 9;
    recipe.height = 9;
    recipe.interlaced = true;
    for (int i = 0; i < 9 * 9 * 3; ++i) {
        recipe.rows.push_back((unsigned char)(i * 7));
    }
    Imported imported;
    importBytes(makePng(recipe), &imported);
    ASSERT_TRUE(imported.result.read()) << imported.result.failure;
    EXPECT_EQ(pixelAt(imported.bitmap, 8, 8),
              (std::vector<int>{242 * 7 & 255, 241 * 7 & 255, 240 * 7 & 255}));
}

TEST(PngImport, DamagedFilesAreRefusedAndChangeNothing) {
    PngRecipe rgb;
    rgb.rows = {1, 2, 3, 4, 5, 6};
    Bytes whole = makePng(rgb);
    Bytes cut(whole.begin(), whole.begin() + whole.size() - 20);
    Bytes flipped = whole;
    flipped[40] ^= 0xff;  // in the compressed rows, so the checksum fails
    for (const Bytes& bad : {cut, flipped}) {
        Imported imported;
        ASSERT_TRUE(imported.bitmap.create(3, 3, 3));
        unsigned char* before = imported.bitmap.bits;
        importBytes(bad, &imported);
        EXPECT_EQ(imported.result.failure.rfind("a PNG that cannot be read: ", 0), 0u)
            << imported.result.failure;
        EXPECT_EQ(imported.bitmap.bits, before);
    }
}

// Writes the bitmap as PNG and reads it back.
void roundTrip(const NBitmap& bitmap, bool keepAlpha, Imported* back) {
    Bytes png;
    ASSERT_EQ(encodePng(bitmap, keepAlpha, &png), "");
    importBytes(png, back);
    ASSERT_TRUE(back->result.read()) << back->result.failure;
}

TEST(PngExport, EverySurfaceSizeComesBackWithItsColours) {
    NBitmap palette{};
    palette.colors[0] = RGBQUAD{1, 2, 3, 0};
    palette.colors[200] = RGBQUAD{40, 50, 60, 0};
    ASSERT_TRUE(palette.create(3, 2, 1));
    palette.rowPointer(1)[2] = 200;
    Imported back;
    roundTrip(palette, false, &back);
    EXPECT_EQ(back.bitmap.bytesPerPixel, 1);
    EXPECT_EQ(back.bitmap.rowPointer(1)[2], 200);
    EXPECT_EQ(pixelAt(back.bitmap, 2, 1), (std::vector<int>{40, 50, 60}));
    EXPECT_EQ(pixelAt(back.bitmap, 0, 0), (std::vector<int>{1, 2, 3}));
    palette.destroy();

    NBitmap deep{};
    ASSERT_TRUE(deep.create(2, 1, 4));
    unsigned char bgra[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    std::copy(bgra, bgra + 8, deep.rowPointer(0));
    Imported withAlpha, withoutAlpha;
    roundTrip(deep, true, &withAlpha);
    EXPECT_TRUE(withAlpha.result.hasAlpha);
    EXPECT_EQ(pixelAt(withAlpha.bitmap, 1, 0), (std::vector<int>{5, 6, 7, 8}));
    roundTrip(deep, false, &withoutAlpha);
    EXPECT_FALSE(withoutAlpha.result.hasAlpha);
    EXPECT_EQ(pixelAt(withoutAlpha.bitmap, 1, 0), (std::vector<int>{5, 6, 7}));
    deep.destroy();

    // 5-5-5: red 31, green 1, blue 16
    NBitmap sixteen{};
    ASSERT_TRUE(sixteen.create(1, 1, 2));
    sixteen.rowPointer(0)[0] = 0x30;
    sixteen.rowPointer(0)[1] = 0x7c;
    Imported widened;
    roundTrip(sixteen, false, &widened);
    EXPECT_EQ(widened.bitmap.bytesPerPixel, 3);
    EXPECT_EQ(pixelAt(widened.bitmap, 0, 0), (std::vector<int>{0x84, 0x08, 0xff}));
    sixteen.destroy();
}

TEST(PngExport, AnEmptyBitmapIsRefused) {
    NBitmap empty{};
    Bytes png = {1, 2, 3};
    EXPECT_EQ(encodePng(empty, false, &png), "there is no picture to write");
}

TEST(JpegImport, GreyBecomesAPaletteOfGreysAndColourTwentyFourBits) {
    Imported grey;
    importBytes(makeJpeg(1, Bytes(16 * 8, 100), 16, 8), &grey);
    ASSERT_TRUE(grey.result.read()) << grey.result.failure;
    EXPECT_EQ(grey.bitmap.bytesPerPixel, 1);
    EXPECT_EQ(grey.bitmap.width(), 16);
    EXPECT_EQ(grey.bitmap.height(), 8);
    EXPECT_EQ(pixelAt(grey.bitmap, 5, 5), (std::vector<int>{100, 100, 100}));

    Bytes orange;
    for (int i = 0; i < 16 * 16; ++i) {
        orange.insert(orange.end(), {250, 128, 10});
    }
    Imported colour;
    importBytes(makeJpeg(3, orange, 16, 16), &colour);
    ASSERT_TRUE(colour.result.read()) << colour.result.failure;
    EXPECT_EQ(colour.bitmap.bytesPerPixel, 3);
    EXPECT_FALSE(colour.result.hasAlpha);
    std::vector<int> bgr = pixelAt(colour.bitmap, 7, 9);
    EXPECT_NEAR(bgr[0], 10, 3);
    EXPECT_NEAR(bgr[1], 128, 3);
    EXPECT_NEAR(bgr[2], 250, 3);
}

TEST(JpegImport, AHeaderThatIsNotJpegIsRefused) {
    Bytes broken = {0xff, 0xd8, 0xff, 0xe0, 0, 2, 0xff, 0xff, 0xff};
    Imported imported;
    importBytes(broken, &imported);
    EXPECT_EQ(imported.result.failure.rfind("a JPEG that cannot be read: ", 0), 0u)
        << imported.result.failure;
    EXPECT_FALSE(imported.bitmap.isValid());
}

}  // namespace
