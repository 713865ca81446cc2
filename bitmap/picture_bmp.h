// The importer's own BMP decoder, shared between its header and its pixel halves.
#pragma once

#include "bitmap/bmp_header.h"
#include "bitmap/picture_decoders.h"

#include <cstdint>

// One channel of a bit-field pixel: the value is (pixel >> shift) & (2^bits - 1).
struct BmpChannel {
    int shift;
    int bits;
    std::uint32_t largest;
};

// Everything a file says about itself, checked before any surface is made.
struct BmpLayout {
    BmpHeaders headers;
    long long width;
    long long rows;  // the height without its sign
    bool topDown;
    std::uint32_t masks[4];  // red, green, blue, alpha
    BmpChannel channels[4];
    int tableEntries;
    RGBQUAD table[256];
};

// Rows into the target's surface, which is already made in the picture's shape; the pixel
// data is known to start inside the input.
std::string decodeBmpPixels(DecodeTarget* target, const BmpLayout& layout,
                            const unsigned char* data, std::size_t size);
