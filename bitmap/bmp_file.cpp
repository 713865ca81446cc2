// BMP files: 8, 16, 24 and 32 bits a pixel, plain or bit-field rows, with the 40-byte info
// header, whose fields bitmap/bmp_header.h decodes and encodes.
#include "bitmap/nbitmap.h"

#include "bitmap/bmp_header.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

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

// What a file says about itself, all of it checked before the bitmap is touched.
struct BmpLayout {
    BmpHeaders headers;
    int rows;
    bool topDown;
    int tableEntries;
    RGBQUAD table[256];
};

bool readHeaders(ByteSource* source, BmpLayout* layout) {
    unsigned char bytes[BmpPlainHeadersBytes];
    return readBytes(source, bytes, sizeof bytes) == sizeof bytes &&
           decodeBmpHeaders(bytes, sizeof bytes, &layout->headers) &&
           layout->headers.file.bfType == BmpSignature;
}

bool headerAcceptable(BmpLayout* layout) {
    const BITMAPINFOHEADER& info = layout->headers.info;
    if (info.biSize != 40 || info.biPlanes != 1) {
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
    if (layout->headers.info.biBitCount != 8) {
        return true;
    }
    BmpColourTable table = bmpColourTableOf(layout->headers);
    if (!table.fitsBeforePixels) {
        return false;
    }
    int entries = table.declared > 256 ? 256 : (int)table.declared;
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
    long long pixelBytes = source.size - (long long)layout.headers.file.bfOffBits;
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
    const BITMAPINFOHEADER& info = layout.headers.info;
    if (layout.headers.file.bfOffBits < BmpPlainHeadersBytes) {
        return false;
    }
    // Entries past the file's count keep what the table held before.
    std::memcpy(bitmap->colors, layout.table, 4 * (std::size_t)layout.tableEntries);
    if (!bitmap->create(info.biWidth, layout.rows, info.biBitCount / 8)) {
        return false;
    }
    if (!seekTo(source, layout.headers.file.bfOffBits)) {
        return false;
    }
    readPixels(bitmap, source, layout);
    if (facts != nullptr) {
        countRowsHeld(*source, layout, bitmap->rowBytes, facts);
    }
    return true;
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
    BmpHeaders headers = {};
    headers.info = header;
    DWORD entries = 0;
    if (header.biBitCount == 8) {
        if (header.biClrUsed > 256) {
            return false;
        }
        // A table shorter than the pixels' indices makes a file other readers refuse; the
        // entries past the count are written as the bitmap shows them.
        entries = (DWORD)colourEntriesUsed(bitmap);
        headers.info.biClrUsed = header.biClrUsed == 0 ? 0 : entries;
    }
    DWORD offBits = BmpPlainHeadersBytes + 4 * entries;
    std::size_t pixelBytes = (std::size_t)bitmap.rowBytes * (std::size_t)header.biHeight;
    headers.file.bfType = BmpSignature;
    headers.file.bfSize = offBits + (DWORD)pixelBytes;
    headers.file.bfOffBits = offBits;
    unsigned char bytes[BmpPlainHeadersBytes];
    encodeBmpHeaders(headers, bytes);
    return std::fwrite(bytes, sizeof bytes, 1, file) == 1 &&
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
