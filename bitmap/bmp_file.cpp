// BMP files: 8, 16, 24 and 32 bits a pixel, plain or bit-field rows, with the 40-byte info
// header. Every field is decoded byte by byte, little-endian, whatever the host.
#include "bitmap/nbitmap.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr int FileHeaderBytes = 14;
constexpr int InfoHeaderBytes = 40;
constexpr int HeaderBytes = FileHeaderBytes + InfoHeaderBytes;

// Where the reader's bytes come from: an open file, or a block of memory when `file` is null.
struct ByteSource {
    std::FILE* file;
    const unsigned char* data;
    long long size;
    long long position;
};

std::size_t readBytes(ByteSource* source, void* out, std::size_t count) {
    if (source->file != nullptr) {
        return std::fread(out, 1, count, source->file);
    }
    unsigned long long left = (unsigned long long)(source->size - source->position);
    std::size_t taken = count < left ? count : (std::size_t)left;
    if (taken > 0) {
        std::memcpy(out, source->data + source->position, taken);
        source->position += (long long)taken;
    }
    return taken;
}

// A place at or past the end is no error: reading there gives no bytes, as from a file.
bool seekTo(ByteSource* source, long long offset) {
    if (offset < 0) {
        return false;
    }
    if (source->file != nullptr) {
        return std::fseek(source->file, (long)offset, SEEK_SET) == 0;
    }
    source->position = offset < source->size ? offset : source->size;
    return true;
}

// -1 when the size cannot be told; the position is back at the start either way.
long long fileSize(std::FILE* file) {
    long long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        size = std::ftell(file);
    }
    if (std::fseek(file, 0, SEEK_SET) != 0) {
        return -1;
    }
    return size;
}

unsigned readU16(const unsigned char* p) {
    return p[0] | (unsigned)p[1] << 8;
}

DWORD readU32(const unsigned char* p) {
    return (DWORD)p[0] | (DWORD)p[1] << 8 | (DWORD)p[2] << 16 | (DWORD)p[3] << 24;
}

void putU16(unsigned char* p, unsigned value) {
    p[0] = (unsigned char)value;
    p[1] = (unsigned char)(value >> 8);
}

void putU32(unsigned char* p, DWORD value) {
    for (int i = 0; i < 4; ++i) {
        p[i] = (unsigned char)(value >> (8 * i));
    }
}

// What a file says about itself, all of it checked before the bitmap is touched.
struct BmpLayout {
    DWORD pixelOffset;
    BITMAPINFOHEADER info;
    int rows;
    bool topDown;
    int tableEntries;
    RGBQUAD table[256];
};

bool readHeaders(ByteSource* source, BmpLayout* layout) {
    unsigned char bytes[HeaderBytes];
    if (readBytes(source, bytes, HeaderBytes) != HeaderBytes) {
        return false;
    }
    if (bytes[0] != 'B' || bytes[1] != 'M') {
        return false;
    }
    layout->pixelOffset = readU32(bytes + 10);
    const unsigned char* p = bytes + FileHeaderBytes;
    BITMAPINFOHEADER* info = &layout->info;
    info->biSize = readU32(p);
    info->biWidth = (LONG)readU32(p + 4);
    info->biHeight = (LONG)readU32(p + 8);
    info->biPlanes = (WORD)readU16(p + 12);
    info->biBitCount = (WORD)readU16(p + 14);
    info->biCompression = readU32(p + 16);
    info->biSizeImage = readU32(p + 20);
    info->biXPelsPerMeter = (LONG)readU32(p + 24);
    info->biYPelsPerMeter = (LONG)readU32(p + 28);
    info->biClrUsed = readU32(p + 32);
    info->biClrImportant = readU32(p + 36);
    return true;
}

bool headerAcceptable(BmpLayout* layout) {
    const BITMAPINFOHEADER& info = layout->info;
    if (info.biSize != InfoHeaderBytes || info.biPlanes != 1) {
        return false;
    }
    int bitCount = info.biBitCount;
    if (bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32) {
        return false;
    }
    // Bit-field rows are plain rows whose pixels the class keeps as stored; every other
    // compression would be garbage read as rows.
    bool bitFields = info.biCompression == BI_BITFIELDS && (bitCount == 16 || bitCount == 32);
    if (info.biCompression != BI_RGB && !bitFields) {
        return false;
    }
    // A negative height marks rows stored top first; the most negative one has no size.
    if (info.biHeight == INT32_MIN) {
        return false;
    }
    layout->topDown = info.biHeight < 0;
    layout->rows = layout->topDown ? -info.biHeight : info.biHeight;
    return surfaceByteCount(info.biWidth, layout->rows, bitCount / 8) != 0;
}

bool readColourTable(ByteSource* source, BmpLayout* layout) {
    layout->tableEntries = 0;
    if (layout->info.biBitCount != 8) {
        return true;
    }
    long long declared = layout->info.biClrUsed == 0 ? 256 : layout->info.biClrUsed;
    // Entries past 256 have no place in the table; they are skipped, but only when they
    // really lie before the pixel data.
    if (declared > 256 && HeaderBytes + 4 * declared > layout->pixelOffset) {
        return false;
    }
    int entries = declared > 256 ? 256 : (int)declared;
    std::size_t tableBytes = 4 * (std::size_t)entries;
    if (readBytes(source, layout->table, tableBytes) != tableBytes) {
        return false;
    }
    layout->tableEntries = entries;
    return true;
}

