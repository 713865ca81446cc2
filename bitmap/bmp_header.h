// The headers of a BMP file, decoded into named fields: the one place that knows where each
// field lies. Every field is read byte by byte, little-endian, whatever the host. The class's
// reader, the importer's decoder and the importer's choice between them all read through here;
// what each of them accepts is its own affair.
#pragma once

#include "platform/win32/win32.h"

#include <cstddef>
#include <cstdint>

// The compression codes of the info header.
enum BmpCompression : std::uint32_t {
    BmpPlain = 0,
    BmpRle8 = 1,
    BmpRle4 = 2,
    BmpBitFields = 3,
    BmpJpeg = 4,
    BmpPng = 5,
    BmpAlphaBitFields = 6,
};

constexpr std::uint32_t BmpFileHeaderBytes = 14;
// The 14-byte file header and the 40-byte info header that the class reads and writes.
constexpr std::uint32_t BmpPlainHeadersBytes = BmpFileHeaderBytes + 40;

// What the headers of every BMP variant say, in the names Win32 gives the fields.
struct BmpHeaders {
    // `bfType` is "BM" for a BMP; `bfSize` what the file claims to hold; `bfOffBits` where the
    // pixel data starts, from the start of the file.
    BITMAPFILEHEADER file;
    // `info.biSize` is the info header's own size. The 12-byte OS/2 core header gives only
    // width and height (in 16 bits), planes and bit count; a header shorter than 40 bytes gives the
    // leading fields it has room for. Fields a header does not give are 0 (for the compression:
    // plain).
    BITMAPINFOHEADER info;
};

// True when `data` holds the file header and the whole info header, whatever its signature.
// Otherwise only the file header is filled, when there are 14 bytes, and `info.biSize`, when
// there are 18; the rest is 0.
bool decodeBmpHeaders(const unsigned char* data, std::size_t size, BmpHeaders* headers);

constexpr WORD BmpSignature = 'B' | 'M' << 8;

// The bit-field masks (red, green, blue, alpha) of a file whose compression gives them: they
// follow a 40-byte info header or lie inside a longer one, three of them, or four when the
// compression says alpha or the header has room for it. A missing mask is 0. False when the
// input ends before them.
bool decodeBmpMasks(const unsigned char* data, std::size_t size, const BmpHeaders& headers,
                    std::uint32_t masks[4]);

// Where a palette file's colour table lies and what it declares. Entries past 256 have no place
// in a table; a reader keeps the first 256 of them, but only when all of them really lie before
// the pixel data (`fitsBeforePixels`).
// For pictures of 1 to 8 bits.
struct BmpColourTable {
    std::uint64_t start;     // past the headers and any masks that follow them
    int entryBytes;          // blue, green, red and a reserved byte; the OS/2 core header has 3
    std::uint64_t declared;  // the header's count, or 2 to the bit count when it gives none
    bool fitsBeforePixels;   // false for a count past 256 whose entries overrun the pixels
};
BmpColourTable bmpColourTableOf(const BmpHeaders& headers);

// The 14-byte file header and the 40-byte info header, as `decodeBmpHeaders` reads them.
void encodeBmpHeaders(const BmpHeaders& headers, unsigned char out[BmpPlainHeadersBytes]);
