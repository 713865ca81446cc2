// GDI as the program uses it, written against the Win32 API alone: the same checks pass on the
// shim and against real GDI (under Wine).
#include "platform/win32/win32.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cstring>
#include <vector>

namespace {

struct DibInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
};

// A DIB section whose 8-bit table has entry i = (red i, green 255 - i, blue i / 2).
HBITMAP makeDib(int bitCount, int width, int height, unsigned char** bits) {
    DibInfo info{};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = width;
    info.header.biHeight = height;
    info.header.biPlanes = 1;
    info.header.biBitCount = static_cast<WORD>(bitCount);
    for (int i = 0; i < 256; ++i) {
        info.colours[i] =
            RGBQUAD{static_cast<BYTE>(i / 2), static_cast<BYTE>(255 - i), static_cast<BYTE>(i), 0};
    }
    return CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                            reinterpret_cast<void**>(bits), nullptr, 0);
}

// A memory DC with its own bitmap selected; puts the stock bitmap back and frees both.
struct Canvas {
    HDC display = CreateDCA("Display", nullptr, nullptr, nullptr);
    HDC dc = CreateCompatibleDC(display);
    HBITMAP bitmap;
    HGDIOBJ stock;

    explicit Canvas(HBITMAP selected) : bitmap(selected), stock(SelectObject(dc, bitmap)) {}
    Canvas(int width, int height)
        : bitmap(CreateCompatibleBitmap(display, width, height)), stock(SelectObject(dc, bitmap)) {}
    ~Canvas() {
        SelectObject(dc, stock);
        DeleteObject(bitmap);
        DeleteDC(dc);
        DeleteDC(display);
    }
    void fill(COLORREF colour, int width, int height) const {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                SetPixelV(dc, x, y, colour);
            }
        }
    }
    std::vector<COLORREF> pixels(int width, int height) const {
        std::vector<COLORREF> all;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                all.push_back(GetPixel(dc, x, y));
            }
        }
        return all;
    }
};

BITMAP describe(HGDIOBJ bitmap) {
    BITMAP description{};
    EXPECT_EQ(static_cast<int>(sizeof(BITMAP)),
              GetObjectA(bitmap, sizeof description, &description));
    return description;
}

TEST(GdiDeviceContext, DisplayDriverOnly) {
    HDC display = CreateDCA("Display", nullptr, nullptr, nullptr);
    EXPECT_NE(nullptr, display);
    EXPECT_EQ(nullptr, CreateDCA("NoSuchDriver", nullptr, nullptr, nullptr));
    EXPECT_TRUE(DeleteDC(display));
    EXPECT_FALSE(DeleteDC(display));
}

TEST(GdiDeviceContext, MemoryDcHoldsSharedStockBitmapAndHandsItBack) {
    HDC display = CreateDCA("Display", nullptr, nullptr, nullptr);
    HDC first = CreateCompatibleDC(display);
    HDC second = CreateCompatibleDC(nullptr);
    HBITMAP mine = CreateCompatibleBitmap(display, 4, 4);
    HGDIOBJ stock = SelectObject(first, mine);
    ASSERT_NE(nullptr, stock);
    const BITMAP description = describe(stock);
    EXPECT_EQ(1, description.bmWidth);
    EXPECT_EQ(1, description.bmHeight);
    EXPECT_EQ(1, description.bmBitsPixel);
    // Every memory DC starts with the same one, and it goes back in any number of them.
    EXPECT_EQ(stock, SelectObject(second, stock));
    EXPECT_EQ(mine, SelectObject(first, stock));
    EXPECT_TRUE(DeleteObject(mine));
    EXPECT_TRUE(DeleteObject(stock));
    EXPECT_EQ(1, describe(stock).bmWidth);
    DeleteDC(first);
    DeleteDC(second);
    DeleteDC(display);
}

TEST(GdiDeviceContext, BitmapGoesIntoOneMemoryDcAtATime) {
    Canvas canvas(3, 3);
    HDC other = CreateCompatibleDC(nullptr);
    EXPECT_EQ(nullptr, SelectObject(other, canvas.bitmap));
    EXPECT_EQ(nullptr, SelectObject(canvas.display, canvas.bitmap));

    EXPECT_EQ(canvas.bitmap, SelectObject(canvas.dc, canvas.stock));
    HGDIOBJ stock = SelectObject(other, canvas.bitmap);
    EXPECT_EQ(canvas.stock, stock);
    SelectObject(other, stock);
    SelectObject(canvas.dc, canvas.bitmap);
    DeleteDC(other);
}

