// NBitmap: the surface, its rows, drawing, and the BMP reader and writer, through Win32 alone.
#include "bitmap/nbitmap.h"
#include "platform/win32/win32.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

void put16(Bytes* b, size_t at, unsigned v) {
    (*b)[at] = (unsigned char)v;
    (*b)[at + 1] = (unsigned char)(v >> 8);
}

void put32(Bytes* b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        (*b)[at + i] = (unsigned char)(v >> (8 * i));
    }
}

uint32_t get32(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | (uint32_t)b[at + 3] << 24;
}

// A well-formed file: `entries` colour entries (entry i is {i, 255 - i, i / 2, 0}), then
// `gap` bytes, then the rows with byte k of the pixel data equal to (7k + 1) mod 256.
Bytes makeBmp(int width, int height, int bitCount, uint32_t clrUsed, int entries, int gap = 0) {
    int rowBytes = (width * (bitCount / 8) + 3) & ~3;
    int rows = height < 0 ? -height : height;
    size_t offBits = 54 + 4 * entries + gap;
    Bytes b(offBits + (size_t)rowBytes * rows, 0);
    b[0] = 'B';
    b[1] = 'M';
    put32(&b, 2, (uint32_t)b.size());
    put32(&b, 10, (uint32_t)offBits);
    put32(&b, 14, 40);
    put32(&b, 18, (uint32_t)width);
    put32(&b, 22, (uint32_t)height);
    put16(&b, 26, 1);
    put16(&b, 28, bitCount);
    put32(&b, 46, clrUsed);
    for (int i = 0; i < entries; ++i) {
        unsigned char entry[4] = {(unsigned char)i, (unsigned char)(255 - i),
                                  (unsigned char)(i / 2), 0};
        std::memcpy(&b[54 + 4 * i], entry, 4);
    }
    for (size_t k = offBits; k < b.size(); ++k) {
        b[k] = (unsigned char)(7 * (k - offBits) + 1);
    }
    return b;
}

std::string tempPath(const char* name) {
    return std::string("nbitmap_test_") + name + ".bmp";
}

bool writeFile(const std::string& path, const Bytes& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    bool written = bytes.empty() || std::fwrite(bytes.data(), bytes.size(), 1, file) == 1;
    return std::fclose(file) == 0 && written;
}

Bytes readFile(const std::string& path) {
    Bytes bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file != nullptr) {
        int c;
        while ((c = std::fgetc(file)) != EOF) {
            bytes.push_back((unsigned char)c);
        }
        std::fclose(file);
    }
    return bytes;
}

// Reads through a real file, which must be closed again afterwards (on Windows an open file
// cannot be removed), and checks that the in-memory reader gives the same answer.
bool readThroughFile(NBitmap* bitmap, const Bytes& bytes, const char* name) {
    std::string path = tempPath(name);
    EXPECT_TRUE(writeFile(path, bytes));
    bool read = bitmap->readBmp(path.c_str());
    EXPECT_EQ(std::remove(path.c_str()), 0) << name << " was left open";
    NBitmap probe{};
    EXPECT_EQ(readBmpFromMemory(&probe, bytes.data(), bytes.size()), read) << name;
    probe.destroy();
    return read;
}

// The file's rows (bottom row first unless top-down) against the surface, padding included.
void expectPixelsFromFile(const NBitmap& bitmap, const Bytes& file, int height) {
    size_t offBits = get32(file, 10);
    for (int r = 0; r < bitmap.height(); ++r) {
        int stored = height < 0 ? r : bitmap.height() - 1 - r;
        size_t at = offBits + (size_t)stored * bitmap.rowBytes;
        for (int k = 0; k < bitmap.rowBytes; ++k) {
            int expected = at + k < file.size() ? file[at + k] : 0;
            ASSERT_EQ(bitmap.rowPointer(r)[k], expected) << "row " << r << " byte " << k;
        }
    }
}

void fillPattern(NBitmap* bitmap, unsigned char seed) {
    for (int r = 0; r < bitmap->height(); ++r) {
        for (int k = 0; k < bitmap->rowBytes; ++k) {
            bitmap->rowPointer(r)[k] = (unsigned char)(seed + 13 * r + k);
        }
    }
}

