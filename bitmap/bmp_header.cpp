#include "bitmap/bmp_header.h"

#include <cstring>

namespace {

std::uint32_t u16At(const unsigned char* p) {
    return p[0] | (std::uint32_t)p[1] << 8;
}

std::uint32_t u32At(const unsigned char* p) {
    return p[0] | (std::uint32_t)p[1] << 8 | (std::uint32_t)p[2] << 16 | (std::uint32_t)p[3] << 24;
}

void put16(unsigned char* p, std::uint32_t value) {
    p[0] = (unsigned char)value;
    p[1] = (unsigned char)(value >> 8);
}

void put32(unsigned char* p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        p[i] = (unsigned char)(value >> (8 * i));
    }
}

void decodeCoreHeader(const unsigned char* h, BITMAPINFOHEADER* info) {
    info->biWidth = (LONG)u16At(h + 4);
    info->biHeight = (LONG)u16At(h + 6);
    info->biPlanes = (WORD)u16At(h + 8);
    info->biBitCount = (WORD)u16At(h + 10);
}

// The fields of the 40-byte header, as far as a header of `bytes` has room for them: OS/2's
// second header shares their places.
void decodeInfoHeader(const unsigned char* h, std::uint32_t bytes, BITMAPINFOHEADER* info) {
    auto held = [bytes](std::uint32_t end) { return bytes >= end; };
    info->biWidth = held(8) ? (LONG)u32At(h + 4) : 0;
    info->biHeight = held(12) ? (LONG)u32At(h + 8) : 0;
    info->biPlanes = held(14) ? (WORD)u16At(h + 12) : 0;
    info->biBitCount = held(16) ? (WORD)u16At(h + 14) : 0;
    info->biCompression = held(20) ? u32At(h + 16) : BmpPlain;
    info->biSizeImage = held(24) ? u32At(h + 20) : 0;
    info->biXPelsPerMeter = held(28) ? (LONG)u32At(h + 24) : 0;
    info->biYPelsPerMeter = held(32) ? (LONG)u32At(h + 28) : 0;
    info->biClrUsed = held(36) ? u32At(h + 32) : 0;
    info->biClrImportant = held(40) ? u32At(h + 36) : 0;
}

}  // namespace

bool decodeBmpHeaders(const unsigned char* data, std::size_t size, BmpHeaders* headers) {
    std::memset(headers, 0, sizeof *headers);
    if (size < BmpFileHeaderBytes) {
        return false;
    }
    headers->file.bfType = (WORD)u16At(data);
    headers->file.bfSize = u32At(data + 2);
    headers->file.bfReserved1 = (WORD)u16At(data + 6);
    headers->file.bfReserved2 = (WORD)u16At(data + 8);
    headers->file.bfOffBits = u32At(data + 10);
    if (size < BmpFileHeaderBytes + 4) {
        return false;
    }
    const unsigned char* h = data + BmpFileHeaderBytes;
    BITMAPINFOHEADER* info = &headers->info;
    info->biSize = u32At(h);
    if (size < BmpFileHeaderBytes + (std::uint64_t)info->biSize) {
        return false;
    }
    if (info->biSize == 12) {
        decodeCoreHeader(h, info);
    } else {
        decodeInfoHeader(h, info->biSize, info);
    }
    return true;
}

bool decodeBmpMasks(const unsigned char* data, std::size_t size, const BmpHeaders& headers,
                    std::uint32_t masks[4]) {
    std::memset(masks, 0, 4 * sizeof masks[0]);
    bool alpha = headers.info.biCompression == BmpAlphaBitFields || headers.info.biSize >= 56;
    int count = alpha ? 4 : 3;
    const std::uint64_t at = BmpPlainHeadersBytes;
    if (at + 4 * (std::uint64_t)count > size) {
        return false;
    }
    for (int i = 0; i < count; ++i) {
        masks[i] = u32At(data + at + 4 * i);
    }
    return true;
}

BmpColourTable bmpColourTableOf(const BmpHeaders& headers) {
    const BITMAPINFOHEADER& info = headers.info;
    BmpColourTable table;
    table.start = BmpFileHeaderBytes + (std::uint64_t)info.biSize;
    if (info.biSize == 40 && info.biCompression == BmpBitFields) {
        table.start += 12;
    } else if (info.biSize == 40 && info.biCompression == BmpAlphaBitFields) {
        table.start += 16;
    }
    table.entryBytes = info.biSize == 12 ? 3 : 4;
    table.declared = info.biClrUsed != 0    ? info.biClrUsed
                     : info.biBitCount <= 8 ? 1u << info.biBitCount
                                            : 0;
    table.fitsBeforePixels =
        table.declared <= 256 ||
        table.start + table.entryBytes * table.declared <= headers.file.bfOffBits;
    return table;
}

void encodeBmpHeaders(const BmpHeaders& headers, unsigned char out[BmpPlainHeadersBytes]) {
    std::memset(out, 0, BmpPlainHeadersBytes);
    put16(out, headers.file.bfType);
    put32(out + 2, headers.file.bfSize);
    put16(out + 6, headers.file.bfReserved1);
    put16(out + 8, headers.file.bfReserved2);
    put32(out + 10, headers.file.bfOffBits);
    const BITMAPINFOHEADER& info = headers.info;
    unsigned char* p = out + BmpFileHeaderBytes;
    put32(p, info.biSize);
    put32(p + 4, (std::uint32_t)info.biWidth);
    put32(p + 8, (std::uint32_t)info.biHeight);
    put16(p + 12, info.biPlanes);
    put16(p + 14, info.biBitCount);
    put32(p + 16, info.biCompression);
    put32(p + 20, info.biSizeImage);
    put32(p + 24, (std::uint32_t)info.biXPelsPerMeter);
    put32(p + 28, (std::uint32_t)info.biYPelsPerMeter);
    put32(p + 32, info.biClrUsed);
    put32(p + 36, info.biClrImportant);
}