TEST(GdiDeviceContext, SelectObjectReturnsPreviousOfEachKind) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ white = GetStockObject(WHITE_BRUSH);
    HGDIOBJ black = GetStockObject(BLACK_BRUSH);
    HGDIOBJ system = GetStockObject(SYSTEM_FONT);
    EXPECT_EQ(white, SelectObject(dc, black));
    EXPECT_EQ(black, SelectObject(dc, white));
    LOGFONTA description{};
    description.lfHeight = 20;
    HFONT font = CreateFontIndirectA(&description);
    EXPECT_EQ(system, SelectObject(dc, font));
    EXPECT_EQ(font, SelectObject(dc, system));
    EXPECT_EQ(nullptr, SelectObject(dc, nullptr));
    EXPECT_EQ(nullptr, SelectObject(nullptr, font));
    DeleteObject(font);
    DeleteDC(dc);
}

TEST(GdiDeviceContext, DeletedSelectedBitmapStaysUsableUntilDeselected) {
    HDC display = CreateDCA("Display", nullptr, nullptr, nullptr);
    HDC dc = CreateCompatibleDC(display);
    HBITMAP bitmap = CreateCompatibleBitmap(display, 2, 2);
    HGDIOBJ stock = SelectObject(dc, bitmap);
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_EQ(RGB(1, 2, 3), SetPixel(dc, 1, 1, RGB(1, 2, 3)));
    EXPECT_EQ(RGB(1, 2, 3), GetPixel(dc, 1, 1));
    EXPECT_EQ(2, describe(bitmap).bmWidth);
    EXPECT_EQ(bitmap, SelectObject(dc, stock));
    BITMAP description;
    EXPECT_EQ(0, GetObjectA(bitmap, sizeof description, &description));
    EXPECT_FALSE(DeleteObject(bitmap));

    // Deleting the DC lets go of it too.
    HBITMAP second = CreateCompatibleBitmap(display, 2, 2);
    SelectObject(dc, second);
    EXPECT_TRUE(DeleteObject(second));
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_EQ(0, GetObjectA(second, sizeof description, &description));
    DeleteDC(display);
}

TEST(GdiDeviceContext, DeletedSelectedFontStaysUntilDeselected) {
    HDC dc = CreateCompatibleDC(nullptr);
    LOGFONTA description{};
    HFONT font = CreateFontIndirectA(&description);
    HGDIOBJ system = SelectObject(dc, font);
    EXPECT_TRUE(DeleteObject(font));
    EXPECT_EQ(60, GetObjectA(font, sizeof description, &description));
    SelectObject(dc, system);
    EXPECT_EQ(0, GetObjectA(font, sizeof description, &description));
    DeleteDC(dc);
}

