// BMP headers of every size in use: the 12-byte OS/2 core header, OS/2's 16 to 64 bytes, and
// Windows' 40, 52, 56, 108 and 124. Every field is read byte by byte, little-endian, and checked
// against the input's size before the surface is made.
#include "bitmap/picture_bmp.h"

#include <cstring>

namespace {

// The OS/2 headers past the core one give compression codes 3 and 4 other meanings.
bool isOs2Header(std::uint32_t headerBytes) {
    return headerBytes == 16 || headerBytes == 64;
}

bool knownHeaderSize(std::uint32_t bytes) {
    switch (bytes) {
        case 12:
        case 16:
        case 40:
        case 52:
        case 56:
        case 64:
        case 108:
        case 124:
            return true;
        default:
            return false;
    }
}

std::string badBmp(const std::string& why) {
    return "a BMP " + why;
}

std::string readInfoHeader(const unsigned char* data, std::size_t size, BmpLayout* layout) {
    bool whole = decodeBmpHeaders(data, size, &layout->headers);
    const BITMAPINFOHEADER& info = layout->headers.info;
    if (size < BmpFileHeaderBytes + 4) {
        return badBmp("cut short in its headers");
    }
    if (!knownHeaderSize(info.biSize)) {
        return badBmp("with a " + std::to_string(info.biSize) + "-byte header is not supported");
    }
    if (!whole) {
        return badBmp("cut short in its headers");
    }
    layout->width = info.biWidth;
    if (info.biPlanes != 1) {
        return badBmp("with " + std::to_string(info.biPlanes) + " planes is not valid");
    }
    if (layout->width <= 0 || info.biHeight == 0 || info.biHeight == INT32_MIN) {
        return badBmp("of " + std::to_string(layout->width) + " x " +
                      std::to_string(info.biHeight) + " pixels is not valid");
    }
    layout->topDown = info.biHeight < 0;
    layout->rows = info.biHeight < 0 ? -(long long)info.biHeight : info.biHeight;
    return "";
}

std::string compressionName(std::uint32_t compression, std::uint32_t headerBytes) {
    if (isOs2Header(headerBytes) && compression == 3) {
        return "Huffman";
    }
    if (isOs2Header(headerBytes) && compression == 4) {
        return "24-bit run-length";
    }
    switch (compression) {
        case BmpJpeg:
            return "JPEG";
        case BmpPng:
            return "PNG";
        case 11:
        case 12:
        case 13:
            return "CMYK";
        default:
            return "code " + std::to_string(compression);
    }
}

bool bitCountAllowed(int bits, std::uint32_t compression) {
    switch (compression) {
        case BmpPlain:
            return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 ||
                   bits == 32;
        case BmpRle8:
            return bits == 8;
        case BmpRle4:
            return bits == 4;
        default:
            return bits == 16 || bits == 32;
    }
}

std::string checkEncoding(const BmpLayout& layout) {
    const BITMAPINFOHEADER& info = layout.headers.info;
    std::uint32_t c = info.biCompression;
    bool known = c == BmpPlain || c == BmpRle8 || c == BmpRle4 || c == BmpBitFields ||
                 c == BmpAlphaBitFields;
    if (!known || (isOs2Header(info.biSize) && c > BmpRle4)) {
        return badBmp("with " + compressionName(c, info.biSize) + " compression is not supported");
    }
    int bits = info.biBitCount;
    if (bits == 64) {
        return "a 64-bit BMP is not supported";
    }
    if (!bitCountAllowed(bits, c)) {
        return badBmp(
            "of " + std::to_string(bits) + " bits a pixel" +
            (c == BmpPlain ? std::string() : " with compression code " + std::to_string(c)) +
            " is not valid");
    }
    if (layout.topDown && (c == BmpRle8 || c == BmpRle4)) {
        return badBmp("stored top row first cannot be run-length compressed");
    }
    return "";
}

// Plain files of 16 and 32 bits use the fixed layouts; bit-field files give their masks.
std::string readMasks(const unsigned char* data, std::size_t size, BmpLayout* layout) {
    std::memset(layout->masks, 0, sizeof layout->masks);
    const BITMAPINFOHEADER& info = layout->headers.info;
    if (info.biCompression == BmpPlain) {
        if (info.biBitCount == 16) {
            layout->masks[0] = 0x7c00, layout->masks[1] = 0x03e0, layout->masks[2] = 0x001f;
        } else if (info.biBitCount == 32) {
            layout->masks[0] = 0xff0000, layout->masks[1] = 0xff00, layout->masks[2] = 0xff;
        }
        return "";
    }
    if (info.biCompression != BmpBitFields && info.biCompression != BmpAlphaBitFields) {
        return "";
    }
    if (!decodeBmpMasks(data, size, layout->headers, layout->masks)) {
        return badBmp("cut short in its bit-field masks");
    }
    return "";
}

// A mask must be one run of set bits inside the pixel.
std::string describeChannels(BmpLayout* layout) {
    static const char* const names[] = {"red", "green", "blue", "alpha"};
    for (int i = 0; i < 4; ++i) {
        std::uint32_t mask = layout->masks[i];
        BmpChannel& channel = layout->channels[i];
        channel = BmpChannel{0, 0, 0};
        if (mask == 0) {
            continue;
        }
        if (layout->headers.info.biBitCount == 16 && mask > 0xffff) {
            return badBmp(std::string("whose ") + names[i] +
                          " mask lies outside its 16-bit pixels");
        }
        while (((mask >> channel.shift) & 1) == 0) {
            ++channel.shift;
        }
        std::uint32_t run = mask >> channel.shift;
        if ((run & (run + 1)) != 0) {
            return badBmp(std::string("whose ") + names[i] + " mask is not one run of bits");
        }
        while (channel.bits < 32 && (run >> channel.bits) != 0) {
            ++channel.bits;
        }
        channel.largest = run;
    }
    return "";
}

// Bounded as the class bounds it: only the first 256 entries are kept. The OS/2 core header
// has three bytes an entry and no count.
std::string readColourTable(const unsigned char* data, std::size_t size, BmpLayout* layout) {
    layout->tableEntries = 0;
    std::memset(layout->table, 0, sizeof layout->table);
    if (layout->headers.info.biBitCount > 8) {
        return "";
    }
    BmpColourTable table = bmpColourTableOf(layout->headers);
    std::uint64_t pixelOffset = layout->headers.file.bfOffBits;
    std::uint64_t declared = table.declared;
    // A file that gives no count may carry a shorter table, as its pixel offset tells (OS/2
    // core files do).
    if (layout->headers.info.biClrUsed == 0 && pixelOffset > table.start &&
        pixelOffset < table.start + table.entryBytes * declared) {
        declared = (pixelOffset - table.start) / table.entryBytes;
    }
    if (!table.fitsBeforePixels) {
        return badBmp("whose colour table of " + std::to_string(declared) +
                      " entries does not fit before its pixels");
    }
    int entries = declared > 256 ? 256 : (int)declared;
    if (table.start + (std::uint64_t)table.entryBytes * entries > size) {
        return badBmp("cut short in its colour table");
    }
    const unsigned char* p = data + table.start;
    for (int i = 0; i < entries; ++i, p += table.entryBytes) {
        layout->table[i] = RGBQUAD{p[0], p[1], p[2], 0};
    }
    layout->tableEntries = entries;
    return "";
}

// Plain rows must all be there; the last one may lack its padding.
std::string checkPixelBytes(const BmpLayout& layout, std::size_t size) {
    const BITMAPINFOHEADER& info = layout.headers.info;
    if (info.biCompression == BmpRle8 || info.biCompression == BmpRle4) {
        return "";
    }
    std::uint64_t rowBits = (std::uint64_t)layout.width * info.biBitCount;
    std::uint64_t stride = (rowBits + 31) / 32 * 4;
    std::uint64_t needed = stride * (std::uint64_t)(layout.rows - 1) + (rowBits + 7) / 8;
    std::uint64_t held = size - layout.headers.file.bfOffBits;
    if (needed > held) {
        return badBmp("cut short: its pixels need " + std::to_string(needed) +
                      " bytes and the file holds " + std::to_string(held));
    }
    return "";
}

// Fields nobody needs to decode a picture, but that mark a damaged file when they claim more
// than the file holds or a density no device has.
std::string checkClaims(std::size_t size, const BmpLayout& layout) {
    const BmpHeaders& headers = layout.headers;
    if (headers.file.bfSize > size) {
        return badBmp("cut short: its header says " + std::to_string(headers.file.bfSize) +
                      " bytes and the file holds " + std::to_string(size));
    }
    if (headers.info.biSize < 40) {
        return "";
    }
    if (headers.info.biSizeImage > size - headers.file.bfOffBits) {
        return badBmp("whose image size of " + std::to_string(headers.info.biSizeImage) +
                      " bytes is more than the file holds");
    }
    const std::int32_t densest = 1000000;
    for (std::int32_t density : {headers.info.biXPelsPerMeter, headers.info.biYPelsPerMeter}) {
        if (density > densest || density < -densest) {
            return badBmp("whose density of " + std::to_string(density) +
                          " pixels a metre is not believable");
        }
    }
    return "";
}

// The largest picture any surface holds, told before the pixel bytes are counted.
std::string checkSurfaceSize(const BmpLayout& layout) {
    int bytesPerPixel = layout.headers.info.biBitCount <= 8 ? 1 : layout.masks[3] != 0 ? 4 : 3;
    if (layout.width > 0x7fffffff || layout.rows > 0x7fffffff ||
        surfaceByteCount((int)layout.width, (int)layout.rows, bytesPerPixel) == 0) {
        return badBmp("of " + std::to_string(layout.width) + " x " + std::to_string(layout.rows) +
                      " pixels is larger than this tool handles");
    }
    return "";
}

std::string readLayout(const unsigned char* data, std::size_t size, BmpLayout* layout) {
    std::string failure = readInfoHeader(data, size, layout);
    if (failure.empty()) {
        failure = checkEncoding(*layout);
    }
    if (failure.empty()) {
        failure = readMasks(data, size, layout);
    }
    if (failure.empty()) {
        failure = describeChannels(layout);
    }
    if (failure.empty()) {
        failure = readColourTable(data, size, layout);
    }
    if (failure.empty()) {
        failure = checkSurfaceSize(*layout);
    }
    std::uint64_t pixelOffset = layout->headers.file.bfOffBits;
    if (failure.empty() &&
        (pixelOffset < BmpFileHeaderBytes + layout->headers.info.biSize || pixelOffset >= size)) {
        failure = badBmp("whose pixel data would start outside the file");
    }
    if (failure.empty()) {
        failure = checkClaims(size, *layout);
    }
    if (failure.empty()) {
        failure = checkPixelBytes(*layout, size);
    }
    return failure;
}

int outputBytesPerPixel(const BmpLayout& layout) {
    if (layout.headers.info.biBitCount <= 8) {
        return 1;
    }
    return layout.masks[3] != 0 ? 4 : 3;
}

}  // namespace

