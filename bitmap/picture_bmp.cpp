// BMP headers of every size in use: the 12-byte OS/2 core header, OS/2's 16 to 64 bytes, and
// Windows' 40, 52, 56, 108 and 124. Every field is read byte by byte, little-endian, and checked
// against the input's size before the surface is made.
#include "bitmap/picture_bmp.h"

#include <cstring>

namespace {

constexpr std::uint32_t FileHeaderBytes = 14;

std::uint32_t u16At(const unsigned char* p) {
    return p[0] | (std::uint32_t)p[1] << 8;
}

std::uint32_t u32At(const unsigned char* p) {
    return p[0] | (std::uint32_t)p[1] << 8 | (std::uint32_t)p[2] << 16 | (std::uint32_t)p[3] << 24;
}

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
    if (size < FileHeaderBytes + 4) {
        return badBmp("cut short in its headers");
    }
    layout->pixelOffset = u32At(data + 10);
    std::uint32_t headerBytes = u32At(data + FileHeaderBytes);
    if (!knownHeaderSize(headerBytes)) {
        return badBmp("with a " + std::to_string(headerBytes) + "-byte header is not supported");
    }
    if (size < FileHeaderBytes + headerBytes) {
        return badBmp("cut short in its headers");
    }
    layout->headerBytes = headerBytes;
    const unsigned char* h = data + FileHeaderBytes;
    std::int32_t height;
    if (headerBytes == 12) {
        layout->width = u16At(h + 4);
        height = (std::int32_t)u16At(h + 6);
    } else {
        layout->width = (std::int32_t)u32At(h + 4);
        height = (std::int32_t)u32At(h + 8);
    }
    std::uint32_t planes = u16At(h + (headerBytes == 12 ? 8 : 12));
    layout->bitCount = (int)u16At(h + (headerBytes == 12 ? 10 : 14));
    layout->compression = headerBytes >= 20 ? u32At(h + 16) : BmpPlain;
    if (planes != 1) {
        return badBmp("with " + std::to_string(planes) + " planes is not valid");
    }
    if (layout->width <= 0 || height == 0 || height == INT32_MIN) {
        return badBmp("of " + std::to_string(layout->width) + " x " + std::to_string(height) +
                      " pixels is not valid");
    }
    layout->topDown = height < 0;
    layout->rows = height < 0 ? -(long long)height : height;
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
    std::uint32_t c = layout.compression;
    bool known = c == BmpPlain || c == BmpRle8 || c == BmpRle4 || c == BmpBitFields ||
                 c == BmpAlphaBitFields;
    if (!known || (isOs2Header(layout.headerBytes) && c > BmpRle4)) {
        return badBmp("with " + compressionName(c, layout.headerBytes) +
                      " compression is not supported");
    }
    int bits = layout.bitCount;
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

// Where the colour table starts: past the header and, for a 40-byte header with bit fields,
// past the masks that follow it.
std::uint64_t tableStart(const BmpLayout& layout) {
    std::uint64_t start = FileHeaderBytes + layout.headerBytes;
    if (layout.headerBytes == 40 && layout.compression == BmpBitFields) {
        start += 12;
    } else if (layout.headerBytes == 40 && layout.compression == BmpAlphaBitFields) {
        start += 16;
    }
    return start;
}

// Plain files of 16 and 32 bits use the fixed layouts; bit-field files give their masks in
// the header or just after a 40-byte one.
std::string readMasks(const unsigned char* data, std::size_t size, BmpLayout* layout) {
    std::memset(layout->masks, 0, sizeof layout->masks);
    if (layout->compression == BmpPlain) {
        if (layout->bitCount == 16) {
            layout->masks[0] = 0x7c00, layout->masks[1] = 0x03e0, layout->masks[2] = 0x001f;
        } else if (layout->bitCount == 32) {
            layout->masks[0] = 0xff0000, layout->masks[1] = 0xff00, layout->masks[2] = 0xff;
        }
        return "";
    }
    if (layout->compression != BmpBitFields && layout->compression != BmpAlphaBitFields) {
        return "";
    }
    int count = layout->compression == BmpAlphaBitFields ? 4 : 3;
    std::uint64_t at = FileHeaderBytes + 40;
    if (layout->headerBytes >= 56) {
        count = 4;
    }
    if (at + 4 * (std::uint64_t)count > size) {
        return badBmp("cut short in its bit-field masks");
    }
    for (int i = 0; i < count; ++i) {
        layout->masks[i] = u32At(data + at + 4 * i);
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
        if (layout->bitCount == 16 && mask > 0xffff) {
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

// Bounded as the class bounds it: entries past 256 are skipped, but only when they really lie
// before the pixel data. The OS/2 core header has three bytes an entry and no count.
std::string readColourTable(const unsigned char* data, std::size_t size, BmpLayout* layout) {
    layout->tableEntries = 0;
    std::memset(layout->table, 0, sizeof layout->table);
    if (layout->bitCount > 8) {
        return "";
    }
    std::uint64_t start = tableStart(*layout);
    int entryBytes = layout->headerBytes == 12 ? 3 : 4;
    std::uint64_t declared = 0;
    if (layout->headerBytes >= 36) {
        declared = u32At(data + FileHeaderBytes + 32);
    }
    if (declared == 0) {
        declared = 1u << layout->bitCount;
        // A file that gives no count may carry a shorter table, as its pixel offset tells
        // (OS/2 core files do).
        if (layout->pixelOffset > start && layout->pixelOffset < start + entryBytes * declared) {
            declared = (layout->pixelOffset - start) / entryBytes;
        }
    }
    if (declared > 256 && start + entryBytes * declared > layout->pixelOffset) {
        return badBmp("whose colour table of " + std::to_string(declared) +
                      " entries does not fit before its pixels");
    }
    int entries = declared > 256 ? 256 : (int)declared;
    if (start + (std::uint64_t)entryBytes * entries > size) {
        return badBmp("cut short in its colour table");
    }
    const unsigned char* p = data + start;
    for (int i = 0; i < entries; ++i, p += entryBytes) {
        layout->table[i] = RGBQUAD{p[0], p[1], p[2], 0};
    }
    layout->tableEntries = entries;
    return "";
}

// Plain rows must all be there; the last one may lack its padding.
std::string checkPixelBytes(const BmpLayout& layout, std::size_t size) {
    if (layout.compression == BmpRle8 || layout.compression == BmpRle4) {
        return "";
    }
    std::uint64_t rowBits = (std::uint64_t)layout.width * layout.bitCount;
    std::uint64_t stride = (rowBits + 31) / 32 * 4;
    std::uint64_t needed = stride * (std::uint64_t)(layout.rows - 1) + (rowBits + 7) / 8;
    std::uint64_t held = size - layout.pixelOffset;
    if (needed > held) {
        return badBmp("cut short: its pixels need " + std::to_string(needed) +
                      " bytes and the file holds " + std::to_string(held));
    }
    return "";
}

// Fields nobody needs to decode a picture, but that mark a damaged file when they claim more
// than the file holds or a density no device has.
std::string checkClaims(const unsigned char* data, std::size_t size, const BmpLayout& layout) {
    std::uint32_t fileBytes = u32At(data + 2);
    if (fileBytes > size) {
        return badBmp("cut short: its header says " + std::to_string(fileBytes) +
                      " bytes and the file holds " + std::to_string(size));
    }
    if (layout.headerBytes < 40) {
        return "";
    }
    const unsigned char* h = data + FileHeaderBytes;
    std::uint32_t imageBytes = u32At(h + 20);
    if (imageBytes > size - layout.pixelOffset) {
        return badBmp("whose image size of " + std::to_string(imageBytes) +
                      " bytes is more than the file holds");
    }
    const std::int32_t densest = 1000000;
    for (int at : {24, 28}) {
        std::int32_t density = (std::int32_t)u32At(h + at);
        if (density > densest || density < -densest) {
            return badBmp("whose density of " + std::to_string(density) +
                          " pixels a metre is not believable");
        }
    }
    return "";
}

// The largest picture any surface holds, told before the pixel bytes are counted.
std::string checkSurfaceSize(const BmpLayout& layout) {
    int bytesPerPixel = layout.bitCount <= 8 ? 1 : layout.masks[3] != 0 ? 4 : 3;
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
    if (failure.empty() && (layout->pixelOffset < FileHeaderBytes + layout->headerBytes ||
                            layout->pixelOffset >= size)) {
        failure = badBmp("whose pixel data would start outside the file");
    }
    if (failure.empty()) {
        failure = checkClaims(data, size, *layout);
    }
    if (failure.empty()) {
        failure = checkPixelBytes(*layout, size);
    }
    return failure;
}

int outputBytesPerPixel(const BmpLayout& layout) {
    if (layout.bitCount <= 8) {
        return 1;
    }
    return layout.masks[3] != 0 ? 4 : 3;
}

}  // namespace

bool bmpSuitsTheClass(const unsigned char* data, std::size_t size, long long largestSurface) {
    if (size < FileHeaderBytes + 40 || u32At(data + FileHeaderBytes) != 40) {
        return true;
    }
    const unsigned char* h = data + FileHeaderBytes;
    std::int32_t width = (std::int32_t)u32At(h + 4), height = (std::int32_t)u32At(h + 8);
    std::uint32_t bits = u16At(h + 14);
    long long rows = height < 0 ? -(long long)height : height;
    if (rows <= 0x7fffffff && surfaceByteCount(width, (int)rows, (int)bits / 8) > largestSurface) {
        return false;
    }
    if (u32At(h + 16) != BmpBitFields || size < FileHeaderBytes + 40 + 12) {
        return true;
    }
    const unsigned char* masks = h + 40;
    std::uint32_t red = u32At(masks), green = u32At(masks + 4), blue = u32At(masks + 8);
    if (bits == 16) {
        return red == 0x7c00 && green == 0x03e0 && blue == 0x001f;
    }
    return bits != 32 || (red == 0xff0000 && green == 0xff00 && blue == 0xff);
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
