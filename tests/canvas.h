// A 500 x 500 memory device context for the rasterizer tests, filled with a colour no test
// draws, so that every written pixel can be found again with GetPixel.
#pragma once

#include "platform/win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <vector>

struct Point {
    int x;
    int y;
};

inline bool operator==(Point a, Point b) {
    return a.x == b.x && a.y == b.y;
}

inline bool operator<(Point a, Point b) {
    return a.y != b.y ? a.y < b.y : a.x < b.x;
}

inline std::ostream& operator<<(std::ostream& out, Point p) {
    return out << "(" << p.x << ", " << p.y << ")";
}

inline std::vector<Point> sortedPoints(std::vector<Point> points) {
    std::sort(points.begin(), points.end());
    return points;
}

// Not a fixture itself, so that one test can hold two of them.
struct Canvas {
    static constexpr int size = 500;
    static constexpr COLORREF untouched = RGB(1, 2, 3);

    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;

    bool create() {
        dc = CreateCompatibleDC(NULL);
        if (dc == nullptr) {
            return false;
        }
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = size;
        info.bmiHeader.biHeight = size;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, NULL, 0);
        if (bitmap == nullptr || bits == nullptr) {
            return false;
        }
        // 32-bit DIB memory is blue, green, red, unused: 0x00RRGGBB read as one word.
        std::fill_n(static_cast<std::uint32_t*>(bits), size * size, 0x00010203u);
        previous = SelectObject(dc, bitmap);
        return previous != nullptr;
    }

    void destroy() {
        if (dc != nullptr) {
            SelectObject(dc, previous);
            DeleteDC(dc);
        }
        if (bitmap != nullptr) {
            DeleteObject(bitmap);
        }
        dc = nullptr;
        bitmap = nullptr;
    }

    COLORREF pixel(int x, int y) const { return GetPixel(dc, x, y); }

    // Every written pixel, row by row, each row left to right.
    std::vector<Point> written() const {
        std::vector<Point> points;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                if (GetPixel(dc, x, y) != untouched) {
                    points.push_back({x, y});
                }
            }
        }
        return points;
    }
};

class CanvasTest : public ::testing::Test {
  protected:
    static constexpr int size = Canvas::size;
    static constexpr COLORREF untouched = Canvas::untouched;

    void SetUp() override {
        ASSERT_TRUE(canvas.create());
        dc = canvas.dc;
    }
    void TearDown() override { canvas.destroy(); }

    COLORREF pixel(int x, int y) const { return canvas.pixel(x, y); }
    std::vector<Point> written() const { return canvas.written(); }

    Canvas canvas;
    HDC dc = nullptr;
};
