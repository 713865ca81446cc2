// libpng's error and warning callbacks, shared by the PNG reader and writer. An error keeps
// libpng's words for the caller and jumps back to the setjmp; a warning is not the user's
// concern, since every picture we take or make is checked by our own rules.
#pragma once

#include <png.h>

#include <cstdio>

struct PngErrorText {
    char text[200];
};

// libpng's error pointer is the PngErrorText.
inline void keepPngError(png_structp png, png_const_charp message) {
    PngErrorText* kept = (PngErrorText*)png_get_error_ptr(png);
    std::snprintf(kept->text, sizeof kept->text, "%s", message);
    png_longjmp(png, 1);
}

inline void ignorePngWarning(png_structp, png_const_charp) {}