TEST(GdiDeviceContext, StaleAndForeignHandlesAreRefused) {
    Canvas canvas(2, 2);
    HDC dead = CreateCompatibleDC(nullptr);
    ASSERT_TRUE(DeleteDC(dead));
    EXPECT_EQ(CLR_INVALID, SetPixel(dead, 0, 0, 0));
    EXPECT_EQ(CLR_INVALID, GetPixel(dead, 0, 0));
    EXPECT_FALSE(SetPixelV(dead, 0, 0, 0));
    EXPECT_FALSE(DeleteDC(dead));
    EXPECT_EQ(0, GetMapMode(dead));
    EXPECT_EQ(nullptr, SelectObject(dead, GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(nullptr, CreateCompatibleDC(dead));
    EXPECT_FALSE(BitBlt(canvas.dc, 0, 0, 1, 1, dead, 0, 0, SRCCOPY));
    EXPECT_FALSE(BitBlt(dead, 0, 0, 1, 1, canvas.dc, 0, 0, SRCCOPY));
    EXPECT_FALSE(TextOutA(dead, 0, 0, "x", 1));

    HBITMAP gone = CreateCompatibleBitmap(canvas.display, 2, 2);
    ASSERT_TRUE(DeleteObject(gone));
    BITMAP description;
    EXPECT_EQ(0, GetObjectA(gone, sizeof description, &description));
    EXPECT_EQ(nullptr, SelectObject(canvas.dc, gone));
    EXPECT_FALSE(DeleteObject(gone));

    // A bitmap is not a DC, and made-up values are nothing at all.
    EXPECT_EQ(CLR_INVALID, GetPixel(reinterpret_cast<HDC>(canvas.bitmap), 0, 0));
    EXPECT_EQ(CLR_INVALID, GetPixel(reinterpret_cast<HDC>(0x1234), 0, 0));
    EXPECT_EQ(0, GetObjectA(reinterpret_cast<HGDIOBJ>(0x1234), sizeof description, &description));
    EXPECT_FALSE(DeleteObject(nullptr));
    EXPECT_EQ(nullptr, CreateCompatibleBitmap(nullptr, 2, 2));
}

TEST(GdiBitmap, CompatibleBitmapIs32BitsAndZeroed) {
    Canvas canvas(5, 3);
    const BITMAP description = describe(canvas.bitmap);
    EXPECT_EQ(0, description.bmType);
    EXPECT_EQ(5, description.bmWidth);
    EXPECT_EQ(3, description.bmHeight);
    EXPECT_EQ(20, description.bmWidthBytes);
    EXPECT_EQ(1, description.bmPlanes);
    EXPECT_EQ(32, description.bmBitsPixel);
    EXPECT_EQ(nullptr, description.bmBits);
    EXPECT_EQ(std::vector<COLORREF>(15, 0), canvas.pixels(5, 3));
    EXPECT_EQ(static_cast<int>(sizeof(BITMAP)), GetObjectA(canvas.bitmap, 0, nullptr));
    BITMAP small;
    EXPECT_EQ(0, GetObjectA(canvas.bitmap, sizeof small - 1, &small));
}

TEST(GdiBitmap, CompatibleBitmapOfZeroExtentIsTheStockOne) {
    Canvas canvas(1, 1);
    HBITMAP empty = CreateCompatibleBitmap(canvas.display, 0, 5);
    ASSERT_NE(nullptr, empty);
    EXPECT_EQ(canvas.stock, empty);
    EXPECT_EQ(nullptr, CreateCompatibleBitmap(canvas.display, 100000, 100000));
}

TEST(GdiBitmap, DibSectionsAreZeroedAndBottomUp) {
    const int bitCounts[] = {8, 16, 24, 32};
    for (int bitCount : bitCounts) {
        SCOPED_TRACE(bitCount);
        unsigned char* bits = nullptr;
        Canvas canvas(makeDib(bitCount, 3, 4, &bits));
        ASSERT_NE(nullptr, canvas.bitmap);
        ASSERT_NE(nullptr, bits);
        const int rowBytes = (3 * bitCount / 8 + 3) / 4 * 4;
        EXPECT_EQ(std::vector<unsigned char>(rowBytes * 4, 0),
                  std::vector<unsigned char>(bits, bits + rowBytes * 4));
        const BITMAP description = describe(canvas.bitmap);
        EXPECT_EQ(bits, description.bmBits);
        EXPECT_EQ(rowBytes, description.bmWidthBytes);
        EXPECT_EQ(4, description.bmHeight);
        EXPECT_EQ(bitCount, description.bmBitsPixel);

        // The bottom row comes first in memory.
        SetPixelV(canvas.dc, 0, 3, RGB(255, 0, 127));
        EXPECT_NE(0, bits[0] | bits[1]);
        SetPixelV(canvas.dc, 0, 0, RGB(255, 0, 127));
        EXPECT_NE(0, bits[3 * rowBytes] | bits[3 * rowBytes + 1]);
    }
}

// Large surfaces come from their own pages rather than the heap: still zeroed, still whole,
// and given back, again and again.
TEST(GdiBitmap, LargeDibSectionsAreZeroedWholeAndReleased) {
    for (int round = 0; round < 3; ++round) {
        unsigned char* bits = nullptr;
        Canvas canvas(makeDib(32, 1024, 1536, &bits));
        ASSERT_NE(nullptr, bits);
        const std::size_t bytes = std::size_t{1024} * 1536 * 4;
        EXPECT_EQ(bytes, (std::size_t)std::count(bits, bits + bytes, 0));
        SetPixelV(canvas.dc, 1023, 0, RGB(9, 8, 7));
        EXPECT_EQ(RGB(9, 8, 7), GetPixel(canvas.dc, 1023, 0));
        EXPECT_EQ(7, bits[bytes - 4]);
    }
}

TEST(GdiBitmap, NegativeHeightDibSectionIsTopDown) {
    unsigned char* bits = nullptr;
    Canvas canvas(makeDib(24, 2, -3, &bits));
    ASSERT_NE(nullptr, bits);
    EXPECT_EQ(3, describe(canvas.bitmap).bmHeight);
    SetPixelV(canvas.dc, 1, 0, RGB(0x12, 0x34, 0x56));
    EXPECT_EQ(0x56, bits[3]);
    EXPECT_EQ(0x34, bits[4]);
    EXPECT_EQ(0x12, bits[5]);
}

TEST(GdiBitmap, UnsupportedDibSectionsAreRefused) {
    const int bitCounts[] = {0, 12, 64};
    for (int bitCount : bitCounts) {
        unsigned char* bits = reinterpret_cast<unsigned char*>(1);
        EXPECT_EQ(nullptr, makeDib(bitCount, 3, 2, &bits)) << bitCount;
        EXPECT_EQ(nullptr, bits);
    }
    unsigned char* bits;
    EXPECT_EQ(nullptr, makeDib(24, 0, 2, &bits));
    EXPECT_EQ(nullptr, makeDib(24, -3, 2, &bits));
    EXPECT_EQ(nullptr, makeDib(24, 3, 0, &bits));
    EXPECT_EQ(nullptr, makeDib(32, 0x10000, 0x10000, &bits));
    EXPECT_EQ(nullptr, makeDib(32, 0x7fffffff, 2, &bits));
    EXPECT_EQ(nullptr, CreateDIBSection(nullptr, nullptr, DIB_RGB_COLORS, nullptr, nullptr, 0));
}

TEST(GdiBitmap, ColourTableOfAnEightBitDibSection) {
    unsigned char* bits = nullptr;
    Canvas canvas(makeDib(8, 4, 1, &bits));
    RGBQUAD table[256];
    ASSERT_EQ(256u, GetDIBColorTable(canvas.dc, 0, 256, table));
    EXPECT_EQ(200, table[200].rgbRed);
    EXPECT_EQ(55, table[200].rgbGreen);
    EXPECT_EQ(100, table[200].rgbBlue);

    bits[0] = 7;
    EXPECT_EQ(RGB(7, 248, 3), GetPixel(canvas.dc, 0, 0));
    const RGBQUAD red{0, 0, 255, 0};
    EXPECT_EQ(1u, SetDIBColorTable(canvas.dc, 7, 1, &red));
    EXPECT_EQ(RGB(255, 0, 0), GetPixel(canvas.dc, 0, 0));
    EXPECT_EQ(6u, SetDIBColorTable(canvas.dc, 250, 10, table));
    EXPECT_EQ(6u, GetDIBColorTable(canvas.dc, 250, 10, table));
    EXPECT_EQ(0u, SetDIBColorTable(canvas.dc, 256, 1, table));
    EXPECT_EQ(0u, GetDIBColorTable(canvas.dc, 300, 1, table));

    // A pixel takes the nearest entry, the first of equals.
    EXPECT_EQ(RGB(255, 0, 0), SetPixel(canvas.dc, 1, 0, RGB(250, 10, 0)));
    EXPECT_EQ(7, bits[1]);
    const RGBQUAD greys[2] = {{10, 10, 10, 0}, {30, 30, 30, 0}};
    SetDIBColorTable(canvas.dc, 5, 2, greys);
    EXPECT_EQ(RGB(10, 10, 10), SetPixel(canvas.dc, 2, 0, RGB(20, 20, 20)));
    EXPECT_EQ(5, bits[2]);
}

TEST(GdiBitmap, ColourTableCallsNeedAnEightBitDibSection) {
    RGBQUAD table[4] = {};
    unsigned char* bits = nullptr;
    Canvas truecolour(makeDib(24, 4, 1, &bits));
    EXPECT_EQ(0u, GetDIBColorTable(truecolour.dc, 0, 4, table));
    EXPECT_EQ(0u, SetDIBColorTable(truecolour.dc, 0, 4, table));
    Canvas compatible(4, 1);
    EXPECT_EQ(0u, GetDIBColorTable(compatible.dc, 0, 4, table));
}

TEST(GdiPixels, SixteenBitsAreFiveFiveFive) {
    unsigned char* bits = nullptr;
    Canvas canvas(makeDib(16, 2, 1, &bits));
    EXPECT_EQ(RGB(0x10, 0x31, 0x52), SetPixel(canvas.dc, 0, 0, RGB(0x12, 0x34, 0x56)));
    EXPECT_EQ(0xca, bits[0]);
    EXPECT_EQ(0x08, bits[1]);
    bits[2] = 0x21;
    bits[3] = 0x84;
    EXPECT_EQ(RGB(8, 8, 8), GetPixel(canvas.dc, 1, 0));
    bits[2] = 0xff;
    bits[3] = 0x7f;
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(canvas.dc, 1, 0));
}

TEST(GdiPixels, ThirtyTwoBitsAreBlueGreenRedAndIgnoreTheFourthByte) {
    unsigned char* bits = nullptr;
    Canvas canvas(makeDib(32, 1, 1, &bits));
    EXPECT_EQ(RGB(0x12, 0x34, 0x56), SetPixel(canvas.dc, 0, 0, RGB(0x12, 0x34, 0x56)));
    EXPECT_EQ(0x56, bits[0]);
    EXPECT_EQ(0x34, bits[1]);
    EXPECT_EQ(0x12, bits[2]);
    bits[3] = 0xaa;
    EXPECT_EQ(RGB(0x12, 0x34, 0x56), GetPixel(canvas.dc, 0, 0));
}

TEST(GdiPixels, ReadsAndWritesAreClippedToTheBitmap) {
    Canvas canvas(4, 3);
    canvas.fill(RGB(9, 9, 9), 4, 3);
    const std::vector<COLORREF> before = canvas.pixels(4, 3);
    const POINT outside[] = {{-1, 0}, {4, 0}, {0, -1}, {0, 3}, {-100000, 100000}};
    for (const POINT& p : outside) {
        EXPECT_EQ(CLR_INVALID, GetPixel(canvas.dc, p.x, p.y));
        SetPixel(canvas.dc, p.x, p.y, RGB(255, 0, 0));
        SetPixelV(canvas.dc, p.x, p.y, RGB(255, 0, 0));
    }
    EXPECT_EQ(before, canvas.pixels(4, 3));
    EXPECT_TRUE(SetPixelV(canvas.dc, 3, 2, RGB(1, 2, 3)));
    EXPECT_EQ(RGB(1, 2, 3), GetPixel(canvas.dc, 3, 2));
}

TEST(GdiPixels, FillRectIsClippedAndUsesTheBrushColour) {
    Canvas canvas(4, 3);
    const RECT rect{1, 1, 10, 2};
    EXPECT_NE(0, FillRect(canvas.dc, &rect, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))));
    const COLORREF w = RGB(255, 255, 255);
    EXPECT_EQ((std::vector<COLORREF>{0, 0, 0, 0, 0, w, w, w, 0, 0, 0, 0}), canvas.pixels(4, 3));
    const RECT all{-5, -5, 50, 50};
    FillRect(canvas.dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(std::vector<COLORREF>(12, 0), canvas.pixels(4, 3));
}

