#include "tests/pictures/picture_recipes.h"

#include <jpeglib.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

namespace recipes {

namespace {

void put16(Bytes* b, unsigned v) {
    b->push_back((unsigned char)v);
    b->push_back((unsigned char)(v >> 8));
}

void put32(Bytes* b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b->push_back((unsigned char)(v >> (8 * i)));
    }
}

void putBigEndian32(Bytes* b, std::uint32_t v) {
    for (int i = 3; i >= 0; --i) {
        b->push_back((unsigned char)(v >> (8 * i)));
    }
}

void append(Bytes* b, std::initializer_list<unsigned char> bytes) {
    b->insert(b->end(), bytes);
}

void appendToBytes(png_structp png, png_bytep data, png_size_t count) {
    Bytes* out = (Bytes*)png_get_io_ptr(png);
    out->insert(out->end(), data, data + count);
}

// A PNG chunk: length, type, data and the checksum of type and data.
void putChunk(Bytes* png, const char* type, const Bytes& data) {
    putBigEndian32(png, (std::uint32_t)data.size());
    std::size_t typeAt = png->size();
    png->insert(png->end(), type, type + 4);
    png->insert(png->end(), data.begin(), data.end());
    uLong crc = crc32(0, png->data() + typeAt, (uInt)(4 + data.size()));
    putBigEndian32(png, (std::uint32_t)crc);
}

}  // namespace

Bytes makeBmp(const BmpRecipe& s) {
    Bytes info;
    put32(&info, (std::uint32_t)s.headerBytes);
    if (s.headerBytes == 12) {
        put16(&info, (unsigned)s.width);
        put16(&info, (unsigned)s.height);
        put16(&info, 1);
        put16(&info, (unsigned)s.bitCount);
    } else {
        put32(&info, (std::uint32_t)s.width);
        put32(&info, (std::uint32_t)s.height);
        put16(&info, 1);
        put16(&info, (unsigned)s.bitCount);
        put32(&info, s.compression);
        put32(&info, 0);
        put32(&info, 2835);
        put32(&info, 2835);
        put32(&info, (std::uint32_t)s.palette.size());
        put32(&info, 0);
    }
    for (std::uint32_t m : s.masks) {
        if (s.headerBytes > 40) {
            info.resize(info.size() > 40 ? info.size() : 40);
        }
        put32(&info, m);
    }
    if (s.headerBytes > 40) {
        info.resize((size_t)s.headerBytes);
    }
    for (std::uint32_t c : s.palette) {
        info.push_back((unsigned char)c);
        info.push_back((unsigned char)(c >> 8));
        info.push_back((unsigned char)(c >> 16));
        if (s.headerBytes != 12) {
            info.push_back(0);
        }
    }
    Bytes file = {'B', 'M'};
    put32(&file, (std::uint32_t)(14 + info.size() + s.pixels.size()));
    put32(&file, 0);
    put32(&file, (std::uint32_t)(14 + info.size()));
    file.insert(file.end(), info.begin(), info.end());
    file.insert(file.end(), s.pixels.begin(), s.pixels.end());
    return file;
}

Bytes makePng(const PngRecipe& s) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return Bytes();
    }
    png_set_write_fn(png, &out, appendToBytes, nullptr);
    // A recipe may index past its palette on purpose.
    png_set_check_for_invalid_index(png, 0);
    png_set_IHDR(png, info, s.width, s.height, s.bitDepth, s.colourType,
                 s.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!s.palette.empty()) {
        png_set_PLTE(png, info, s.palette.data(), (int)s.palette.size());
    }
    if (!s.transparency.empty()) {
        png_set_tRNS(png, info, s.transparency.data(), (int)s.transparency.size(), nullptr);
    }
    png_write_info(png, info);
    size_t rowBytes = s.rows.size() / s.height;
    std::vector<png_bytep> rows;
    for (int y = 0; y < s.height; ++y) {
        rows.push_back((png_bytep)&s.rows[y * rowBytes]);
    }
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

Bytes makeJpeg(int components, const Bytes& pixels, int width, int height) {
    jpeg_compress_struct encoder;
    jpeg_error_mgr errors;
    encoder.err = jpeg_std_error(&errors);
    jpeg_create_compress(&encoder);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&encoder, &buffer, &size);
    encoder.image_width = width;
    encoder.image_height = height;
    encoder.input_components = components;
    encoder.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&encoder);
    jpeg_set_quality(&encoder, 100, TRUE);
    jpeg_start_compress(&encoder, TRUE);
    while (encoder.next_scanline < encoder.image_height) {
        JSAMPROW row = (JSAMPROW)&pixels[encoder.next_scanline * width * components];
        jpeg_write_scanlines(&encoder, &row, 1);
    }
    jpeg_finish_compress(&encoder);
    jpeg_destroy_compress(&encoder);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

