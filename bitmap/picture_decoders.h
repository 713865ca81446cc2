// What the picture importer's decoders share. Each decoder checks what a file declares before
// it allocates, decodes into a bitmap of its own, and answers an empty string on success or the
// reason for a refusal; the importer hands a decoded bitmap on only when all went well.
#pragma once

#include "bitmap/picture_file.h"

#include <cstddef>
#include <string>

struct DecodeTarget {
    NBitmap* bitmap;  // empty on entry
    long long largestSurface;
    bool hasAlpha;
};

// True when the class's reader must not be trusted with this BMP: its masks are not the plain
// layout of its bit count. Short or foreign input answers false.
bool bmpNeedsOwnDecoder(const unsigned char* data, std::size_t size);

std::string decodeBmp(DecodeTarget* target, const unsigned char* data, std::size_t size);
std::string decodePng(DecodeTarget* target, const unsigned char* data, std::size_t size);
std::string decodeJpeg(DecodeTarget* target, const unsigned char* data, std::size_t size);

// Makes the target's surface after checking the size against both limits; `what` names the
// picture in the refusal. An 8-bit surface gets the target's `colors`.
std::string makeSurface(DecodeTarget* target, long long width, long long height, int bytesPerPixel,
                        const char* what);

// A 256-entry grey ramp in the target's colour table.
void setGreyPalette(NBitmap* bitmap);