void readPixels(NBitmap* bitmap, ByteSource* source, const BmpLayout& layout) {
    std::size_t rowBytes = (std::size_t)bitmap->rowBytes;
    // Bottom-up files store the rows in the surface's own order; a short read leaves the
    // missing rows as the new surface had them.
    if (!layout.topDown) {
        readBytes(source, bitmap->bits, rowBytes * layout.rows);
        return;
    }
    for (int row = 0; row < layout.rows; ++row) {
        if (readBytes(source, bitmap->rowPointer(row), rowBytes) != rowBytes) {
            return;
        }
    }
}

void countRowsHeld(const ByteSource& source, const BmpLayout& layout, long long rowBytes,
                   BmpFileFacts* facts) {
    long long pixelBytes = source.size - (long long)layout.pixelOffset;
    long long rows = pixelBytes > 0 ? pixelBytes / rowBytes : 0;
    facts->rowsDeclared = layout.rows;
    facts->rowsHeld = rows < layout.rows ? (int)rows : layout.rows;
}

bool readBmpSource(NBitmap* bitmap, ByteSource* source, BmpFileFacts* facts) {
    BmpLayout layout;
    if (!readHeaders(source, &layout) || !headerAcceptable(&layout) ||
        !readColourTable(source, &layout)) {
        return false;
    }
    // The pixel data must start past the headers. Where it starts at or past the end of the
    // file, the file is one cut short before its first row.
    if (layout.pixelOffset < HeaderBytes) {
        return false;
    }
    // Entries past the file's count keep what the table held before.
    std::memcpy(bitmap->colors, layout.table, 4 * (std::size_t)layout.tableEntries);
    if (!bitmap->create(layout.info.biWidth, layout.rows, layout.info.biBitCount / 8)) {
        return false;
    }
    if (!seekTo(source, layout.pixelOffset)) {
        return false;
    }
    readPixels(bitmap, source, layout);
    if (facts != nullptr) {
        countRowsHeld(*source, layout, bitmap->rowBytes, facts);
    }
    return true;
}

void encodeHeaders(const BITMAPINFOHEADER& info, DWORD offBits, DWORD fileBytes,
                   unsigned char* out) {
    std::memset(out, 0, HeaderBytes);
    out[0] = 'B';
    out[1] = 'M';
    putU32(out + 2, fileBytes);
    putU32(out + 10, offBits);
    unsigned char* p = out + FileHeaderBytes;
    putU32(p, info.biSize);
    putU32(p + 4, (DWORD)info.biWidth);
    putU32(p + 8, (DWORD)info.biHeight);
    putU16(p + 12, info.biPlanes);
    putU16(p + 14, info.biBitCount);
    putU32(p + 16, info.biCompression);
    putU32(p + 20, info.biSizeImage);
    putU32(p + 24, (DWORD)info.biXPelsPerMeter);
    putU32(p + 28, (DWORD)info.biYPelsPerMeter);
    putU32(p + 32, info.biClrUsed);
    putU32(p + 36, info.biClrImportant);
}

}  // namespace

bool readBmpFromMemory(NBitmap* bitmap, const void* data, std::size_t size, BmpFileFacts* facts) {
    if (data == nullptr) {
        return false;
    }
    ByteSource source = {nullptr, (const unsigned char*)data, (long long)size, 0};
    return readBmpSource(bitmap, &source, facts);
}

bool NBitmap::readBmp(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        return false;
    }
    ByteSource source = {file, nullptr, fileSize(file), 0};
    bool read = source.size > 0 && readBmpSource(this, &source, nullptr);
    std::fclose(file);
    return read;
}

bool writeBmpToStream(const NBitmap& bitmap, std::FILE* file) {
    // Only a surface can be written, and only with a colour table that fits `colors`.
    if (!bitmap.isValid() || bitmap.bits == nullptr) {
        return false;
    }
    const BITMAPINFOHEADER& header = bitmap.header;
    DWORD entries = 0;
    if (header.biBitCount == 8) {
        if (header.biClrUsed > 256) {
            return false;
        }
        entries = header.biClrUsed == 0 ? 256 : header.biClrUsed;
    }
    DWORD offBits = HeaderBytes + 4 * entries;
    std::size_t pixelBytes = (std::size_t)bitmap.rowBytes * (std::size_t)header.biHeight;
    unsigned char headers[HeaderBytes];
    encodeHeaders(header, offBits, offBits + (DWORD)pixelBytes, headers);
    return std::fwrite(headers, HeaderBytes, 1, file) == 1 &&
           (entries == 0 || std::fwrite(bitmap.colors, 4 * entries, 1, file) == 1) &&
           std::fwrite(bitmap.bits, pixelBytes, 1, file) == 1;
}

bool NBitmap::writeBmp(const char* path) {
    if (!isValid() || bits == nullptr || (header.biBitCount == 8 && header.biClrUsed > 256)) {
        return false;
    }
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        return false;
    }
    bool written = writeBmpToStream(*this, file);
    // Buffered bytes reach the disk only at the close, which can fail too.
    if (std::fclose(file) != 0) {
        written = false;
    }
    return written;
}
