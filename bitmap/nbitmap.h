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

#include "platform/win32/win32.h"

#include <cstddef>
#include <cstdio>

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

    // Image operations. The bitmap they are called on is the target and `source` is only
    // read; the source may be the target itself, and the operation then works in place.
    // Results: 1 done, 0 refused, -1 a combination the operation does not support. A source
    // that holds no surface is refused and nothing changes.
    int resample(int left, int top, int right, int bottom, NBitmap& source, bool smooth);
    int flip(NBitmap& source, bool vertical, bool horizontal);
    int rotate(NBitmap& source, int degrees);
    int invert(NBitmap& source);
    int brighten(NBitmap& source, int amount);
    void toGrey(NBitmap& source);
    // Matrix sizes 2, 4 and 16; bits 1 to 8; shift 0 to 8. Anything else does nothing.
    void orderedDither(NBitmap& source, int size);
    void addDitherPattern(NBitmap& source, int bits);
    void diffuseError(NBitmap& source, int shift);
    // Always makes a 32-bit target; never in place.
    int convolve(NBitmap& source, const float* kernel, int kernelWidth, int kernelHeight);
    // Opacity 0 to 255; the target must hold a surface of 2 to 4 bytes a pixel.
    void blend(NBitmap& source, int left, int top, int opacity);
};

// The ordered-dither matrix of `size` 4, 8 or 16 (row-major) from the one of half that size.
void buildDitherMatrix(int size, const int* half, int* out);
// byte = clamp(trunc(byte + error * weight), 0, 255), the arithmetic in double.
void addScaledError(unsigned char* byte, int error, float weight);
// The heap images the operations hold at this moment: 0 whenever none is running.
int liveTemporaryImages();

// The largest surface create makes: 1 GiB of pixel memory, exactly 16384 x 16384 pixels of
// 4 bytes. It keeps every byte offset inside a 32-bit int.
constexpr long long NBitmapMaxSurfaceBytes = 1LL << 30;

// The bytes of a surface of that shape (rows padded to 4 bytes), or 0 when create refuses it.
long long surfaceByteCount(int width, int height, int bytesPerPixel);

// How much of its pixel data a file really held: for a caller that tells the user a file was
// cut short.
struct BmpFileFacts {
    int rowsDeclared;
    int rowsHeld;  // whole rows of pixel data the file really holds
};

// The colour-table entries an 8-bit surface needs: its count (256 when it gives none or more
// than 256), or as many as its pixels' largest index calls for where that is more. A file
// written with fewer would leave pixels without a colour.
int colourEntriesUsed(const NBitmap& bitmap);

// readBmp over a file that is already in memory, with the same answers; `facts`, when
// given, is filled whenever the answer is true.
bool readBmpFromMemory(NBitmap* bitmap, const void* data, std::size_t size,
                       BmpFileFacts* facts = nullptr);
// The bytes writeBmp writes, into a stream the caller opened and closes.
bool writeBmpToStream(const NBitmap& bitmap, std::FILE* stream);

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
