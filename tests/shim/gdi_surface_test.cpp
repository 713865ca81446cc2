// What the shim's GDI promises beyond the portable tests: the window side's face
// (platform/win32/surface.h), and answers where Wine and the documented GDI part ways.
#include "platform/win32/surface.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Display {
    HDC dc = CreateDCA("Display", nullptr, nullptr, nullptr);
    ~Display() { DeleteDC(dc); }
};

TEST(GdiSurface, WindowDcDrawsIntoTheWindowsBitmap) {
    Display display;
    HBITMAP surface = CreateCompatibleBitmap(display.dc, 3, 2);
    HDC window = shim::createWindowDC(surface);
    ASSERT_NE(nullptr, window);
    EXPECT_TRUE(SetPixelV(window, 2, 1, RGB(0x12, 0x34, 0x56)));
    shim::PixelView view{};
    ASSERT_TRUE(shim::readBitmapPixels(surface, &view));
    EXPECT_EQ(3, view.width);
    EXPECT_EQ(2, view.height);
    EXPECT_EQ(3, view.stride);
    EXPECT_EQ(0x123456u, view.pixels[1 * view.stride + 2]);
    EXPECT_EQ(0u, view.pixels[0]);

    // A window DC keeps its bitmap, and while it is out nobody else can select that bitmap.
    HDC memory = CreateCompatibleDC(window);
    EXPECT_EQ(nullptr, SelectObject(window, CreateCompatibleBitmap(display.dc, 1, 1)));
    EXPECT_EQ(nullptr, SelectObject(memory, surface));
    EXPECT_TRUE(DeleteDC(window));
    EXPECT_TRUE(DeleteObject(surface));
    EXPECT_FALSE(shim::readBitmapPixels(surface, &view));
    DeleteDC(memory);
}

TEST(GdiSurface, WindowBitmapDeletedWhileItsDcIsOutLastsUntilTheDcGoes) {
    Display display;
    HBITMAP surface = CreateCompatibleBitmap(display.dc, 2, 2);
    HDC window = shim::createWindowDC(surface);
    EXPECT_TRUE(DeleteObject(surface));
    EXPECT_TRUE(SetPixelV(window, 1, 1, RGB(1, 2, 3)));
    shim::PixelView view{};
    EXPECT_TRUE(shim::readBitmapPixels(surface, &view));
    EXPECT_EQ(nullptr, shim::createWindowDC(surface));
    DeleteDC(window);
    EXPECT_FALSE(shim::readBitmapPixels(surface, &view));
}

TEST(GdiSurface, OnlyCompatibleBitmapsBackAWindow) {
    Display display;
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{40, 2, 2, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(display.dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(nullptr, dib);
    shim::PixelView view{};
    EXPECT_FALSE(shim::readBitmapPixels(dib, &view));
    EXPECT_EQ(nullptr, shim::createWindowDC(dib));
    EXPECT_FALSE(shim::readBitmapPixels(nullptr, &view));
    EXPECT_EQ(nullptr, shim::createWindowDC(reinterpret_cast<HBITMAP>(display.dc)));
    HBITMAP surface = CreateCompatibleBitmap(display.dc, 1, 1);
    EXPECT_FALSE(shim::readBitmapPixels(surface, nullptr));
    DeleteObject(surface);
    DeleteObject(dib);
}

// Documented GDI answers CLR_INVALID and FALSE outside the bitmap; Wine answers the colour.
TEST(GdiSurface, PixelWritesOutsideTheBitmapReportFailure) {
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(CLR_INVALID, SetPixel(dc, 1, 0, RGB(1, 2, 3)));
    EXPECT_FALSE(SetPixelV(dc, 0, 1, RGB(1, 2, 3)));
    // The stock bitmap is one monochrome pixel.
    EXPECT_EQ(RGB(0, 0, 0), SetPixel(dc, 0, 0, RGB(127, 127, 127)));
    EXPECT_EQ(RGB(255, 255, 255), SetPixel(dc, 0, 0, RGB(128, 128, 128)));
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(dc, 0, 0));
    DeleteDC(dc);
    Display display;
    EXPECT_EQ(CLR_INVALID, GetPixel(display.dc, 0, 0));
    EXPECT_FALSE(SetPixelV(display.dc, 0, 0, 0));
}

// Our display has exactly 96 pixels an inch; Wine's rounds its size to whole millimetres.
TEST(GdiSurface, MetricMapModesAtNinetySixDotsAnInch) {
    HDC dc = CreateCompatibleDC(nullptr);
    struct Case {
        int mode;
        LONG x, y;
    };
    const Case cases[] = {{MM_LOMETRIC, 265, -265},  {MM_HIMETRIC, 2646, -2646},
                          {MM_LOENGLISH, 104, -104}, {MM_HIENGLISH, 1042, -1042},
                          {MM_TWIPS, 1500, -1500},   {MM_ISOTROPIC, 265, -265}};
    for (const Case& c : cases) {
        SetMapMode(dc, c.mode);
        POINT point{100, 100};
        EXPECT_TRUE(DPtoLP(dc, &point, 1));
        EXPECT_EQ(c.x, point.x) << c.mode;
        EXPECT_EQ(c.y, point.y) << c.mode;
    }
    // Anisotropic keeps the scale it finds; halves round upwards.
    SetMapMode(dc, MM_TWIPS);
    SetMapMode(dc, MM_ANISOTROPIC);
    POINT point{-3, 0x7fffffff};
    EXPECT_TRUE(DPtoLP(dc, &point, 1));
    EXPECT_EQ(-45, point.x);
    EXPECT_EQ(-0x7fffffff - 1, point.y);
    SetMapMode(dc, MM_LOENGLISH);
    POINT half{48, -48};
    DPtoLP(dc, &half, 1);
    EXPECT_EQ(50, half.x);
    EXPECT_EQ(50, half.y);
    DeleteDC(dc);
}

TEST(GdiSurface, HandleTablesRecycleSlotsWithoutReusingHandles) {
    HDC first = CreateCompatibleDC(nullptr);
    DeleteDC(first);
    HDC second = CreateCompatibleDC(nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(0, GetMapMode(first));
    EXPECT_EQ(MM_TEXT, GetMapMode(second));
    DeleteDC(second);
    // Many more than the tables hold, one at a time.
    for (int i = 0; i < 100000; ++i) {
        HDC dc = CreateCompatibleDC(nullptr);
        ASSERT_NE(nullptr, dc);
        ASSERT_TRUE(DeleteDC(dc));
    }
}

TEST(GdiSurface, FullObjectTableRefusesNewObjectsAndKeepsTheStockOnes) {
    std::vector<HFONT> fonts;
    LOGFONTA description{};
    while (HFONT font = CreateFontIndirectA(&description)) {
        fonts.push_back(font);
        ASSERT_LT(fonts.size(), 100000u);
    }
    HDC display = CreateDCA("Display", nullptr, nullptr, nullptr);
    EXPECT_EQ(nullptr, CreateCompatibleBitmap(display, 2, 2));
    HDC dc = CreateCompatibleDC(display);
    ASSERT_NE(nullptr, dc);
    EXPECT_NE(0, GetObjectA(GetStockObject(SYSTEM_FONT), 0, nullptr));
    const RECT rect{0, 0, 1, 1};
    EXPECT_NE(0, FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))));
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(dc, 0, 0));
    for (HFONT font : fonts) {
        DeleteObject(font);
    }
    HBITMAP bitmap = CreateCompatibleBitmap(display, 2, 2);
    EXPECT_NE(nullptr, bitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    DeleteDC(display);
}

}  // namespace
