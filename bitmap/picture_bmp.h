// The importer's own BMP decoder, shared between its header and its pixel halves.
#pragma once

#include "bitmap/picture_decoders.h"

#include <cstdint>

enum BmpCompression : std::uint32_t {
    BmpPlain = 0,
    BmpRle8 = 1,
    BmpRle4 = 2,
    BmpBitFields = 3,
    BmpJpeg = 4,
    BmpPng = 5,
    BmpAlphaBitFields = 6,
};

// One channel of a bit-field pixel: the value is (pixel >> shift) & (2^bits - 1).
struct BmpChannel {
    int shift;
    int bits;
    std::uint32_t largest;
};

// Everything a file says about itself, checked before any surface is made.
struct BmpLayout {
    std::uint64_t pixelOffset;
    std::uint32_t headerBytes;
    long long width;
    long long rows;
    bool topDown;
    int bitCount;
    std::uint32_t compression;
    std::uint32_t masks[4];  // red, green, blue, alpha
    BmpChannel channels[4];
    int tableEntries;
    RGBQUAD table[256];
};

// Rows into the target's surface, which is already made in the picture's shape; the pixel
// data is known to start inside the input.
std::string decodeBmpPixels(DecodeTarget* target, const BmpLayout& layout,
                            const unsigned char* data, std::size_t size);