bool bmpSuitsTheClass(const unsigned char* data, std::size_t size, long long largestSurface) {
    BmpHeaders headers;
    if (!decodeBmpHeaders(data, size, &headers) || headers.info.biSize != 40) {
        return true;
    }
    const BITMAPINFOHEADER& info = headers.info;
    long long rows = info.biHeight < 0 ? -(long long)info.biHeight : info.biHeight;
    if (rows <= 0x7fffffff &&
        surfaceByteCount(info.biWidth, (int)rows, info.biBitCount / 8) > largestSurface) {
        return false;
    }
    std::uint32_t masks[4];
    if (info.biCompression != BmpBitFields || !decodeBmpMasks(data, size, headers, masks)) {
        return true;
    }
    if (info.biBitCount == 16) {
        return masks[0] == 0x7c00 && masks[1] == 0x03e0 && masks[2] == 0x001f;
    }
    return info.biBitCount != 32 ||
           (masks[0] == 0xff0000 && masks[1] == 0xff00 && masks[2] == 0xff);
}

std::string decodeBmp(DecodeTarget* target, const unsigned char* data, std::size_t size) {
    BmpLayout layout;
    std::string failure = readLayout(data, size, &layout);
    if (!failure.empty()) {
        return failure;
    }
    std::memcpy(target->bitmap->colors, layout.table, sizeof layout.table);
    int bytesPerPixel = outputBytesPerPixel(layout);
    failure = makeSurface(target, layout.width, layout.rows, bytesPerPixel, "a BMP");
    if (!failure.empty()) {
        return failure;
    }
    if (bytesPerPixel == 1) {
        target->bitmap->header.biClrUsed = (DWORD)layout.tableEntries;
    }
    target->hasAlpha = bytesPerPixel == 4;
    return decodeBmpPixels(target, layout, data, size);
}