// Blue, green and red only: the platform keeps the reserved byte of a table entry at 0.
bool sameColours(const RGBQUAD* a, const RGBQUAD* b, int count) {
    for (int i = 0; i < count; ++i) {
        if (a[i].rgbBlue != b[i].rgbBlue || a[i].rgbGreen != b[i].rgbGreen ||
            a[i].rgbRed != b[i].rgbRed) {
            return false;
        }
    }
    return true;
}

bool objectAlive(HBITMAP handle) {
    BITMAP description;
    return GetObjectA(handle, sizeof(description), &description) != 0;
}

TEST(NBitmapSurface, RowBytesArePaddedToFourBytes) {
    const int expected3[] = {4, 8, 12, 12, 16};
    for (int width = 1; width <= 5; ++width) {
        NBitmap b{};
        ASSERT_TRUE(b.create(width, 2, 3));
        EXPECT_EQ(b.rowBytes, expected3[width - 1]) << width;
        EXPECT_EQ(b.rowStep, -b.rowBytes);
        EXPECT_EQ(b.computeRowStep(), b.rowStep);
        ASSERT_TRUE(b.create(width, 2, 1));
        EXPECT_EQ(b.rowBytes, width <= 4 ? 4 : 8) << width;
        b.destroy();
    }
}

TEST(NBitmapSurface, RowsAreCountedFromTheTopOfABottomUpBuffer) {
    NBitmap b{};
    ASSERT_TRUE(b.create(5, 4, 3));
    EXPECT_TRUE(b.isValid());
    EXPECT_EQ(b.header.biBitCount, 24);
    EXPECT_EQ(b.width(), 5);
    EXPECT_EQ(b.height(), 4);
    EXPECT_EQ(b.rowPointer(0), b.bits + 3 * b.rowBytes);
    EXPECT_EQ(b.rowPointer(3), b.bits);
    EXPECT_EQ(b.rowPointer(-1), nullptr);
    EXPECT_EQ(b.rowPointer(4), nullptr);
    b.destroy();
}

TEST(NBitmapSurface, HeaderArithmeticOfOddHeaders) {
    NBitmap b{};
    b.header.biWidth = 5;
    b.header.biHeight = -2;
    b.bytesPerPixel = 3;
    EXPECT_EQ(b.computeRowStep(), 16);
    b.header.biBitCount = 4;
    EXPECT_EQ(b.pixelSize(), 0);
}

TEST(NBitmapSurface, SizeLimitAdmits16384SquareAtFourBytes) {
    EXPECT_EQ(surfaceByteCount(16384, 16384, 4), 1LL << 30);
    EXPECT_EQ(surfaceByteCount(16385, 16384, 4), 0);
    EXPECT_EQ(surfaceByteCount(16384, 16385, 4), 0);
    EXPECT_EQ(surfaceByteCount(3000000, 2000000, 3), 0);
    EXPECT_EQ(surfaceByteCount(INT_MAX, 1, 4), 0);
    EXPECT_EQ(surfaceByteCount(1, INT_MAX, 1), 0);
    EXPECT_EQ(surfaceByteCount(3, 2, 3), 24);
}

TEST(NBitmapSurface, RefusedCreateKeepsTheSurfaceItHad) {
    NBitmap b{};
    ASSERT_TRUE(b.create(3, 2, 3));
    fillPattern(&b, 9);
    unsigned char* bits = b.bits;
    const int refused[][3] = {{0, 2, 3}, {-1, 2, 3}, {3, 0, 3},        {3, -2, 3},
                              {3, 2, 0}, {3, 2, 5},  {16385, 16384, 4}};
    for (const auto& args : refused) {
        EXPECT_FALSE(b.create(args[0], args[1], args[2])) << args[0] << " " << args[1];
        EXPECT_TRUE(b.isValid());
        EXPECT_EQ(b.bits, bits);
        EXPECT_EQ(b.width(), 3);
        EXPECT_EQ(b.rowPointer(0)[0], 9);
    }
    b.destroy();
}