TEST(GdiBlit, CopiesOnlyWhatLiesInsideBothBitmaps) {
    Canvas source(4, 3), target(4, 3);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            SetPixelV(source.dc, x, y, RGB(x, y, 7));
        }
    }
    const COLORREF k = RGB(0xaa, 0xbb, 0xcc);
    target.fill(k, 4, 3);
    // Source rectangle starts above and left of the source bitmap: those pixels keep theirs.
    EXPECT_TRUE(BitBlt(target.dc, 0, 0, 4, 3, source.dc, -1, -1, SRCCOPY));
    EXPECT_EQ((std::vector<COLORREF>{k, k, k, k,                                   //
                                     k, RGB(0, 0, 7), RGB(1, 0, 7), RGB(2, 0, 7),  //
                                     k, RGB(0, 1, 7), RGB(1, 1, 7), RGB(2, 1, 7)}),
              target.pixels(4, 3));
    target.fill(k, 4, 3);
    EXPECT_TRUE(BitBlt(target.dc, 1, 1, 10, 10, source.dc, 2, 1, SRCCOPY));
    EXPECT_EQ((std::vector<COLORREF>{k, k, k, k,                        //
                                     k, RGB(2, 1, 7), RGB(3, 1, 7), k,  //
                                     k, RGB(2, 2, 7), RGB(3, 2, 7), k}),
              target.pixels(4, 3));
    target.fill(k, 4, 3);
    EXPECT_TRUE(BitBlt(target.dc, -1, 0, 2, 1, source.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(RGB(1, 0, 7), GetPixel(target.dc, 0, 0));
    EXPECT_EQ(k, GetPixel(target.dc, 1, 0));
    EXPECT_TRUE(BitBlt(target.dc, 0, 0, 2, 2, source.dc, 10, 10, SRCCOPY));
    EXPECT_FALSE(BitBlt(target.dc, 0, 0, 2, 2, nullptr, 0, 0, SRCCOPY));
}

TEST(GdiBlit, OverlappingCopyWithinOneBitmap) {
    Canvas canvas(4, 3);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            SetPixelV(canvas.dc, x, y, RGB(x, y, 0));
        }
    }
    EXPECT_TRUE(BitBlt(canvas.dc, 1, 1, 3, 2, canvas.dc, 0, 0, SRCCOPY));
    EXPECT_EQ((std::vector<COLORREF>{RGB(0, 0, 0), RGB(1, 0, 0), RGB(2, 0, 0), RGB(3, 0, 0),  //
                                     RGB(0, 1, 0), RGB(0, 0, 0), RGB(1, 0, 0), RGB(2, 0, 0),  //
                                     RGB(0, 2, 0), RGB(0, 1, 0), RGB(1, 1, 0), RGB(2, 1, 0)}),
              canvas.pixels(4, 3));
    EXPECT_TRUE(BitBlt(canvas.dc, 0, 0, 3, 2, canvas.dc, 1, 1, SRCCOPY));
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(canvas.dc, 0, 0));
    EXPECT_EQ(RGB(1, 1, 0), GetPixel(canvas.dc, 1, 1));
}

