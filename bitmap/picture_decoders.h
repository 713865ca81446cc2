// What the picture importer's decoders share. Each decoder checks what a file declares before
// it allocates, decodes into a bitmap of its own, and answers an empty string on success or the
// reason for a refusal; the importer hands a decoded bitmap on only when all went well.
#pragma once

#include "bitmap/picture_file.h"

#include <cstddef>
#include <string>
#include <vector>

struct DecodeTarget {
    NBitmap* bitmap;  // empty on entry
    // The bytes of the surface made, and of the working memory a decoder may take
    long long largestSurface;
    bool hasAlpha;
    std::vector<std::string> warnings;  // as PictureImport's
};

// True when the class's reader may be given this BMP: its masks, if any, are the plain layout
// of its bit count (the class keeps bit-field pixels as stored), and the surface its 40-byte
// header declares fits `largestSurface`. Short input answers true: the class refuses it.
bool bmpSuitsTheClass(const unsigned char* data, std::size_t size, long long largestSurface);

std::string decodeBmp(DecodeTarget* target, const unsigned char* data, std::size_t size);
std::string decodePng(DecodeTarget* target, const unsigned char* data, std::size_t size);
std::string decodeJpeg(DecodeTarget* target, const unsigned char* data, std::size_t size);

// Makes the target's surface after checking the size against both limits; `what` names the
// picture in the refusal. An 8-bit surface gets the target's `colors`.
std::string makeSurface(DecodeTarget* target, long long width, long long height, int bytesPerPixel,
                        const char* what);

// A 256-entry grey ramp in the target's colour table.
void setGreyPalette(NBitmap* bitmap);
