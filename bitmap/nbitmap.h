// The program's image: a bottom-up DIB section whose pixels the program addresses directly,
// selected into a memory device context so that one block transfer copies it anywhere.
//
// A zeroed NBitmap is empty. The owner releases it with destroy; nothing happens when the
// record itself goes away. While the bitmap holds a surface, `header` and the derived fields
// describe it; once it holds none (empty, destroyed, or a create that failed on the platform)
// the header and derived fields are zero and `bits` is null, so width(), height() answer 0
// and rowPointer answers null for every row. The colour table `colors` is kept across
// destroy: create hands it to an 8-bit surface.
#pragma once

#include "platform/win32.h"

#include <cstddef>

struct NBitmap {
    // Together `header` and `colors` are the BITMAPINFO with 256 entries that create hands
    // to the platform, so nothing may come between them.
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
    int bytesPerPixel;
    int rowBytes;
    // From one picture row to the next row down; negative, as the surface is bottom-up.
    int rowStep;
    unsigned char* bits;
    HDC memoryDC;
    HBITMAP dibSection;
    HGDIOBJ previousBitmap;

    void clear();
    bool hasDC() const;
    bool isValid() const;
    // Bytes, not bits, per pixel: 1 to 4. Refused arguments leave the bitmap as it was.
    bool create(int width, int height, int bytesPerPixel);
    void destroy();

    // Rows are counted from the top of the picture, which is the last row in memory.
    unsigned char* rowPointer(int row) const {
        if (row < 0 || row >= header.biHeight) {
            return nullptr;
        }
        return bits - (header.biHeight - 1 - row) * rowStep;
    }
    int width() const { return header.biWidth; }
    int height() const { return header.biHeight; }
    int pixelSize() const;
    int computeRowStep() const;

    int draw(HDC target, int x, int y);
    int draw(HDC target);
    UINT setColorTable(UINT first, UINT count, const RGBQUAD* entries);
    bool getColorTable(UINT first, UINT count, RGBQUAD* entries);

    // A refused file changes nothing: the bitmap keeps the image it held.
    bool readBmp(const char* path);
    bool writeBmp(const char* path);
};

// The largest surface create makes: 1 GiB of pixel memory, exactly 16384 x 16384 pixels of
// 4 bytes. It keeps every byte offset inside a 32-bit int.
constexpr long long NBitmapMaxSurfaceBytes = 1LL << 30;

// The bytes of a surface of that shape (rows padded to 4 bytes), or 0 when create refuses it.
long long surfaceByteCount(int width, int height, int bytesPerPixel);

// readBmp over a file that is already in memory, with the same answers.
bool readBmpFromMemory(NBitmap* bitmap, const void* data, std::size_t size);

// The performance counter in seconds from an arbitrary origin; 0.0 when there is none.
double queryTimeSeconds();
int showError(const char* text);

// Internal consistency checks. They stay in release builds, report the expression and the
// source file, and let the program go on.
#define NBITMAP_ASSERT(expression)                                  \
    do {                                                            \
        if (!(expression)) {                                        \
            reportFailedAssertion(#expression, __FILE__, __LINE__); \
        }                                                           \
    } while (0)
void reportFailedAssertion(const char* expression, const char* file, int line);
