// The importer's own BMP decoder on files made here: every header size, packed and run-length
// palette pixels, bit-field masks with and without alpha, and the refusals with their reasons.
#include "bitmap/picture_file.h"
#include "tests/pictures/picture_recipes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using recipes::BmpRecipe;
using recipes::Bytes;
using recipes::makeBmp;

PictureImport import(NBitmap* bitmap, const Bytes& file) {
    return importPicture(bitmap, file.data(), file.size());
}

std::uint32_t colourAt(const NBitmap& bitmap, int x, int y) {
    const unsigned char* p = bitmap.rowPointer(y) + x * bitmap.bytesPerPixel;
    if (bitmap.bytesPerPixel == 1) {
        const RGBQUAD& c = bitmap.colors[p[0]];
        return (std::uint32_t)c.rgbRed << 16 | c.rgbGreen << 8 | c.rgbBlue;
    }
    return (std::uint32_t)p[2] << 16 | p[1] << 8 | p[0];
}

std::vector<int> indicesOfRow(const NBitmap& bitmap, int y) {
    const unsigned char* p = bitmap.rowPointer(y);
    return std::vector<int>(p, p + bitmap.width());
}

// A refusal keeps the bitmap's old picture and says why.
void expectRefused(const Bytes& file, const std::string& reason) {
    NBitmap bitmap{};
    ASSERT_TRUE(bitmap.create(2, 2, 3));
    unsigned char* before = bitmap.bits;
    PictureImport result = import(&bitmap, file);
    EXPECT_EQ(result.failure, reason);
    EXPECT_EQ(bitmap.bits, before);
    EXPECT_EQ(bitmap.width(), 2);
    bitmap.destroy();
}

TEST(BmpImport, PackedPaletteIndicesOfOneTwoAndFourBits) {
    for (int bits : {1, 2, 4}) {
        SCOPED_TRACE(bits);
        BmpRecipe s;
        s.bitCount = bits;
        s.width = 9;
        s.height = 1;
        s.palette = {0x000000, 0xff0000, 0x00ff00, 0x0000ff};
        s.palette.resize(bits == 1 ? 2 : 4);
        // 1 0 1 1 0 ... in the widest slot each bit count has
        std::vector<int> want = {1, 0, 1, 1, 0, 0, 1, 0, 1};
        int value = 0, filled = 0;
        for (int i : want) {
            value = value << bits | i;
            filled += bits;
            if (filled == 8) {
                s.pixels.push_back((unsigned char)value);
                value = filled = 0;
            }
        }
        s.pixels.push_back((unsigned char)(value << (8 - filled)));
        s.pixels.resize(4 * ((s.pixels.size() + 3) / 4));
        NBitmap bitmap{};
        PictureImport result = import(&bitmap, makeBmp(s));
        ASSERT_TRUE(result.read()) << result.failure;
        EXPECT_EQ(bitmap.bytesPerPixel, 1);
        EXPECT_EQ(indicesOfRow(bitmap, 0), want);
        EXPECT_EQ(colourAt(bitmap, 0, 0), 0xff0000u);
        bitmap.destroy();
    }
}

TEST(BmpImport, CoreHeaderWithThreeByteEntriesAndTopDownRows) {
    BmpRecipe core;
    core.headerBytes = 12;
    core.width = 2;
    core.height = 2;
    core.palette.assign(256, 0);
    core.palette[7] = 0x123456;
    core.pixels = {7, 0, 0, 0, 0, 7, 0, 0};  // bottom row first
    NBitmap bitmap{};
    ASSERT_TRUE(import(&bitmap, makeBmp(core)).read());
    EXPECT_EQ(colourAt(bitmap, 0, 1), 0x123456u);
    EXPECT_EQ(colourAt(bitmap, 1, 0), 0x123456u);

    BmpRecipe v5 = core;
    v5.headerBytes = 124;
    v5.height = -2;
    ASSERT_TRUE(import(&bitmap, makeBmp(v5)).read());
    EXPECT_EQ(colourAt(bitmap, 0, 0), 0x123456u);
    EXPECT_EQ(colourAt(bitmap, 1, 1), 0x123456u);
    bitmap.destroy();
}

TEST(BmpImport, BitFieldMasksAreWidenedToEightBitsByRepeatingTheirBits) {
    BmpRecipe s;
    s.bitCount = 16;
    s.compression = 3;
    s.width = 2;
    s.height = 1;
    s.masks = {0xf800, 0x07e0, 0x001f};
    // white, and red 1 / green 32 / blue 16 of 5-6-5: 00001 widens to 00001000
    s.pixels = {0xff, 0xff, 0x10, 0x0c};
    NBitmap bitmap{};
    PictureImport result = import(&bitmap, makeBmp(s));
    ASSERT_TRUE(result.read()) << result.failure;
    EXPECT_EQ(bitmap.bytesPerPixel, 3);
    EXPECT_FALSE(result.hasAlpha);
    EXPECT_EQ(colourAt(bitmap, 0, 0), 0xffffffu);
    EXPECT_EQ(colourAt(bitmap, 1, 0), 0x088284u);
    bitmap.destroy();
}

