// Pictures made for the tests: BMP, PNG and JPEG files from recipes, and the damaged and
// hostile files a careless or malicious user could hand the importer (cut short, palette
// indices past the table, declarations of gigantic pictures in a few bytes, endless scans).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <png.h>

namespace recipes {

using Bytes = std::vector<unsigned char>;

struct BmpRecipe {
    int headerBytes = 40;
    int width = 4;
    int height = 2;
    int bitCount = 8;
    std::uint32_t compression = 0;
    std::vector<std::uint32_t> palette;  // 0x00RRGGBB
    std::vector<std::uint32_t> masks;    // in the header (52+) or after a 40-byte one
    Bytes pixels;
};

Bytes makeBmp(const BmpRecipe& recipe);

struct PngRecipe {
    int width = 2;
    int height = 1;
    int bitDepth = 8;
    int colourType = PNG_COLOR_TYPE_RGB;
    std::vector<png_color> palette;
    Bytes transparency;  // palette alphas
    bool interlaced = false;
    Bytes rows;  // all rows, packed as the colour type stores them
};

Bytes makePng(const PngRecipe& recipe);

// A baseline JPEG at the best quality; `pixels` are grey or RGB rows.
Bytes makeJpeg(int components, const Bytes& pixels, int width, int height);

// A grey PNG whose header declares width x height and whose compressed rows are a few bytes.
Bytes pngDeclaring(std::uint32_t width, std::uint32_t height);

// A grey progressive JPEG of `scans` scans of the DC coefficients, each without a byte of data.
Bytes progressiveJpegDeclaring(int width, int height, int scans);

// A colour gradient of 64 x 64 as a baseline JPEG, cut in the middle of its compressed data.
Bytes truncatedJpeg();

// Palette pictures whose pixels use indices past their colour table (index 5 of a table of 2):
// a PNG and an OS/2 BMP with the 12-byte header.
Bytes pngIndexingPastItsPalette();
Bytes os2BmpIndexingPastItsTable();

// The hostile files above by the names the tool's test and the fuzzers' seeds use.
struct NamedPicture {
    std::string name;
    Bytes bytes;
};
std::vector<NamedPicture> hostilePictures();

}  // namespace recipes
