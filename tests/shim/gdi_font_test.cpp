// The shim's own text font: fixed cells, so the head-up lines land where the program puts them.
#include "platform/win32/win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr int width = 480, height = 40;
constexpr COLORREF grey = RGB(128, 128, 128);

struct Line {
    HDC display = CreateDCA("Display", nullptr, nullptr, nullptr);
    HDC dc = CreateCompatibleDC(display);
    HBITMAP bitmap = CreateCompatibleBitmap(display, width, height);
    HGDIOBJ stock = SelectObject(dc, bitmap);

    Line() {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                SetPixelV(dc, x, y, grey);
            }
        }
    }
    ~Line() {
        SelectObject(dc, stock);
        DeleteObject(bitmap);
        DeleteDC(dc);
        DeleteDC(display);
    }
};

// Columns [first, last] that the text changed, and whether the changed pixels were all black
// or white inside rows [y, y + 16).
struct Extent {
    int first = width, last = -1;
    bool onlyInk = true, insideLine = true;
};

Extent drawAndMeasure(const char* text, int x, int y = 10) {
    Line line;
    EXPECT_TRUE(TextOutA(line.dc, x, y, text, static_cast<int>(std::strlen(text))));
    Extent extent;
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            const COLORREF pixel = GetPixel(line.dc, column, row);
            if (pixel == grey) {
                continue;
            }
            extent.first = std::min(extent.first, column);
            extent.last = std::max(extent.last, column);
            extent.onlyInk = extent.onlyInk && (pixel == 0 || pixel == RGB(255, 255, 255));
            extent.insideLine = extent.insideLine && row >= y && row < y + 16;
        }
    }
    return extent;
}

int inkColumns(const char* text) {
    Line line;
    TextOutA(line.dc, 0, 0, text, static_cast<int>(std::strlen(text)));
    int last = -1;
    for (int row = 0; row < 16; ++row) {
        for (int column = 0; column < width; ++column) {
            if (GetPixel(line.dc, column, row) == 0) {
                last = std::max(last, column);
            }
        }
    }
    return last + 1;
}

TEST(GdiFont, EveryCharacterFillsOneFixedCell) {
    const Extent one = drawAndMeasure("M", 0);
    const Extent ten = drawAndMeasure("MMMMMMMMMM", 0);
    EXPECT_EQ(0, one.first);
    EXPECT_LE(one.last + 1, 7);
    EXPECT_EQ(10 * (one.last + 1), ten.last + 1);
    EXPECT_TRUE(ten.onlyInk);
    EXPECT_TRUE(ten.insideLine);
    // A space is a white cell of the same size.
    EXPECT_EQ(one.last, drawAndMeasure(" ", 0).last);
}

TEST(GdiFont, GlyphsHaveInkAndStayInsideTheirCell) {
    for (int code = 33; code < 127; ++code) {
        const char text[2] = {static_cast<char>(code), '\0'};
        const int ink = inkColumns(text);
        EXPECT_GT(ink, 0) << text;
        EXPECT_LE(ink, 7) << text;
    }
    EXPECT_EQ(0, inkColumns(" "));
}

TEST(GdiFont, GlyphsDifferFromEachOther) {
    Line a, b;
    TextOutA(a.dc, 0, 0, "0", 1);
    TextOutA(b.dc, 0, 0, "8", 1);
    bool differ = false;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 8; ++x) {
            differ = differ || GetPixel(a.dc, x, y) != GetPixel(b.dc, x, y);
        }
    }
    EXPECT_TRUE(differ);
}

TEST(GdiFont, HeadUpLinesDoNotOverlap) {
    const Extent fps = drawAndMeasure("0 FPS", 10);
    const Extent fastFps = drawAndMeasure("99999 FPS", 10);
    const Extent escape = drawAndMeasure("Press ESC to exit", 70);
    const Extent texture = drawAndMeasure("Press B to see texture bitmap", 200);
    EXPECT_EQ(10, fps.first);
    EXPECT_LT(fastFps.last, 70);
    EXPECT_EQ(70, escape.first);
    EXPECT_LT(escape.last, 200);
    EXPECT_EQ(200, texture.first);
    EXPECT_LT(texture.last, width);
    EXPECT_TRUE(texture.insideLine);
}

TEST(GdiFont, IgnoresTheSelectedFont) {
    Line plain, chosen;
    LOGFONTA description{};
    description.lfHeight = 40;
    HFONT font = CreateFontIndirectA(&description);
    HGDIOBJ system = SelectObject(chosen.dc, font);
    TextOutA(plain.dc, 3, 4, "Quillon", 7);
    TextOutA(chosen.dc, 3, 4, "Quillon", 7);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < 60; ++x) {
            ASSERT_EQ(GetPixel(plain.dc, x, y), GetPixel(chosen.dc, x, y)) << x << "," << y;
        }
    }
    SelectObject(chosen.dc, system);
    DeleteObject(font);
}

}  // namespace