TEST(GdiBlit, ConvertsBetweenPixelFormats) {
    unsigned char* indexed = nullptr;
    unsigned char* packed = nullptr;
    Canvas eight(makeDib(8, 2, 1, &indexed)), sixteen(makeDib(16, 2, 1, &packed)), target(2, 1);
    indexed[0] = 0x40;
    EXPECT_TRUE(BitBlt(target.dc, 0, 0, 1, 1, eight.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(RGB(0x40, 0xbf, 0x20), GetPixel(target.dc, 0, 0));
    packed[0] = 0x21;
    packed[1] = 0x84;
    EXPECT_TRUE(BitBlt(target.dc, 0, 0, 1, 1, sixteen.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(RGB(8, 8, 8), GetPixel(target.dc, 0, 0));

    SetPixelV(target.dc, 1, 0, RGB(0x12, 0x34, 0x56));
    EXPECT_TRUE(BitBlt(sixteen.dc, 0, 0, 2, 1, target.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(0xca, packed[2]);
    EXPECT_EQ(0x08, packed[3]);
    EXPECT_TRUE(BitBlt(eight.dc, 0, 0, 2, 1, target.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(118, indexed[1]);
}

TEST(GdiBlit, EightBitsToEightBitsGoThroughTheColours) {
    unsigned char* from = nullptr;
    unsigned char* to = nullptr;
    Canvas source(makeDib(8, 2, 1, &from)), target(makeDib(8, 2, 1, &to));
    from[0] = 7;
    from[1] = 200;
    EXPECT_TRUE(BitBlt(target.dc, 0, 0, 2, 1, source.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(7, to[0]);
    EXPECT_EQ(200, to[1]);
    // Once entry 7 of the target is red, the source's colour 7 is nearest to the target's 6.
    const RGBQUAD red{0, 0, 255, 0};
    SetDIBColorTable(target.dc, 7, 1, &red);
    EXPECT_TRUE(BitBlt(target.dc, 0, 0, 2, 1, source.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(6, to[0]);
    EXPECT_EQ(200, to[1]);
}

// Wine's default font differs from ours, so only the frame of the text is checked here.
TEST(GdiText, DrawsBlackOnAnOpaqueWhiteLineSixteenPixelsHigh) {
    const int width = 120, height = 40, x = 10, y = 10;
    Canvas canvas(width, height);
    const COLORREF grey = RGB(128, 128, 128);
    canvas.fill(grey, width, height);
    EXPECT_TRUE(TextOutA(canvas.dc, x, y, "Hg", 2));
    bool black = false, whiteTop = false, whiteBottom = false;
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            const COLORREF pixel = GetPixel(canvas.dc, column, row);
            if (pixel == grey) {
                continue;
            }
            EXPECT_TRUE(row >= y && row < y + 16 && column >= x && column < x + 2 * 10)
                << column << "," << row;
            black = black || pixel == RGB(0, 0, 0);
            whiteTop = whiteTop || (row == y && pixel == RGB(255, 255, 255));
            whiteBottom = whiteBottom || (row == y + 15 && pixel == RGB(255, 255, 255));
        }
    }
    EXPECT_TRUE(black);
    EXPECT_TRUE(whiteTop);
    EXPECT_TRUE(whiteBottom);
}

TEST(GdiText, ClippedAtTheBitmapEdgesAndRefusesANegativeLength) {
    Canvas canvas(8, 8);
    const COLORREF grey = RGB(128, 128, 128);
    canvas.fill(grey, 8, 8);
    EXPECT_TRUE(TextOutA(canvas.dc, -3, -5, "WWWWWWWWWWWW", 12));
    EXPECT_NE(grey, GetPixel(canvas.dc, 0, 0));
    EXPECT_TRUE(TextOutA(canvas.dc, 100000, 100000, "W", 1));
    canvas.fill(grey, 8, 8);
    EXPECT_TRUE(TextOutA(canvas.dc, 0, 0, "W", 0));
    EXPECT_FALSE(TextOutA(canvas.dc, 0, 0, "W", -1));
    EXPECT_EQ(std::vector<COLORREF>(64, grey), canvas.pixels(8, 8));
}

TEST(GdiFont, SystemFontDescription) {
    LOGFONTA font{};
    HGDIOBJ system = GetStockObject(SYSTEM_FONT);
    EXPECT_EQ(60, GetObjectA(system, 0, nullptr));
    EXPECT_EQ(60, GetObjectA(system, 60, &font));
    EXPECT_EQ(16, font.lfHeight);
    EXPECT_EQ(700, font.lfWeight);
    EXPECT_STREQ("System", font.lfFaceName);
}

TEST(GdiFont, CreatedFontHandsBackItsDescription) {
    LOGFONTA wanted{};
    wanted.lfHeight = -11;
    wanted.lfWeight = 400;
    wanted.lfItalic = 1;
    std::strcpy(wanted.lfFaceName, "Courier");
    HFONT font = CreateFontIndirectA(&wanted);
    ASSERT_NE(nullptr, font);
    LOGFONTA got{};
    EXPECT_EQ(60, GetObjectA(font, sizeof got, &got));
    EXPECT_EQ(0, std::memcmp(&wanted, &got, sizeof got));
    EXPECT_EQ(10, GetObjectA(font, 10, &got));
    EXPECT_EQ(nullptr, CreateFontIndirectA(nullptr));
    EXPECT_TRUE(DeleteObject(font));
    EXPECT_EQ(0, GetObjectA(font, sizeof got, &got));
}

TEST(GdiMapping, TextModeIsTheIdentity) {
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(MM_TEXT, GetMapMode(dc));
    POINT points[2] = {{100, -7}, {0, 480}};
    EXPECT_TRUE(DPtoLP(dc, points, 2));
    EXPECT_EQ(100, points[0].x);
    EXPECT_EQ(-7, points[0].y);
    EXPECT_EQ(480, points[1].y);
    EXPECT_TRUE(DPtoLP(dc, points, 0));
    EXPECT_FALSE(DPtoLP(nullptr, points, 1));
    DeleteDC(dc);
}

TEST(GdiMapping, SetMapModeKeepsTheModeAndReturnsThePrevious) {
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(MM_TEXT, SetMapMode(dc, MM_LOMETRIC));
    EXPECT_EQ(0, SetMapMode(dc, 0));
    EXPECT_EQ(0, SetMapMode(dc, 9));
    EXPECT_EQ(MM_LOMETRIC, GetMapMode(dc));
    // A tenth of a millimetre a unit, y upwards; the display's exact size differs a little.
    POINT point{100, 100};
    EXPECT_TRUE(DPtoLP(dc, &point, 1));
    EXPECT_NEAR(265, point.x, 2);
    EXPECT_NEAR(-265, point.y, 2);
    EXPECT_EQ(MM_LOMETRIC, SetMapMode(dc, MM_TEXT));
    EXPECT_EQ(0, SetMapMode(nullptr, MM_TEXT));
    DeleteDC(dc);
}

}  // namespace