TEST(NBitmapSurface, DestroyLeavesNoPathToFreedMemory) {
    NBitmap b{};
    ASSERT_TRUE(b.create(4, 3, 3));
    HBITMAP surface = b.dibSection;
    b.destroy();
    EXPECT_FALSE(objectAlive(surface));
    EXPECT_FALSE(b.isValid());
    EXPECT_FALSE(b.hasDC());
    EXPECT_EQ(b.bits, nullptr);
    EXPECT_EQ(b.width(), 0);
    EXPECT_EQ(b.height(), 0);
    EXPECT_EQ(b.rowBytes, 0);
    for (int row = -1; row <= 3; ++row) {
        EXPECT_EQ(b.rowPointer(row), nullptr) << row;
    }
    b.destroy();
    EXPECT_FALSE(b.isValid());
    EXPECT_FALSE(b.writeBmp(tempPath("destroyed").c_str()));
}

TEST(NBitmapSurface, EightBitSurfaceTakesTheWholeColourTable) {
    NBitmap b{};
    for (int i = 0; i < 256; ++i) {
        b.colors[i] = {(BYTE)i, (BYTE)(i ^ 0x5a), (BYTE)(255 - i), 0};
    }
    ASSERT_TRUE(b.create(2, 2, 1));
    RGBQUAD table[256];
    EXPECT_TRUE(b.getColorTable(0, 256, table));
    EXPECT_TRUE(sameColours(table, b.colors, 256));

    RGBQUAD red = {0, 0, 255, 0};
    EXPECT_EQ(b.setColorTable(7, 1, &red), 1u);
    EXPECT_TRUE(b.getColorTable(7, 1, table));
    EXPECT_EQ(table[0].rgbRed, 255);
    EXPECT_EQ(b.colors[7].rgbRed, 255 - 7) << "the embedded table is a separate copy";
    b.destroy();
}

// A display-compatible target, so that colours survive the copy.
struct Target {
    HDC display = CreateDCA("Display", nullptr, nullptr, nullptr);
    HDC dc = CreateCompatibleDC(display);
    HBITMAP bitmap = CreateCompatibleBitmap(display, 8, 8);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    ~Target() {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
        DeleteDC(display);
    }
};

TEST(NBitmapDraw, CopiesThePictureTopRowFirstAtThePosition) {
    Target target;
    NBitmap b{};
    ASSERT_TRUE(b.create(3, 2, 3));
    fillPattern(&b, 40);
    ASSERT_NE(b.draw(target.dc, 2, 1), 0);
    for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < 3; ++c) {
            const unsigned char* texel = b.rowPointer(r) + 3 * c;
            EXPECT_EQ(GetPixel(target.dc, 2 + c, 1 + r), RGB(texel[2], texel[1], texel[0]))
                << r << " " << c;
        }
    }
    ASSERT_NE(b.draw(target.dc), 0);
    EXPECT_EQ(GetPixel(target.dc, 0, 0), RGB(42, 41, 40));
    SetMapMode(target.dc, MM_LOMETRIC);
    b.draw(target.dc);
    EXPECT_EQ(GetMapMode(b.memoryDC), MM_LOMETRIC) << "the surface counts in the target's units";
    b.destroy();
}

TEST(NBitmapDraw, EmptyOrDestroyedBitmapDrawsNothing) {
    Target target;
    SetPixel(target.dc, 0, 0, RGB(10, 20, 30));
    NBitmap b{};
    EXPECT_EQ(b.draw(target.dc), 0);
    ASSERT_TRUE(b.create(2, 2, 3));
    b.destroy();
    EXPECT_EQ(b.draw(target.dc, 0, 0), 0);
    EXPECT_EQ(GetPixel(target.dc, 0, 0), RGB(10, 20, 30));
}

TEST(NBitmapRead, TwentyFourBitRowsArriveBottomRowFirst) {
    Bytes file = makeBmp(5, 3, 24, 0, 0);
    NBitmap b{};
    ASSERT_TRUE(readThroughFile(&b, file, "rgb24"));
    EXPECT_EQ(b.width(), 5);
    EXPECT_EQ(b.height(), 3);
    EXPECT_EQ(b.bytesPerPixel, 3);
    expectPixelsFromFile(b, file, 3);
    b.destroy();
}

TEST(NBitmapRead, TopDownFilesAreTurnedIntoTheBottomUpSurface) {
    Bytes file = makeBmp(5, -3, 24, 0, 0);
    NBitmap b{};
    ASSERT_TRUE(readThroughFile(&b, file, "topdown"));
    EXPECT_EQ(b.height(), 3);
    EXPECT_EQ(b.header.biHeight, 3);
    EXPECT_EQ(b.rowStep, -b.rowBytes);
    expectPixelsFromFile(b, file, -3);
    file.resize(file.size() - 20);
    ASSERT_TRUE(readThroughFile(&b, file, "topdown_short"));
    expectPixelsFromFile(b, file, -3);
    b.destroy();
}

