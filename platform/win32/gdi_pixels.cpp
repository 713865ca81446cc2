// Pixels: single-pixel writes and reads, rectangle fills and block copies, all clipped to the
// bitmap selected into the DC. SetPixelV is called for every pixel the renderer draws, so its
// path is a table lookup, a bounds check and one store.
#include "platform/win32/gdi_internal.h"

#include <algorithm>

namespace shim::gdi {

// Squared distance in RGB; the first entry of the smallest distance wins, as in GDI.
std::uint8_t nearestIndex(const RGBQUAD* palette, int size, COLORREF colour) {
    const int r = GetRValue(colour), g = GetGValue(colour), b = GetBValue(colour);
    int best = 0;
    int bestDistance = INT32_MAX;
    for (int i = 0; i < size && bestDistance != 0; ++i) {
        const int dr = palette[i].rgbRed - r, dg = palette[i].rgbGreen - g,
                  db = palette[i].rgbBlue - b;
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return static_cast<std::uint8_t>(best);
}

namespace {

int bytesPerPixel(PixelFormat format) {
    switch (format) {
        case PixelFormat::Indexed8:
            return 1;
        case PixelFormat::Rgb555:
            return 2;
        case PixelFormat::Bgr24:
            return 3;
        case PixelFormat::Bgr32:
            break;
    }
    return 4;
}

// Same bytes mean the same colours: the pixels can be copied as they are.
bool sameLayout(const Surface& a, const Surface& b) {
    if (a.format != b.format) {
        return false;
    }
    return a.format != PixelFormat::Indexed8 || a.palette == b.palette ||
           (a.paletteSize == b.paletteSize &&
            std::memcmp(a.palette, b.palette, a.paletteSize * sizeof(RGBQUAD)) == 0);
}

struct Block {
    int toX, toY, fromX, fromY, width, height;
};

// Rows go in the order that reads each source row before it is overwritten, in case source
// and destination are the same bitmap.
void copyRows(const Surface& to, const Surface& from, const Block& block) {
    const int size = bytesPerPixel(to.format);
    const bool upwards = to.top == from.top && block.toY > block.fromY;
    for (int i = 0; i < block.height; ++i) {
        const int row = upwards ? block.height - 1 - i : i;
        std::memmove(to.top + (block.toY + row) * to.stride + block.toX * size,
                     from.top + (block.fromY + row) * from.stride + block.fromX * size,
                     static_cast<std::size_t>(block.width) * size);
    }
}

// Different formats are different bitmaps, so no overlap; colours go through COLORREF.
void convertRows(const Surface& to, const Surface& from, const Block& block) {
    COLORREF lastColour = CLR_INVALID;
    std::uint32_t lastPixel = 0;
    for (int row = 0; row < block.height; ++row) {
        for (int column = 0; column < block.width; ++column) {
            const COLORREF colour =
                decodePixel(from, getPixel(from, block.fromX + column, block.fromY + row));
            if (colour != lastColour) {
                lastColour = colour;
                lastPixel = encodePixel(to, colour);
            }
            putPixel(to, block.toX + column, block.toY + row, lastPixel);
        }
    }
}

}  // namespace

}  // namespace shim::gdi

using namespace shim::gdi;

COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour) {
    const Dc* d = findDc(dc);
    if (!d || !insideSurface(d->surface, x, y)) {
        return CLR_INVALID;
    }
    const std::uint32_t pixel = encodePixel(d->surface, colour);
    putPixel(d->surface, x, y, pixel);
    return decodePixel(d->surface, pixel);
}

BOOL SetPixelV(HDC dc, int x, int y, COLORREF colour) {
    const Dc* d = findDc(dc);
    if (!d || !insideSurface(d->surface, x, y)) {
        return FALSE;
    }
    const Surface& surface = d->surface;
    if (surface.format == PixelFormat::Bgr32) {
        const std::uint32_t pixel =
            ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
        reinterpret_cast<std::uint32_t*>(surface.top + y * surface.stride)[x] = pixel;
        return TRUE;
    }
    putPixel(surface, x, y, encodePixel(surface, colour));
    return TRUE;
}

COLORREF GetPixel(HDC dc, int x, int y) {
    const Dc* d = findDc(dc);
    if (!d || !insideSurface(d->surface, x, y)) {
        return CLR_INVALID;
    }
    return decodePixel(d->surface, getPixel(d->surface, x, y));
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
    const Dc* d = findDc(dc);
    const GdiObject* fill = findObject(brush);
    if (!d || !rect || !fill || fill->kind != ObjectKind::Brush) {
        return 0;
    }
    const Surface& surface = d->surface;
    const int left = std::max<LONG>(rect->left, 0),
              right = std::min<LONG>(rect->right, surface.width);
    const int top = std::max<LONG>(rect->top, 0),
              bottom = std::min<LONG>(rect->bottom, surface.height);
    if (fill->hollowBrush || left >= right || top >= bottom) {
        return 1;
    }
    const std::uint32_t pixel = encodePixel(surface, fill->brushColour);
    for (int y = top; y < bottom; ++y) {
        if (surface.format == PixelFormat::Bgr32) {
            auto* row = reinterpret_cast<std::uint32_t*>(surface.top + y * surface.stride);
            std::fill(row + left, row + right, pixel);
            continue;
        }
        for (int x = left; x < right; ++x) {
            putPixel(surface, x, y, pixel);
        }
    }
    return 1;
}

// SRCCOPY only. What is copied lies inside both bitmaps; destination pixels whose source lies
// outside the source bitmap keep their contents.
BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
            DWORD rop) {
    const Dc* to = findDc(dest);
    const Dc* from = findDc(source);
    if (!to || !from || from->kind == DcKind::Display || rop != SRCCOPY || width < 0 ||
        height < 0) {
        return FALSE;
    }
    const Surface& target = to->surface;
    const Surface& origin = from->surface;
    const std::int64_t left = std::max({std::int64_t{0}, -std::int64_t{x}, -std::int64_t{sourceX}});
    const std::int64_t top = std::max({std::int64_t{0}, -std::int64_t{y}, -std::int64_t{sourceY}});
    const std::int64_t right = std::min({std::int64_t{width}, std::int64_t{target.width} - x,
                                         std::int64_t{origin.width} - sourceX});
    const std::int64_t bottom = std::min({std::int64_t{height}, std::int64_t{target.height} - y,
                                          std::int64_t{origin.height} - sourceY});
    if (left >= right || top >= bottom) {
        return TRUE;
    }
    const Block block{static_cast<int>(x + left),       static_cast<int>(y + top),
                      static_cast<int>(sourceX + left), static_cast<int>(sourceY + top),
                      static_cast<int>(right - left),   static_cast<int>(bottom - top)};
    if (sameLayout(target, origin)) {
        copyRows(target, origin, block);
    } else {
        convertRows(target, origin, block);
    }
    return TRUE;
}