TEST(BmpImport, AMaskOfAllThirtyTwoBitsKeepsItsTopEight) {
    BmpRecipe s;
    s.bitCount = 32;
    s.compression = 3;
    s.width = 1;
    s.height = 1;
    s.masks = {0xffffffff, 0, 0};
    s.pixels = {0x00, 0x00, 0x00, 0xab};
    NBitmap bitmap{};
    PictureImport result = import(&bitmap, makeBmp(s));
    ASSERT_TRUE(result.read()) << result.failure;
    EXPECT_EQ(colourAt(bitmap, 0, 0), 0xab0000u);
    bitmap.destroy();
}

TEST(BmpImport, AnAlphaMaskMakesAThirtyTwoBitPictureWithAlpha) {
    BmpRecipe s;
    s.headerBytes = 124;
    s.bitCount = 16;
    s.compression = 3;
    s.width = 1;
    s.height = 1;
    s.masks = {0x0f00, 0x00f0, 0x000f, 0xf000};
    s.pixels = {0x5a, 0x81, 0, 0};  // alpha 8, red 1, green 5, blue 10
    NBitmap bitmap{};
    PictureImport result = import(&bitmap, makeBmp(s));
    ASSERT_TRUE(result.read()) << result.failure;
    EXPECT_TRUE(result.hasAlpha);
    ASSERT_EQ(bitmap.bytesPerPixel, 4);
    const unsigned char* p = bitmap.rowPointer(0);
    EXPECT_EQ(p[0], 0xaa);
    EXPECT_EQ(p[1], 0x55);
    EXPECT_EQ(p[2], 0x11);
    EXPECT_EQ(p[3], 0x88);
    bitmap.destroy();
}

TEST(BmpImport, PlainMasksInAFortyByteHeaderGoToTheClassAndKeepSixteenBits) {
    BmpRecipe s;
    s.bitCount = 16;
    s.compression = 3;
    s.width = 2;
    s.height = 1;
    s.masks = {0x7c00, 0x03e0, 0x001f};
    s.pixels = {0x1f, 0x00, 0x00, 0x7c};
    NBitmap bitmap{};
    ASSERT_TRUE(import(&bitmap, makeBmp(s)).read());
    EXPECT_EQ(bitmap.bytesPerPixel, 2);
    bitmap.destroy();
}

BmpRecipe rle8(Bytes codes) {
    BmpRecipe s;
    s.compression = 1;
    s.width = 4;
    s.height = 3;
    s.palette = {0x000000, 0x111111, 0x222222, 0x333333};
    s.pixels = codes;
    return s;
}

TEST(BmpImport, RunLengthCodesWithEndsOfLineMovesAndSkippedPixels) {
    // bottom row: run of 2 x index 1, end of line; next: literal 3 2 1, end of line;
    // top: move right 1, run of 1 x index 3, end of picture.
    Bytes codes = {2, 1, 0, 0, 0, 3, 3, 2, 1, 0, 0, 0, 0, 2, 1, 0, 1, 3, 0, 1};
    NBitmap bitmap{};
    PictureImport result = import(&bitmap, makeBmp(rle8(codes)));
    ASSERT_TRUE(result.read()) << result.failure;
    EXPECT_EQ(indicesOfRow(bitmap, 2), (std::vector<int>{1, 1, 0, 0}));
    EXPECT_EQ(indicesOfRow(bitmap, 1), (std::vector<int>{3, 2, 1, 0}));
    EXPECT_EQ(indicesOfRow(bitmap, 0), (std::vector<int>{0, 3, 0, 0}));

    // The same in four bits: a run alternates its two nibbles, a literal is packed.
    BmpRecipe four = rle8({3, 0x12, 0, 0, 0, 3, 0x32, 0x10, 0, 1});
    four.compression = 2;
    four.bitCount = 4;
    ASSERT_TRUE(import(&bitmap, makeBmp(four)).read());
    EXPECT_EQ(indicesOfRow(bitmap, 2), (std::vector<int>{1, 2, 1, 0}));
    EXPECT_EQ(indicesOfRow(bitmap, 1), (std::vector<int>{3, 2, 1, 0}));
    bitmap.destroy();
}

