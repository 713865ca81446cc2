// PNG out, through libpng, into memory so that the caller decides how the bytes reach a file.
// As in the reader, what runs while libpng may jump holds nothing to destroy: the byte vector
// belongs to the caller and is only appended to.
#include "bitmap/picture_file.h"
#include "bitmap/picture_png_messages.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

namespace {

struct PngWrite {
    png_structp png;
    png_infop info;
    const NBitmap* bitmap;
    std::vector<unsigned char>* out;
    bool keepAlpha;
    unsigned char* rowBuffer;  // 16-bit rows widened to RGB
    PngErrorText error;
};

void appendBytes(png_structp png, png_bytep bytes, png_size_t count) {
    PngWrite* write = (PngWrite*)png_get_io_ptr(png);
    write->out->insert(write->out->end(), bytes, bytes + count);
}

void flushNothing(png_structp) {}

void describePicture(PngWrite* write) {
    const NBitmap& bitmap = *write->bitmap;
    int n = bitmap.bytesPerPixel;
    int colourType = n == 1                       ? PNG_COLOR_TYPE_PALETTE
                     : n == 4 && write->keepAlpha ? PNG_COLOR_TYPE_RGB_ALPHA
                                                  : PNG_COLOR_TYPE_RGB;
    png_set_IHDR(write->png, write->info, (png_uint_32)bitmap.width(), (png_uint_32)bitmap.height(),
                 8, colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (n == 1) {
        png_color palette[256];
        int entries = colourEntriesUsed(bitmap);
        for (int i = 0; i < entries; ++i) {
            palette[i] = png_color{bitmap.colors[i].rgbRed, bitmap.colors[i].rgbGreen,
                                   bitmap.colors[i].rgbBlue};
        }
        png_set_PLTE(write->png, write->info, palette, entries);
    }
    png_write_info(write->png, write->info);
    if (n >= 3) {
        png_set_bgr(write->png);
    }
    if (n == 4 && !write->keepAlpha) {
        png_set_filler(write->png, 0, PNG_FILLER_AFTER);
    }
}

// The class's 16-bit pixels are 5-5-5 with the high bit unused; each channel is widened by
// repeating its bits, as the importer widens bit-field channels.
void widen555(const unsigned char* from, int width, unsigned char* to) {
    for (int x = 0; x < width; ++x, from += 2, to += 3) {
        unsigned pixel = from[0] | (unsigned)from[1] << 8;
        unsigned channels[3] = {pixel >> 10 & 31, pixel >> 5 & 31, pixel & 31};
        for (int k = 0; k < 3; ++k) {
            to[k] = (unsigned char)(channels[k] << 3 | channels[k] >> 2);
        }
    }
}

bool writeUnderGuard(PngWrite* write) {
    if (setjmp(png_jmpbuf(write->png))) {
        return false;
    }
    png_set_write_fn(write->png, write, appendBytes, flushNothing);
    describePicture(write);
    const NBitmap& bitmap = *write->bitmap;
    for (int y = 0; y < bitmap.height(); ++y) {
        unsigned char* row = bitmap.rowPointer(y);
        if (bitmap.bytesPerPixel == 2) {
            widen555(row, bitmap.width(), write->rowBuffer);
            row = write->rowBuffer;
        }
        png_write_row(write->png, row);
    }
    png_write_end(write->png, nullptr);
    return true;
}

}  // namespace

std::string encodePng(const NBitmap& bitmap, bool keepAlpha, std::vector<unsigned char>* png) {
    if (!bitmap.isValid() || bitmap.bits == nullptr) {
        return "there is no picture to write";
    }
    PngWrite write = {};
    write.bitmap = &bitmap;
    write.out = png;
    write.keepAlpha = keepAlpha;
    if (bitmap.bytesPerPixel == 2) {
        write.rowBuffer = (unsigned char*)std::malloc((std::size_t)bitmap.width() * 3);
        if (write.rowBuffer == nullptr) {
            return "no memory to write the PNG";
        }
    }
    png->clear();
    write.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &write.error, keepPngError,
                                        ignorePngWarning);
    if (write.png != nullptr) {
        write.info = png_create_info_struct(write.png);
    }
    bool done = write.info != nullptr && writeUnderGuard(&write);
    png_destroy_write_struct(&write.png, &write.info);
    std::free(write.rowBuffer);
    if (!done) {
        png->clear();
        return std::string("cannot make the PNG: ") +
               (write.error.text[0] != '\0' ? write.error.text : "no memory");
    }
    return "";
}