TEST(NBitmapRead, FileCutShortStillReadsAndKeepsZeroRows) {
    Bytes file = makeBmp(5, 4, 24, 0, 0);
    file.resize(54 + 16 + 5);
    NBitmap b{};
    ASSERT_TRUE(readThroughFile(&b, file, "short"));
    expectPixelsFromFile(b, file, 4);
    EXPECT_EQ(b.rowPointer(0)[0], 0);
    b.destroy();
}

// Pixel data that starts at or past the end is a file cut before its first row: the same
// answer as for one byte of pixel data, with every row as the new surface has it.
TEST(NBitmapRead, PixelsAtOrPastTheEndReadAsACutFile) {
    const struct {
        const char* name;
        uint32_t offset;
    } cases[] = {{"pixels_at_end", 54 + 4 * 12}, {"pixels_past_end", 100000}, {"one_byte", 54}};
    for (const auto& c : cases) {
        Bytes file = makeBmp(4, 3, 24, 0, 0);
        put32(&file, 10, c.offset);
        file.resize(c.offset == 54 ? 55 : 54 + 4 * 12);
        NBitmap b{};
        ASSERT_TRUE(readThroughFile(&b, file, c.name)) << c.name;
        EXPECT_EQ(b.height(), 3);
        EXPECT_EQ(b.rowPointer(2)[1], 0) << c.name;
        BmpFileFacts facts{};
        NBitmap probe{};
        ASSERT_TRUE(readBmpFromMemory(&probe, file.data(), file.size(), &facts));
        EXPECT_EQ(facts.rowsHeld, 0) << c.name;
        EXPECT_EQ(facts.rowsDeclared, 3) << c.name;
        probe.destroy();
        b.destroy();
    }
}

TEST(NBitmapRead, FactsTellTheRowsHeld) {
    Bytes file = makeBmp(4, 5, 16, 0, 0);
    put32(&file, 30, BI_BITFIELDS);
    put32(&file, 54, 0xF800);
    put32(&file, 58, 0x07E0);
    put32(&file, 62, 0x001F);
    file.resize(54 + 2 * 8 + 3);
    BmpFileFacts facts{};
    NBitmap b{};
    ASSERT_TRUE(readBmpFromMemory(&b, file.data(), file.size(), &facts));
    EXPECT_EQ(facts.rowsHeld, 2);
    EXPECT_EQ(facts.rowsDeclared, 5);
    b.destroy();
}

TEST(NBitmapRead, SixteenColourTableThenPixelsFromTheOffset) {
    Bytes file = makeBmp(6, 2, 8, 16, 16, 12);
    NBitmap b{};
    for (int i = 0; i < 256; ++i) {
        b.colors[i] = {1, 2, 3, 4};
    }
    ASSERT_TRUE(readThroughFile(&b, file, "pal16"));
    EXPECT_EQ(b.colors[15].rgbGreen, 240);
    EXPECT_EQ(b.colors[16].rgbBlue, 1) << "entries past the count keep their contents";
    RGBQUAD table[256];
    b.getColorTable(0, 256, table);
    EXPECT_TRUE(sameColours(table, b.colors, 256));
    expectPixelsFromFile(b, file, 2);
    b.destroy();
}

TEST(NBitmapRead, ColourTablesOfZeroAndOfTooManyEntries) {
    NBitmap b{};
    ASSERT_TRUE(readThroughFile(&b, makeBmp(4, 2, 8, 0, 256), "pal0"));
    EXPECT_EQ(b.colors[255].rgbBlue, 255);
    // 300 entries that all lie before the pixels: 256 are kept, the rest skipped.
    Bytes oversize = makeBmp(4, 2, 8, 300, 300);
    ASSERT_TRUE(readThroughFile(&b, oversize, "pal300"));
    EXPECT_EQ(b.colors[255].rgbGreen, 0);
    expectPixelsFromFile(b, oversize, 2);
    // Above 8 bits the count means nothing.
    ASSERT_TRUE(readThroughFile(&b, makeBmp(4, 2, 24, 300, 0), "rgb24pal300"));
    b.destroy();
}