TEST(BmpImport, RunLengthCodesThatLeaveThePictureAreRefused) {
    const std::string runLeaves = "a run-length BMP whose run leaves the picture is not valid";
    expectRefused(makeBmp(rle8({5, 1, 0, 1})), runLeaves);
    expectRefused(makeBmp(rle8({0, 5, 1, 2, 3, 4, 5, 0, 0, 1})), runLeaves);
    expectRefused(makeBmp(rle8({3, 1, 2, 1, 0, 1})), runLeaves);
    // three ends of line reach past the top row; the run after them has nowhere to go
    expectRefused(makeBmp(rle8({0, 0, 0, 0, 0, 0, 1, 1})), runLeaves);
    expectRefused(makeBmp(rle8({0, 2, 5, 0, 0, 1})),
                  "a run-length BMP whose move leaves the picture is not valid");
    expectRefused(makeBmp(rle8({0, 2, 0, 4, 0, 1})),
                  "a run-length BMP whose move leaves the picture is not valid");
    expectRefused(makeBmp(rle8({0, 4, 1, 2})), "a run-length BMP cut short in its literal pixels");
    expectRefused(makeBmp(rle8({0, 2, 1})), "a run-length BMP cut short in a move");
    // a move to the very edge is fine, and so is a file that stops without its last code
    NBitmap bitmap{};
    EXPECT_TRUE(import(&bitmap, makeBmp(rle8({0, 2, 4, 3}))).read());
    EXPECT_TRUE(import(&bitmap, makeBmp(rle8({4, 2}))).read());
    bitmap.destroy();
}

TEST(BmpImport, RefusalsNameWhatThePictureIsAndWhy) {
    expectRefused({'I', 'I', '*', 0, 8, 0, 0, 0},
                  "a TIFF picture: this tool reads BMP, PNG and JPEG");
    expectRefused({'G', 'I', 'F', '8', '9', 'a'},
                  "a GIF picture: this tool reads BMP, PNG and JPEG");
    expectRefused({}, "an empty file: this tool reads BMP, PNG and JPEG");
    BmpRecipe s;
    s.bitCount = 24;
    s.compression = 4;
    s.pixels.assign(32, 0);
    expectRefused(makeBmp(s), "a BMP with JPEG compression is not supported");
    s.compression = 0;
    s.bitCount = 64;
    expectRefused(makeBmp(s), "a 64-bit BMP is not supported");
    s.bitCount = 8;
    s.compression = 1;
    s.height = -2;
    expectRefused(makeBmp(s), "a BMP stored top row first cannot be run-length compressed");
    BmpRecipe cut;
    cut.bitCount = 1;
    cut.palette = {0, 0xffffff};
    cut.pixels.assign(3, 0);
    expectRefused(makeBmp(cut), "a BMP cut short: its pixels need 5 bytes and the file holds 3");
    BmpRecipe holey;
    holey.bitCount = 32;
    holey.compression = 3;
    holey.masks = {0xff0f00, 0xff00, 0xff};
    holey.pixels.assign(32, 0);
    expectRefused(makeBmp(holey), "a BMP whose red mask is not one run of bits");
    BmpRecipe huge;
    huge.width = 20000;
    huge.height = 20000;
    huge.bitCount = 24;
    expectRefused(makeBmp(huge), "a BMP of 20000 x 20000 pixels is larger than this tool handles");
}

TEST(BmpImport, AColourTableLongerThanTwoHundredAndFiftySixMustLieBeforeThePixels) {
    BmpRecipe s;
    s.width = 1;
    s.height = 1;
    s.palette.assign(300, 0x00ff00);
    s.pixels = {255, 0, 0, 0};
    NBitmap bitmap{};
    ASSERT_TRUE(import(&bitmap, makeBmp(s)).read());
    EXPECT_EQ(colourAt(bitmap, 0, 0), 0x00ff00u);
    bitmap.destroy();

    Bytes lying = makeBmp(s);
    lying[14 + 32] = 0x2c;  // 300 becomes 556 entries, past the pixel data
    lying[14 + 33] = 0x02;
    expectRefused(lying, "a BMP whose colour table of 556 entries does not fit before its pixels");
}

TEST(BmpImport, TheCallersSurfaceLimitIsKept) {
    BmpRecipe s;
    s.bitCount = 24;
    s.width = 64;
    s.height = 64;
    s.pixels.assign(64 * 64 * 3, 0);
    Bytes file = makeBmp(s);
    NBitmap bitmap{};
    EXPECT_FALSE(importPicture(&bitmap, file.data(), file.size(), 1000).read());
    EXPECT_FALSE(bitmap.isValid());
    EXPECT_TRUE(importPicture(&bitmap, file.data(), file.size(), 64 * 64 * 3).read());
    bitmap.destroy();
}

}  // namespace
