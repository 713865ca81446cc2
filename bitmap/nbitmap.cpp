#include "bitmap/nbitmap.h"

#include <cstdio>
#include <cstring>

// The platform reads `header` and `colors` as one BITMAPINFO.
static_assert(offsetof(NBitmap, colors) == sizeof(BITMAPINFOHEADER),
              "the colour table must follow the header directly");

void reportFailedAssertion(const char* expression, const char* file, int line) {
    std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", expression, file, line);
}

long long surfaceByteCount(int width, int height, int bytesPerPixel) {
    if (width <= 0 || height <= 0 || bytesPerPixel < 1 || bytesPerPixel > 4) {
        return 0;
    }
    long long rowBytes = ((long long)width * bytesPerPixel + 3) & ~3LL;
    if (rowBytes > NBitmapMaxSurfaceBytes / height) {
        return 0;
    }
    return rowBytes * height;
}

int colourEntriesUsed(const NBitmap& bitmap) {
    DWORD declared = bitmap.header.biClrUsed;
    int entries = declared >= 1 && declared <= 256 ? (int)declared : 256;
    for (int y = 0; y < bitmap.height() && entries < 256; ++y) {
        const unsigned char* row = bitmap.rowPointer(y);
        for (int x = 0; x < bitmap.width(); ++x) {
            entries = row[x] >= entries ? row[x] + 1 : entries;
        }
    }
    return entries;
}

void NBitmap::clear() {
    std::memset(this, 0, sizeof(*this));
}

bool NBitmap::hasDC() const {
    return memoryDC != nullptr;
}

bool NBitmap::isValid() const {
    return dibSection != nullptr && memoryDC != nullptr && previousBitmap != nullptr;
}

int NBitmap::pixelSize() const {
    return header.biBitCount / 8;
}

int NBitmap::computeRowStep() const {
    int rowSize = (int)(((long long)header.biWidth * bytesPerPixel + 3) & ~3LL);
    return header.biHeight < 0 ? rowSize : -rowSize;
}

// Makes the DIB section and the memory context that holds it. On false the caller releases
// whatever was made with destroy.
static bool makeSurface(NBitmap* bitmap, HDC display) {
    void* pixels = nullptr;
    bitmap->dibSection = CreateDIBSection(display, (const BITMAPINFO*)&bitmap->header,
                                          DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (bitmap->dibSection == nullptr || pixels == nullptr) {
        return false;
    }
    bitmap->memoryDC = CreateCompatibleDC(display);
    if (bitmap->memoryDC == nullptr) {
        return false;
    }
    bitmap->previousBitmap = SelectObject(bitmap->memoryDC, bitmap->dibSection);
    bitmap->bits = (unsigned char*)pixels;
    return bitmap->previousBitmap != nullptr;
}

bool NBitmap::create(int newWidth, int newHeight, int newBytesPerPixel) {
    if (surfaceByteCount(newWidth, newHeight, newBytesPerPixel) == 0) {
        return false;
    }
    destroy();
    std::memset(&header, 0, sizeof(header));
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = newWidth;
    header.biHeight = newHeight;
    header.biPlanes = 1;
    header.biBitCount = (WORD)(newBytesPerPixel * 8);

    HDC display = CreateDCA("Display", nullptr, nullptr, nullptr);
    if (display == nullptr) {
        destroy();
        return false;
    }
    if (!makeSurface(this, display)) {
        destroy();
        DeleteDC(display);
        return false;
    }
    bytesPerPixel = pixelSize();
    rowStep = computeRowStep();
    rowBytes = (header.biWidth * bytesPerPixel + 3) & ~3;
    if (header.biBitCount == 8) {
        setColorTable(0, 256, colors);
    }
    DeleteDC(display);
    return true;
}

// Leaves no trace of the surface: with the header zeroed no row can be reached through the
// freed pixel memory.
void NBitmap::destroy() {
    if (memoryDC != nullptr) {
        if (previousBitmap != nullptr) {
            SelectObject(memoryDC, previousBitmap);
        }
        DeleteDC(memoryDC);
        memoryDC = nullptr;
    }
    if (dibSection != nullptr) {
        DeleteObject(dibSection);
        dibSection = nullptr;
    }
    std::memset(&header, 0, sizeof(header));
    bytesPerPixel = 0;
    rowBytes = 0;
    rowStep = 0;
    bits = nullptr;
    previousBitmap = nullptr;
}

int NBitmap::draw(HDC target, int x, int y) {
    if (!isValid()) {
        return 0;
    }
    SetMapMode(memoryDC, GetMapMode(target));
    BITMAP description;
    std::memset(&description, 0, sizeof(description));
    GetObjectA(dibSection, sizeof(description), &description);
    // The extent is in the surface's pixels; the target may count in other units.
    POINT extent = {description.bmWidth, description.bmHeight};
    DPtoLP(target, &extent, 1);
    POINT origin = {0, 0};
    DPtoLP(memoryDC, &origin, 1);
    return BitBlt(target, x, y, extent.x, extent.y, memoryDC, origin.x, origin.y, SRCCOPY);
}

int NBitmap::draw(HDC target) {
    return draw(target, 0, 0);
}

UINT NBitmap::setColorTable(UINT first, UINT count, const RGBQUAD* entries) {
    return SetDIBColorTable(memoryDC, first, count, entries);
}

bool NBitmap::getColorTable(UINT first, UINT count, RGBQUAD* entries) {
    GetDIBColorTable(memoryDC, first, count, entries);
    return true;
}

double queryTimeSeconds() {
    LARGE_INTEGER frequency;
    LARGE_INTEGER count;
    if (QueryPerformanceFrequency(&frequency) && QueryPerformanceCounter(&count) &&
        frequency.QuadPart > 0) {
        return (double)count.QuadPart / (double)frequency.QuadPart;
    }
    NBITMAP_ASSERT(0);
    return 0.0;
}

int showError(const char* text) {
    return MessageBoxA(nullptr, text, "ERROR", MB_OK);
}