TEST(NBitmapRead, BitFieldRowsKeepTheirBytes) {
    for (int bitCount : {16, 32}) {
        Bytes file = makeBmp(3, 2, bitCount, 0, 3);
        put32(&file, 30, 3);
        NBitmap b{};
        ASSERT_TRUE(readThroughFile(&b, file, "bitfields")) << bitCount;
        EXPECT_EQ(b.header.biCompression, 0u);
        expectPixelsFromFile(b, file, 2);
        b.destroy();
    }
}

TEST(NBitmapRead, SecondFileReleasesTheFirstSurface) {
    NBitmap b{};
    ASSERT_TRUE(readThroughFile(&b, makeBmp(2, 2, 24, 0, 0), "first"));
    HBITMAP first = b.dibSection;
    ASSERT_TRUE(readThroughFile(&b, makeBmp(3, 1, 32, 0, 0), "second"));
    EXPECT_FALSE(objectAlive(first));
    EXPECT_EQ(b.width(), 3);
    EXPECT_EQ(b.bytesPerPixel, 4);
    b.destroy();
}

struct Refusal {
    const char* name;
    int bitCount;  // of the well-formed file it starts from: 24 or 8
    size_t at;     // the field changed, or with `width` 0 the length the file is cut to
    int width;     // 2 or 4 bytes written, 0 for a cut
    uint32_t value;
};

const Refusal refusals[] = {
    {"magic_MB", 24, 0, 2, 'M' | 'B' << 8},
    {"info_size_12", 24, 14, 4, 12},
    {"info_size_108", 24, 14, 4, 108},
    {"info_size_124", 24, 14, 4, 124},
    {"planes_2", 24, 26, 2, 2},
    {"bits_1", 24, 28, 2, 1},
    {"bits_4", 24, 28, 2, 4},
    {"bits_30000", 24, 28, 2, 30000},
    {"bits_64", 24, 28, 2, 64},
    {"run_length_8", 8, 30, 4, 1},
    {"run_length_4", 24, 30, 4, 2},
    {"jpeg", 24, 30, 4, 4},
    {"alpha_bit_fields", 24, 30, 4, 6},
    {"bit_fields_at_24", 24, 30, 4, 3},
    {"width_0", 24, 18, 4, 0},
    {"width_negative", 24, 18, 4, (uint32_t)-5},
    {"height_0", 24, 22, 4, 0},
    {"height_most_negative", 24, 22, 4, 0x80000000u},
    {"width_int_max", 24, 18, 4, INT_MAX},
    {"width_over_limit", 24, 18, 4, 1u << 29},
    {"height_over_limit", 24, 22, 4, 1u << 28},
    {"colours_305402420", 8, 46, 4, 305402420},
    {"colours_300_overlap_pixels", 8, 46, 4, 300},
    {"pixels_inside_header", 24, 10, 4, 20},
    {"empty", 24, 0, 0, 0},
    {"cut_file_header", 24, 10, 0, 0},
    {"cut_info_header", 24, 53, 0, 0},
    {"cut_colour_table", 8, 54 + 1020, 0, 0},
};

TEST(NBitmapRead, RefusedFileLeavesTheImageAsItWas) {
    NBitmap b{};
    for (int i = 0; i < 256; ++i) {
        b.colors[i] = {9, 9, 9, 9};
    }
    ASSERT_TRUE(b.create(3, 2, 3));
    fillPattern(&b, 77);
    NBitmap before = b;
    // Field by field: a copied record's padding bytes are not guaranteed to match.
    auto unchanged = [&]() {
        return std::memcmp(&b.header, &before.header, sizeof b.header) == 0 &&
               std::memcmp(b.colors, before.colors, sizeof b.colors) == 0 &&
               b.bytesPerPixel == before.bytesPerPixel && b.rowBytes == before.rowBytes &&
               b.rowStep == before.rowStep && b.bits == before.bits &&
               b.memoryDC == before.memoryDC && b.dibSection == before.dibSection &&
               b.previousBitmap == before.previousBitmap;
    };
    for (const Refusal& r : refusals) {
        Bytes file = makeBmp(4, 3, r.bitCount, 0, r.bitCount == 8 ? 256 : 0);
        if (r.width == 2) {
            put16(&file, r.at, r.value);
        } else if (r.width == 4) {
            put32(&file, r.at, r.value);
        } else {
            file.resize(r.at);
        }
        EXPECT_FALSE(readThroughFile(&b, file, r.name)) << r.name;
        EXPECT_TRUE(unchanged()) << r.name << " changed the bitmap";
        EXPECT_EQ(b.rowPointer(1)[5], (unsigned char)(77 + 13 + 5)) << r.name;
    }
    EXPECT_FALSE(b.readBmp("nbitmap_test_no_such_file.bmp"));
    EXPECT_FALSE(readBmpFromMemory(&b, nullptr, 0));
    EXPECT_TRUE(b.isValid());
    b.destroy();
}

