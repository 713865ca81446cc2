// BMP pixels into a surface of the picture's shape: packed palette indices, 24-bit rows,
// bit-field pixels of 16 and 32 bits, and run-length codes. Rows in a file run bottom-up unless
// the height was negative.
#include "bitmap/picture_bmp.h"

#include <cstring>

namespace {

std::uint64_t strideOf(const BmpLayout& layout) {
    return ((std::uint64_t)layout.width * layout.headers.info.biBitCount + 31) / 32 * 4;
}

unsigned char* pictureRow(const DecodeTarget* target, const BmpLayout& layout, long long fileRow) {
    return target->bitmap->rowPointer((int)(layout.topDown ? fileRow : layout.rows - 1 - fileRow));
}

void unpackIndices(const unsigned char* from, int bits, long long width, unsigned char* to) {
    if (bits == 8) {
        std::memcpy(to, from, (std::size_t)width);
        return;
    }
    const int perByte = 8 / bits;
    const unsigned mask = (1u << bits) - 1;
    for (long long x = 0; x < width; ++x) {
        int slot = (int)(x % perByte);
        to[x] = (unsigned char)(from[x / perByte] >> (8 - bits * (slot + 1)) & mask);
    }
}

// A channel's value widened to 8 bits by repeating its bits (5 bits abcde become abcdeabc), so
// that 0 stays black and all ones become 255; a wider channel keeps its top 8 bits, and a
// missing channel is 0.
unsigned char channelByte(std::uint32_t pixel, const BmpChannel& channel) {
    if (channel.bits == 0) {
        return 0;
    }
    std::uint32_t value = pixel >> channel.shift & channel.largest;
    if (channel.bits >= 8) {
        return (unsigned char)(value >> (channel.bits - 8));
    }
    std::uint32_t widened = 0;
    for (int shift = 8 - channel.bits; shift > -channel.bits; shift -= channel.bits) {
        widened |= shift >= 0 ? value << shift : value >> -shift;
    }
    return (unsigned char)widened;
}

void unpackBitFields(const unsigned char* from, const BmpLayout& layout, int outBytes,
                     unsigned char* to) {
    const int inBytes = layout.headers.info.biBitCount / 8;
    for (long long x = 0; x < layout.width; ++x, from += inBytes, to += outBytes) {
        std::uint32_t pixel = from[0] | (std::uint32_t)from[1] << 8;
        if (inBytes == 4) {
            pixel |= (std::uint32_t)from[2] << 16 | (std::uint32_t)from[3] << 24;
        }
        to[0] = channelByte(pixel, layout.channels[2]);
        to[1] = channelByte(pixel, layout.channels[1]);
        to[2] = channelByte(pixel, layout.channels[0]);
        if (outBytes == 4) {
            to[3] = channelByte(pixel, layout.channels[3]);
        }
    }
}

void decodeRows(DecodeTarget* target, const BmpLayout& layout, const unsigned char* pixels) {
    const std::uint64_t stride = strideOf(layout);
    const int outBytes = target->bitmap->bytesPerPixel;
    for (long long row = 0; row < layout.rows; ++row) {
        const unsigned char* from = pixels + stride * row;
        unsigned char* to = pictureRow(target, layout, row);
        if (layout.headers.info.biBitCount <= 8) {
            unpackIndices(from, layout.headers.info.biBitCount, layout.width, to);
        } else if (layout.headers.info.biBitCount == 24) {
            std::memcpy(to, from, (std::size_t)layout.width * 3);
        } else {
            unpackBitFields(from, layout, outBytes, to);
        }
    }
}

// Run-length codes come in pairs: a count and a value, or a zero and a command (end of line,
// end of picture, a move, or a count of literal pixels padded to a whole pair). Pixels a move
// or an early end of line skip keep index 0, the first palette colour.
struct RleReader {
    const unsigned char* at;
    const unsigned char* end;
    long long x;
    long long y;  // counted from the bottom row
    bool fourBits;
};

const char* const runLeaves = "a run-length BMP whose run leaves the picture is not valid";

bool fits(const RleReader& r, const BmpLayout& layout, long long count) {
    return r.y < layout.rows && r.x + count <= layout.width;
}

void fillRun(const DecodeTarget* target, const BmpLayout& layout, RleReader* r, long long count,
             unsigned value) {
    unsigned char* row = pictureRow(target, layout, r->y);
    for (long long i = 0; i < count; ++i) {
        row[r->x + i] =
            (unsigned char)(r->fourBits ? (i % 2 == 0 ? value >> 4 : value & 15) : value);
    }
    r->x += count;
}

void copyLiterals(const DecodeTarget* target, const BmpLayout& layout, RleReader* r,
                  long long count) {
    unsigned char* row = pictureRow(target, layout, r->y);
    for (long long i = 0; i < count; ++i) {
        row[r->x + i] =
            r->fourBits ? (i % 2 == 0 ? r->at[i / 2] >> 4 : r->at[i / 2] & 15) : r->at[i];
    }
    r->x += count;
}

// The command after a zero count; `done` is set by the end of the picture.
std::string runCommand(const DecodeTarget* target, const BmpLayout& layout, RleReader* r,
                       unsigned command, bool* done) {
    if (command == 0) {
        r->x = 0;
        ++r->y;
        return "";
    }
    if (command == 1) {
        *done = true;
        return "";
    }
    if (command == 2) {
        if (r->end - r->at < 2) {
            return "a run-length BMP cut short in a move";
        }
        r->x += r->at[0];
        r->y += r->at[1];
        r->at += 2;
        if (r->x > layout.width || r->y > layout.rows) {
            return "a run-length BMP whose move leaves the picture is not valid";
        }
        return "";
    }
    long long bytes = r->fourBits ? (command + 1) / 2 : command;
    long long padded = (bytes + 1) & ~1LL;
    if (r->end - r->at < bytes) {
        return "a run-length BMP cut short in its literal pixels";
    }
    if (!fits(*r, layout, command)) {
        return runLeaves;
    }
    copyLiterals(target, layout, r, command);
    r->at += r->end - r->at < padded ? bytes : padded;
    return "";
}

// A file that ends without the end-of-picture code keeps what it drew.
std::string decodeRunLengths(DecodeTarget* target, const BmpLayout& layout,
                             const unsigned char* pixels, const unsigned char* end) {
    RleReader r = {pixels, end, 0, 0, layout.headers.info.biCompression == BmpRle4};
    bool done = false;
    while (!done && end - r.at >= 2) {
        unsigned count = r.at[0], value = r.at[1];
        r.at += 2;
        std::string failure;
        if (count == 0) {
            failure = runCommand(target, layout, &r, value, &done);
        } else if (!fits(r, layout, count)) {
            failure = runLeaves;
        } else {
            fillRun(target, layout, &r, count, value);
        }
        if (!failure.empty()) {
            return failure;
        }
    }
    return "";
}

}  // namespace

std::string decodeBmpPixels(DecodeTarget* target, const BmpLayout& layout,
                            const unsigned char* data, std::size_t size) {
    const unsigned char* pixels = data + layout.headers.file.bfOffBits;
    if (layout.headers.info.biCompression == BmpRle8 ||
        layout.headers.info.biCompression == BmpRle4) {
        return decodeRunLengths(target, layout, pixels, data + size);
    }
    decodeRows(target, layout, pixels);
    return "";
}