Bytes pngDeclaring(std::uint32_t width, std::uint32_t height) {
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    Bytes header;
    putBigEndian32(&header, width);
    putBigEndian32(&header, height);
    append(&header, {8, PNG_COLOR_TYPE_GRAY, 0, 0, 0});
    putChunk(&png, "IHDR", header);
    // The first rows' filter bytes and pixels, all zero
    Bytes rows(16, 0);
    Bytes compressed(64);
    uLongf compressedSize = (uLongf)compressed.size();
    compress(compressed.data(), &compressedSize, rows.data(), (uLong)rows.size());
    compressed.resize(compressedSize);
    putChunk(&png, "IDAT", compressed);
    putChunk(&png, "IEND", Bytes());
    return png;
}

Bytes progressiveJpegDeclaring(int width, int height, int scans) {
    Bytes jpeg = {0xff, 0xd8};
    // Quantizers of 1
    append(&jpeg, {0xff, 0xdb, 0, 67, 0});
    jpeg.insert(jpeg.end(), 64, 1);
    // A progressive frame of one component, sampled 1 x 1
    append(&jpeg, {0xff, 0xc2, 0, 11, 8});
    append(&jpeg, {(unsigned char)(height >> 8), (unsigned char)height});
    append(&jpeg, {(unsigned char)(width >> 8), (unsigned char)width, 1, 1, 0x11, 0});
    // A DC table of one code, 1 bit long, for a difference of 0
    append(&jpeg, {0xff, 0xc4, 0, 20, 0x00, 1});
    jpeg.insert(jpeg.end(), 15, 0);
    jpeg.push_back(0);
    for (int scan = 0; scan < scans; ++scan) {
        append(&jpeg, {0xff, 0xda, 0, 8, 1, 1, 0x00, 0, 0, 0});
    }
    append(&jpeg, {0xff, 0xd9});
    return jpeg;
}

Bytes truncatedJpeg() {
    const int side = 64;
    Bytes pixels;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            pixels.insert(pixels.end(), {(unsigned char)(x * 4), (unsigned char)(y * 4), 200});
        }
    }
    Bytes whole = makeJpeg(3, pixels, side, side);
    std::size_t scanStart = 0;
    for (std::size_t i = 0; i + 1 < whole.size() && scanStart == 0; ++i) {
        if (whole[i] == 0xff && whole[i + 1] == 0xda) {
            scanStart = i;
        }
    }
    whole.resize(scanStart + (whole.size() - scanStart) / 2);
    return whole;
}

Bytes pngIndexingPastItsPalette() {
    PngRecipe recipe;
    recipe.width = 4;
    recipe.height = 2;
    recipe.colourType = PNG_COLOR_TYPE_PALETTE;
    recipe.palette = {{200, 10, 10}, {10, 200, 10}};
    recipe.rows = {0, 1, 5, 1, 5, 5, 0, 1};
    return makePng(recipe);
}

Bytes os2BmpIndexingPastItsTable() {
    BmpRecipe recipe;
    recipe.headerBytes = 12;
    recipe.palette = {0xc80a0a, 0x0ac80a};
    recipe.pixels = {0, 1, 5, 1, 5, 5, 0, 1};
    return makeBmp(recipe);
}

std::vector<NamedPicture> hostilePictures() {
    return {
        {"png-wide.png", pngDeclaring(2147483647, 1)},
        {"png-tall.png", pngDeclaring(1, 268435456)},
        {"jpeg-huge-progressive.jpg", progressiveJpegDeclaring(32768, 32768, 1)},
        {"jpeg-many-scans.jpg", progressiveJpegDeclaring(8192, 8192, 20000)},
        // the same within the fuzzers' surface limit
        {"jpeg-many-scans-small.jpg", progressiveJpegDeclaring(512, 512, 1100)},
        {"jpeg-truncated.jpg", truncatedJpeg()},
        {"png-index-past-palette.png", pngIndexingPastItsPalette()},
        {"bmp-os2-index-past-table.bmp", os2BmpIndexingPastItsTable()},
    };
}

}  // namespace recipes
