// A captured frame against a reference frame, pixel by pixel.
#pragma once

#include "bitmap/nbitmap.h"

#include <cstdio>
#include <string>

// Beside the output, its extension replaced: out.bmp gives out.diff.bmp.
std::string differencePicturePath(const std::string& out);

// Reads the reference whole (a BMP of any kind, a PNG or a JPEG, as the frames report takes
// them) as 24 bits a pixel, from a file, a FIFO, a pipe or ("-") standard input;
// false after saying on stderr why it cannot.
bool readReference(const std::string& path, NBitmap* reference);

// 0 when every pixel of the 24-bit `frame` equals the reference's; 1 when any differs, and
// then a difference picture goes to `differencePath` unless that is empty (differing pixels
// red, the rest the frame darkened); 2 when the picture cannot be written. The verdict goes to
// `report`, failures to stderr.
int compareWithReference(const NBitmap& frame, const NBitmap& reference,
                         const std::string& referencePath, const std::string& differencePath,
                         std::FILE* report);
