// Users' pictures in and out of NBitmap: every BMP in use, PNG and JPEG in; BMP and PNG out.
//
// A BMP goes to the class's own reader first and comes here only when that reader refuses it,
// or when its bit-field masks are not the plain layout of its bit count (the class keeps such
// pixels as stored, which shows other colours than the file does). PNG and JPEG are decoded by
// libpng and libjpeg-turbo.
//
// What an import makes: a picture of at most 256 colours becomes an 8-bit surface with that
// palette; true colour becomes 24 bits, or 32 bits with the alpha in byte 3 when the picture has
// alpha. 16-bit channels are rounded to 8 bits. A refused picture leaves the bitmap as it was.
#pragma once

#include "bitmap/nbitmap.h"

#include <cstddef>
#include <string>
#include <vector>

// What became of an import. `failure` is empty when the picture was read; otherwise it names
// what the picture is and why it was refused, as "a TIFF picture: this tool reads BMP, PNG and
// JPEG". `hasAlpha` says that byte 3 of a 32-bit result is the picture's opacity.
struct PictureImport {
    std::string failure;
    bool hasAlpha = false;
    // A BMP the class reads may be cut short; its missing rows are then colour 0 or black.
    int rowsDeclared = 0;
    int rowsHeld = 0;
    // What was wrong with a picture that was read all the same, one line each, worded to
    // follow the picture's name: "ends early: the last 12 of 480 rows are grey ...".
    std::vector<std::string> warnings;
    bool read() const { return failure.empty(); }
};

// `largestSurface` bounds the bytes of the surface made, below the class's own limit, and the
// working memory a decoder takes beside it.
PictureImport importPicture(NBitmap* bitmap, const void* data, std::size_t size,
                            long long largestSurface = NBitmapMaxSurfaceBytes);
PictureImport importPictureFile(NBitmap* bitmap, const char* path);

// The picture as a PNG file in memory: 8-bit surfaces as palette PNGs, 16- and 24-bit as RGB,
// 32-bit as RGBA when `keepAlpha` and as RGB otherwise (byte 3 is then left out). Returns an
// empty string on success, otherwise why nothing was made.
std::string encodePng(const NBitmap& bitmap, bool keepAlpha, std::vector<unsigned char>* png);
