// How the tools write a picture: as a BMP or a PNG, by the output's extension, through the one
// way they write files.
#pragma once

#include "bitmap/nbitmap.h"

#include <string>

// "" when the output's name says a format this writes (.bmp, .png, in any case, or no extension
// at all, as standard output, a FIFO or a device has, which gets a BMP); otherwise why not.
// The tools ask before any work is done.
std::string checkPictureOutputName(const std::string& path);

// Writes the picture as its name says: "" when done, otherwise why not. A PNG keeps byte 3 of a
// 32-bit picture as its alpha when `keepAlpha`.
std::string writePictureOutput(const NBitmap& picture, bool keepAlpha, const std::string& path);