TEST(NBitmapWrite, HeadersOfTwentyFourAndEightBitFiles) {
    NBitmap b{};
    ASSERT_TRUE(b.create(5, 3, 3));
    std::string path = tempPath("write24");
    ASSERT_TRUE(b.writeBmp(path.c_str()));
    Bytes file = readFile(path);
    std::remove(path.c_str());
    ASSERT_EQ(file.size(), 54u + 16 * 3);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(get32(file, 2), 54u + 16 * 3);
    EXPECT_EQ(get32(file, 10), 54u);
    EXPECT_EQ(get32(file, 14), 40u);
    EXPECT_EQ(get32(file, 46), 0u);

    ASSERT_TRUE(b.create(5, 3, 1));
    ASSERT_TRUE(b.writeBmp(path.c_str()));
    file = readFile(path);
    std::remove(path.c_str());
    EXPECT_EQ(get32(file, 10), 1078u);
    EXPECT_EQ(get32(file, 2), 1078u + 8 * 3);
    EXPECT_EQ(file.size(), 1078u + 8 * 3);
    b.destroy();
}

TEST(NBitmapWrite, RoundTripKeepsEveryByte) {
    for (int bytes = 1; bytes <= 4; ++bytes) {
        NBitmap source{};
        for (int i = 0; i < 256; ++i) {
            source.colors[i] = {(BYTE)i, (BYTE)(3 * i), (BYTE)(255 - i), 0};
        }
        ASSERT_TRUE(source.create(5, 3, bytes));
        fillPattern(&source, (unsigned char)(17 * bytes));
        std::string path = tempPath("roundtrip");
        ASSERT_TRUE(source.writeBmp(path.c_str()));
        NBitmap copy{};
        ASSERT_TRUE(copy.readBmp(path.c_str()));
        std::remove(path.c_str());
        EXPECT_EQ(std::memcmp(&copy.header, &source.header, sizeof copy.header), 0);
        if (bytes == 1) {
            EXPECT_EQ(std::memcmp(copy.colors, source.colors, sizeof copy.colors), 0);
        }
        EXPECT_EQ(std::memcmp(copy.bits, source.bits, (size_t)source.rowBytes * 3), 0);
        source.destroy();
        copy.destroy();
    }
}

TEST(NBitmapWrite, RefusesWhatItCannotWrite) {
    NBitmap b{};
    EXPECT_FALSE(b.writeBmp(tempPath("empty").c_str()));
    ASSERT_TRUE(b.create(2, 2, 1));
    EXPECT_FALSE(b.writeBmp("no_such_directory/nbitmap_test.bmp"));
    // A count larger than the table would write past `colors`.
    b.header.biClrUsed = 300;
    EXPECT_FALSE(b.writeBmp(tempPath("pal300").c_str()));
    b.destroy();
}

TEST(NBitmapHelpers, FailedAssertionReportsAndGoesOn) {
    testing::internal::CaptureStderr();
    NBITMAP_ASSERT(1 + 1 == 3);
    std::string report = testing::internal::GetCapturedStderr();
    EXPECT_NE(report.find("1 + 1 == 3"), std::string::npos) << report;
    EXPECT_NE(report.find("nbitmap_test.cpp"), std::string::npos) << report;
}

TEST(NBitmapHelpers, PerformanceClockRunsForwardWithoutComplaint) {
    testing::internal::CaptureStderr();
    double first = queryTimeSeconds();
    double second = queryTimeSeconds();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_GE(first, 0.0);
    EXPECT_GE(second, first);
}

}  // namespace
