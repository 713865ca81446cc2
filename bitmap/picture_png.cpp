// PNG in, through libpng. libpng reports errors by longjmp, so everything that runs while it
// may jump lives in plain records (PngRead) and functions without objects to destroy; the
// strings are made only once libpng is done.
#include "bitmap/picture_decoders.h"
#include "bitmap/picture_png_messages.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace {

constexpr png_alloc_size_t ChunkBytesMax = 8 << 20;

struct PngRead {
    png_structp png;
    png_infop info;
    const unsigned char* data;
    std::size_t size;
    std::size_t position;
    PngErrorText error;
    DecodeTarget* target;
    int bytesPerPixel;  // of the surface; 1 is a palette of grey levels or the file's own
    int passes;         // 7 for an interlaced picture, 1 otherwise
    png_uint_32 width;
    png_uint_32 height;
    bool tooLarge;
    bool cutShort;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t count) {
    PngRead* read = (PngRead*)png_get_io_ptr(png);
    if (read->size - read->position < count) {
        png_error(png, "the file is cut short");
    }
    std::memcpy(out, read->data + read->position, count);
    read->position += count;
}

// The bytes a pixel of the surface takes: palette pictures stay palettes, grey without
// transparency becomes a palette of greys, everything else BGR or BGRA.
int surfaceBytesPerPixel(png_structp png, png_infop info) {
    int colourType = png_get_color_type(png, info);
    bool transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if ((colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_PALETTE) &&
        !transparency) {
        return 1;
    }
    return transparency || (colourType & PNG_COLOR_MASK_ALPHA) != 0 ? 4 : 3;
}

// The transforms to the surface's pixels, 16-bit channels rounded to 8. libpng makes its row
// buffers here, as wide as the picture.
void chooseTransforms(PngRead* read) {
    png_structp png = read->png;
    png_infop info = read->info;
    png_set_scale_16(png);
    png_set_packing(png);
    if (png_get_color_type(png, info) == PNG_COLOR_TYPE_GRAY && read->bytesPerPixel == 1) {
        png_set_expand_gray_1_2_4_to_8(png);
    } else if (read->bytesPerPixel > 1) {
        png_set_expand(png);
        png_set_gray_to_rgb(png);
        png_set_bgr(png);
    }
    read->passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    // The rows go straight into the surface: they must be exactly as long as its rows.
    if (png_get_rowbytes(png, info) !=
        (png_size_t)png_get_image_width(png, info) * read->bytesPerPixel) {
        png_error(png, "the transformed rows do not fit the picture");
    }
}

// Whether the compressed data left could hold the picture's rows. Every row comes with a
// filter byte (an interlaced picture has a row in some pass for each of its rows), and deflate
// makes at most 1032 bytes of each byte it is given.
bool rowsCanFit(const PngRead& read) {
    png_structp png = read.png;
    png_infop info = read.info;
    unsigned long long bits =
        (unsigned long long)png_get_bit_depth(png, info) * png_get_channels(png, info);
    unsigned long long least =
        read.height + (unsigned long long)read.width * read.height * bits / 8;
    return least / 1032 <= read.size - read.position;
}

void takePalette(PngRead* read) {
    NBitmap* bitmap = read->target->bitmap;
    if (png_get_color_type(read->png, read->info) != PNG_COLOR_TYPE_PALETTE) {
        setGreyPalette(bitmap);
        return;
    }
    png_colorp palette = nullptr;
    int entries = 0;
    png_get_PLTE(read->png, read->info, &palette, &entries);
    for (int i = 0; i < entries && i < 256; ++i) {
        bitmap->colors[i] = RGBQUAD{palette[i].blue, palette[i].green, palette[i].red, 0};
    }
    bitmap->header.biClrUsed = (DWORD)entries;
}

// The class's limits, told before libpng makes anything as wide as the picture.
bool checkSize(PngRead* read) {
    read->width = png_get_image_width(read->png, read->info);
    read->height = png_get_image_height(read->png, read->info);
    read->bytesPerPixel = surfaceBytesPerPixel(read->png, read->info);
    long long bytes = surfaceByteCount((int)(read->width & 0x7fffffff),
                                       (int)(read->height & 0x7fffffff), read->bytesPerPixel);
    read->tooLarge = bytes == 0 || bytes > read->target->largestSurface;
    read->cutShort = !read->tooLarge && !rowsCanFit(*read);
    return !read->tooLarge && !read->cutShort;
}

// Row by row into the surface, pass by pass for an interlaced picture: no list of rows the
// height of the picture.
void readRows(PngRead* read) {
    NBitmap* bitmap = read->target->bitmap;
    for (int pass = 0; pass < read->passes; ++pass) {
        for (png_uint_32 y = 0; y < read->height; ++y) {
            png_read_row(read->png, bitmap->rowPointer((int)y), nullptr);
        }
    }
}

// The part that may jump: headers, surface, rows.
bool readUnderGuard(PngRead* read) {
    if (setjmp(png_jmpbuf(read->png))) {
        return false;
    }
    png_set_read_fn(read->png, read, readFromMemory);
    // The size is checked below, with a better word than libpng's; ancillary chunks take no
    // more than a few megabytes.
    png_set_user_limits(read->png, 0x7fffffff, 0x7fffffff);
    png_set_chunk_malloc_max(read->png, ChunkBytesMax);
    png_read_info(read->png, read->info);
    if (!checkSize(read)) {
        return false;
    }
    chooseTransforms(read);
    NBitmap* bitmap = read->target->bitmap;
    if (!bitmap->create((int)read->width, (int)read->height, read->bytesPerPixel)) {
        png_error(read->png, "no memory for the picture");
    }
    if (read->bytesPerPixel == 1) {
        takePalette(read);
        bitmap->setColorTable(0, 256, bitmap->colors);
    }
    readRows(read);
    png_read_end(read->png, nullptr);
    return true;
}

}  // namespace

std::string decodePng(DecodeTarget* target, const unsigned char* data, std::size_t size) {
    PngRead read = {};
    read.data = data;
    read.size = size;
    read.target = target;
    read.png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, &read.error, keepPngError, ignorePngWarning);
    if (read.png != nullptr) {
        read.info = png_create_info_struct(read.png);
    }
    bool done = read.info != nullptr && readUnderGuard(&read);
    bool alpha = read.bytesPerPixel == 4;
    png_destroy_read_struct(&read.png, &read.info, nullptr);
    std::string shape = std::to_string(read.width) + " x " + std::to_string(read.height);
    if (read.tooLarge) {
        return "a PNG of " + shape + " pixels is larger than this tool handles";
    }
    if (read.cutShort) {
        return "a PNG cut short: its " + std::to_string(read.size) +
               " bytes cannot hold the rows of " + shape + " pixels";
    }
    if (!done) {
        return std::string("a PNG that cannot be read: ") +
               (read.error.text[0] != '\0' ? read.error.text : "no memory");
    }
    target->hasAlpha = alpha;
    return "";
}
