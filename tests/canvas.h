// A 500 x 500 memory device context for the rasterizer tests, filled with a colour no test
// draws, so that every written pixel can be found again with GetPixel.
#pragma once

#include "platform/win32/win32.h"

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <vector>

struct Point {
    int x;
    int y;
    bool operator==(Point o) const { return x == o.x && y == o.y; }
    bool operator<(Point o) const { return y != o.y ? y < o.y : x < o.x; }
};

inline std::ostream& operator<<(std::ostream& out, Point p) {
    return out << "(" << p.x << ", " << p.y << ")";
}

// In the order Canvas::written() finds them: row by row, each row left to right.
inline std::vector<Point> sorted(std::vector<Point> points) {
    std::sort(points.begin(), points.end());
    return points;
}

struct Canvas {
    static constexpr int size = 500;
    static constexpr COLORREF untouched = RGB(1, 2, 3);

    HDC dc = CreateCompatibleDC(NULL);
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;

    Canvas() {
        BITMAPINFO info = {};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), size, size, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, NULL, 0);
        if (bits != nullptr) {
            // 32-bit DIB memory is blue, green, red, unused: 0x00RRGGBB read as one word.
            std::fill_n(static_cast<std::uint32_t*>(bits), size * size, 0x00010203u);
            previous = SelectObject(dc, bitmap);
        }
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    ~Canvas() {
        SelectObject(dc, previous);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }

    COLORREF pixel(int x, int y) const { return GetPixel(dc, x, y); }

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
