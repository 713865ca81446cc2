// The importer's front door: tells a picture's format by its first bytes, sends a BMP to the
// class's reader first, and hands whatever is decoded to the caller's bitmap only on success.
#include "bitmap/picture_decoders.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* readsWhat = ": this tool reads BMP, PNG and JPEG";

enum class Format { Bmp, Png, Jpeg, Other };

struct Signature {
    const char* bytes;
    std::size_t length;
    const char* name;
};

// Formats that are recognised only to be named in the refusal.
const Signature foreignSignatures[] = {
    {"II*\0", 4, "a TIFF picture"},
    {"MM\0*", 4, "a TIFF picture"},
    {"GIF8", 4, "a GIF picture"},
    {"BA", 2, "an OS/2 bitmap array"},
    {"CI", 2, "an OS/2 colour icon"},
    {"CP", 2, "an OS/2 colour pointer"},
    {"IC", 2, "an OS/2 icon"},
    {"PT", 2, "an OS/2 pointer"},
    {"\0\0\1\0", 4, "a Windows icon"},
    {"\0\0\2\0", 4, "a Windows cursor"},
    {"8BPS", 4, "a Photoshop picture"},
    {"qoif", 4, "a QOI picture"},
    {"\x76\x2f\x31\x01", 4, "an OpenEXR picture"},
    {"\xff\x0a", 2, "a JPEG XL picture"},
    {"%PDF", 4, "a PDF document"},
    {"%!PS", 4, "a PostScript document"},
};

bool startsWith(const unsigned char* data, std::size_t size, const char* bytes, std::size_t n) {
    return size >= n && std::memcmp(data, bytes, n) == 0;
}

Format formatOf(const unsigned char* data, std::size_t size) {
    if (startsWith(data, size, "BM", 2)) {
        return Format::Bmp;
    }
    if (startsWith(data, size, "\x89PNG\r\n\x1a\n", 8)) {
        return Format::Png;
    }
    if (startsWith(data, size, "\xff\xd8\xff", 3)) {
        return Format::Jpeg;
    }
    return Format::Other;
}

std::string nameForeign(const unsigned char* data, std::size_t size) {
    for (const Signature& s : foreignSignatures) {
        if (startsWith(data, size, s.bytes, s.length)) {
            return s.name + std::string(readsWhat);
        }
    }
    if (size >= 12 && startsWith(data, size, "RIFF", 4) && std::memcmp(data + 8, "WEBP", 4) == 0) {
        return std::string("a WebP picture") + readsWhat;
    }
    if (size >= 12 && std::memcmp(data + 4, "ftyp", 4) == 0) {
        return std::string("a HEIF or AVIF picture") + readsWhat;
    }
    if (size >= 3 && data[0] == 'P' && data[1] >= '1' && data[1] <= '7' &&
        (data[2] == '\n' || data[2] == ' ' || data[2] == '\r' || data[2] == '\t')) {
        return std::string("a PNM picture") + readsWhat;
    }
    if (size == 0) {
        return std::string("an empty file") + readsWhat;
    }
    return std::string("not a picture this tool knows") + readsWhat;
}

void adopt(NBitmap* bitmap, NBitmap* decoded) {
    bitmap->destroy();
    *bitmap = *decoded;
}

bool readWholeFile(const char* path, std::vector<unsigned char>* bytes, std::string* failure) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        *failure = std::string("a file that cannot be opened: ") + std::strerror(errno);
        return false;
    }
    unsigned char chunk[1 << 16];
    std::size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes->insert(bytes->end(), chunk, chunk + count);
    }
    bool sound = !std::ferror(file);
    std::fclose(file);
    if (!sound) {
        *failure = "a file that cannot be read";
    }
    return sound;
}

}  // namespace

std::string makeSurface(DecodeTarget* target, long long width, long long height, int bytesPerPixel,
                        const char* what) {
    long long bytes = 0;
    if (width > 0 && height > 0 && width <= 0x7fffffff && height <= 0x7fffffff) {
        bytes = surfaceByteCount((int)width, (int)height, bytesPerPixel);
    }
    if (bytes == 0 || bytes > target->largestSurface) {
        return std::string(what) + " of " + std::to_string(width) + " x " + std::to_string(height) +
               " pixels is larger than this tool handles";
    }
    if (!target->bitmap->create((int)width, (int)height, bytesPerPixel)) {
        return std::string("no memory for ") + what + " of " + std::to_string(width) + " x " +
               std::to_string(height) + " pixels";
    }
    return "";
}

void setGreyPalette(NBitmap* bitmap) {
    for (int i = 0; i < 256; ++i) {
        bitmap->colors[i] = RGBQUAD{(BYTE)i, (BYTE)i, (BYTE)i, 0};
    }
}

PictureImport importPicture(NBitmap* bitmap, const void* data, std::size_t size,
                            long long largestSurface) {
    PictureImport result;
    const unsigned char* bytes = (const unsigned char*)data;
    if (bytes == nullptr) {
        size = 0;
    }
    Format format = formatOf(bytes, size);
    if (format == Format::Other) {
        result.failure = nameForeign(bytes, size);
        return result;
    }
    NBitmap decoded = {};
    BmpFileFacts facts = {};
    if (format == Format::Bmp && bmpSuitsTheClass(bytes, size, largestSurface) &&
        readBmpFromMemory(&decoded, bytes, size, &facts)) {
        result.rowsDeclared = facts.rowsDeclared;
        result.rowsHeld = facts.rowsHeld;
        adopt(bitmap, &decoded);
        return result;
    }
    DecodeTarget target = {&decoded, largestSurface, false, {}};
    if (format == Format::Bmp) {
        result.failure = decodeBmp(&target, bytes, size);
    } else if (format == Format::Png) {
        result.failure = decodePng(&target, bytes, size);
    } else {
        result.failure = decodeJpeg(&target, bytes, size);
    }
    if (!result.read()) {
        decoded.destroy();
        return result;
    }
    result.hasAlpha = target.hasAlpha;
    result.warnings = target.warnings;
    result.rowsDeclared = result.rowsHeld = decoded.height();
    adopt(bitmap, &decoded);
    return result;
}

PictureImport importPictureFile(NBitmap* bitmap, const char* path) {
    PictureImport result;
    std::vector<unsigned char> bytes;
    if (!readWholeFile(path, &bytes, &result.failure)) {
        return result;
    }
    return importPicture(bitmap, bytes.data(), bytes.size());
}
