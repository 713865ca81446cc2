// Inside the shim's GDI: the handle tables, the records behind them, and the pixel formats.
// Nothing outside platform/win32/gdi_*.cpp includes this.
#pragma once

#include "platform/win32/handle_table.h"
#include "platform/win32/win32.h"

#include <cstdint>
#include <cstring>

namespace shim::gdi {

enum class PixelFormat : std::uint8_t { Indexed8, Rgb555, Bgr24, Bgr32 };

// What a device context draws into: the selected bitmap's pixels, addressed from the top row.
struct Surface {
    std::uint8_t* top;
    std::ptrdiff_t stride;  // bytes from one row to the row below; negative for bottom-up DIBs
    int width;
    int height;
    PixelFormat format;
    const RGBQUAD* palette;  // Indexed8 only
    int paletteSize;
};

struct Bitmap {
    Surface surface;
    std::uint32_t* memory;  // owned; words, so the 32-bit path stores whole objects
    std::size_t memoryWords;
    std::uint8_t* bits;  // first byte of the pixel memory as a DIB section exposes it
    LONG rowBytes;
    WORD bitsPixel;  // as GetObjectA reports it
    bool dibSection;
    RGBQUAD colours[256];
};

enum class ObjectKind : std::uint8_t { Bitmap, Brush, Font };

struct GdiObject {
    ObjectKind kind;
    bool stock;
    bool deletePending;  // DeleteObject came while a DC still held it
    bool hollowBrush;
    int selections;  // device contexts that hold it
    COLORREF brushColour;
    Bitmap* bitmap;
    LOGFONTA font;
};

enum class DcKind : std::uint8_t { Memory, Display, Window };

struct Dc {
    Surface surface;
    DcKind kind;
    HGDIOBJ bitmap;
    HGDIOBJ brush;
    HGDIOBJ font;
    int mapMode;
    int unitsPerInch;  // logical units an inch in the map mode; 96 is one unit a pixel
    bool flipY;        // the metric modes count y upwards
};

// The tags 1 and 2 tell a DC handle from an object handle.
using DcTable = HandleTable<Dc, 1024, 1>;
using ObjectTable = HandleTable<GdiObject, 16384, 2>;
extern DcTable dcTable;
extern ObjectTable objectTable;

inline Dc* findDc(HDC handle) {
    return dcTable.find(handle);
}

inline GdiObject* findObject(HGDIOBJ handle) {
    return objectTable.find(handle);
}

inline Bitmap* findBitmap(HGDIOBJ handle) {
    GdiObject* object = findObject(handle);
    return object && object->kind == ObjectKind::Bitmap ? object->bitmap : nullptr;
}

// gdi_objects.cpp
HGDIOBJ allocateObject(ObjectKind kind, GdiObject** object);
void holdObject(HGDIOBJ handle);
void releaseObject(HGDIOBJ handle);
void ensureStockObjects();
HGDIOBJ stockBitmap();

// gdi_bitmap.cpp
void destroyBitmap(Bitmap* bitmap);
int describeBitmap(const Bitmap& bitmap, int size, LPVOID buffer);

// gdi_dc.cpp
HDC createDc(DcKind kind, HGDIOBJ bitmap);

// gdi_pixels.cpp
std::uint8_t nearestIndex(const RGBQUAD* palette, int size, COLORREF colour);

// The pixel formats. COLORREF is 0x00BBGGRR; the bytes of a pixel in memory are blue, green,
// red (and a fourth, unused one); 16-bit pixels are 5-5-5 with red highest.
inline std::uint32_t encodePixel(const Surface& surface, COLORREF colour) {
    const std::uint32_t r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
    switch (surface.format) {
        case PixelFormat::Bgr32:
        case PixelFormat::Bgr24:
            return (r << 16) | (g << 8) | b;
        case PixelFormat::Rgb555:
            return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
        case PixelFormat::Indexed8:
            break;
    }
    return nearestIndex(surface.palette, surface.paletteSize, colour);
}

// 5-bit channels widen as GDI widens them: the top bits repeated into the low ones.
inline COLORREF widen555(std::uint32_t pixel) {
    const std::uint32_t r = (pixel >> 10) & 0x1F, g = (pixel >> 5) & 0x1F, b = pixel & 0x1F;
    return RGB((r << 3) | (r >> 2), (g << 3) | (g >> 2), (b << 3) | (b >> 2));
}

inline COLORREF decodePixel(const Surface& surface, std::uint32_t pixel) {
    switch (surface.format) {
        case PixelFormat::Bgr32:
        case PixelFormat::Bgr24:
            return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
        case PixelFormat::Rgb555:
            return widen555(pixel);
        case PixelFormat::Indexed8:
            break;
    }
    if (static_cast<int>(pixel) >= surface.paletteSize) {
        return RGB(0, 0, 0);
    }
    const RGBQUAD& entry = surface.palette[pixel];
    return RGB(entry.rgbRed, entry.rgbGreen, entry.rgbBlue);
}

inline bool insideSurface(const Surface& surface, int x, int y) {
    return static_cast<unsigned>(x) < static_cast<unsigned>(surface.width) &&
           static_cast<unsigned>(y) < static_cast<unsigned>(surface.height);
}

// No bounds check: the caller has clipped.
inline void putPixel(const Surface& surface, int x, int y, std::uint32_t pixel) {
    std::uint8_t* row = surface.top + y * surface.stride;
    switch (surface.format) {
        case PixelFormat::Bgr32:
            reinterpret_cast<std::uint32_t*>(row)[x] = pixel;
            break;
        case PixelFormat::Bgr24:
            row[3 * x] = static_cast<std::uint8_t>(pixel);
            row[3 * x + 1] = static_cast<std::uint8_t>(pixel >> 8);
            row[3 * x + 2] = static_cast<std::uint8_t>(pixel >> 16);
            break;
        case PixelFormat::Rgb555: {
            const std::uint16_t value = static_cast<std::uint16_t>(pixel);
            std::memcpy(row + 2 * x, &value, 2);
            break;
        }
        case PixelFormat::Indexed8:
            row[x] = static_cast<std::uint8_t>(pixel);
            break;
    }
}

inline std::uint32_t getPixel(const Surface& surface, int x, int y) {
    const std::uint8_t* row = surface.top + y * surface.stride;
    switch (surface.format) {
        case PixelFormat::Bgr32:
            return reinterpret_cast<const std::uint32_t*>(row)[x] & 0xFFFFFF;
        case PixelFormat::Bgr24:
            return row[3 * x] | (row[3 * x + 1] << 8) | (row[3 * x + 2] << 16);
        case PixelFormat::Rgb555: {
            std::uint16_t value;
            std::memcpy(&value, row + 2 * x, 2);
            return value & 0x7FFF;
        }
        case PixelFormat::Indexed8:
            break;
    }
    return row[x];
}

}  // namespace shim::gdi
