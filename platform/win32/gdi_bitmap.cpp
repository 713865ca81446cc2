// Bitmaps: compatible bitmaps (32 bits a pixel, top row first) and DIB sections (8, 16, 24 or
// 32 bits, bottom row first unless the height is negative), with the 8-bit colour tables.
#include "platform/win32/gdi_internal.h"
#include "platform/win32/surface.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <new>

#ifndef QUILLON_PIXELS_FROM_HEAP
#include <sys/mman.h>
#endif

namespace shim::gdi {

namespace {

// Far beyond anything the program makes; a byte count past it is refused, not allocated.
constexpr std::int64_t maxBitmapBytes = std::int64_t{1} << 30;

PixelFormat formatFor(int bitCount) {
    switch (bitCount) {
        case 8:
            return PixelFormat::Indexed8;
        case 16:
            return PixelFormat::Rgb555;
        case 24:
            return PixelFormat::Bgr24;
        default:
            return PixelFormat::Bgr32;
    }
}

#if defined(__SANITIZE_ADDRESS__)
#define QUILLON_PIXELS_FROM_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLON_PIXELS_FROM_HEAP 1
#endif
#endif

// Large surfaces take their pages straight from the system, as a DIB section does on Windows:
// they arrive zeroed, and are offered transparent huge pages, so that faulting in tens of
// megabytes costs little. Under the address sanitizer every surface comes from the heap,
// where the sanitizer watches each access.
[[maybe_unused]] constexpr std::size_t mappedSurfaceWords = std::size_t{1} << 18;  // 1 MiB

std::uint32_t* allocatePixelWords(std::size_t words) {
#ifndef QUILLON_PIXELS_FROM_HEAP
    if (words >= mappedSurfaceWords) {
        const std::size_t bytes = words * sizeof(std::uint32_t);
        void* pages =
            mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (pages == MAP_FAILED) {
            return nullptr;
        }
        madvise(pages, bytes, MADV_HUGEPAGE);
        return static_cast<std::uint32_t*>(pages);
    }
#endif
    return new (std::nothrow) std::uint32_t[words]();
}

void releasePixelWords(std::uint32_t* memory, [[maybe_unused]] std::size_t words) {
#ifndef QUILLON_PIXELS_FROM_HEAP
    if (words >= mappedSurfaceWords) {
        munmap(memory, words * sizeof(std::uint32_t));
        return;
    }
#endif
    delete[] memory;
}

// Zero-filled pixels laid out top row first; nullptr when too large or memory runs out.
Bitmap* makeBitmap(std::int64_t width, std::int64_t height, int bitCount) {
    if (width <= 0 || height <= 0 || width > INT_MAX || height > INT_MAX) {
        return nullptr;
    }
    const std::int64_t rowBytes = (width * bitCount + 31) / 32 * 4;
    if (rowBytes * height > maxBitmapBytes) {
        return nullptr;
    }
    Bitmap* bitmap = new (std::nothrow) Bitmap{};
    if (!bitmap) {
        return nullptr;
    }
    bitmap->memoryWords = static_cast<std::size_t>(rowBytes / 4 * height);
    bitmap->memory = allocatePixelWords(bitmap->memoryWords);
    if (!bitmap->memory) {
        delete bitmap;
        return nullptr;
    }
    bitmap->bits = reinterpret_cast<std::uint8_t*>(bitmap->memory);
    bitmap->rowBytes = static_cast<LONG>(rowBytes);
    bitmap->bitsPixel = static_cast<WORD>(bitCount);
    bitmap->surface = Surface{bitmap->bits,
                              static_cast<std::ptrdiff_t>(rowBytes),
                              static_cast<int>(width),
                              static_cast<int>(height),
                              formatFor(bitCount),
                              bitmap->colours,
                              256};
    return bitmap;
}

HBITMAP registerBitmap(Bitmap* bitmap) {
    if (!bitmap) {
        return nullptr;
    }
    GdiObject* object;
    HGDIOBJ handle = allocateObject(ObjectKind::Bitmap, &object);
    if (!handle) {
        destroyBitmap(bitmap);
        return nullptr;
    }
    object->bitmap = bitmap;
    return static_cast<HBITMAP>(handle);
}

bool knownHeaderSize(DWORD size) {
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

// The colour table follows the header, wherever the header's own size says it ends.
void copyColourTable(const BITMAPINFO* info, Bitmap* bitmap) {
    const DWORD used = info->bmiHeader.biClrUsed;
    const DWORD count = used == 0 || used > 256 ? 256 : used;
    const auto* table = reinterpret_cast<const std::uint8_t*>(info) + info->bmiHeader.biSize;
    std::memcpy(bitmap->colours, table, count * sizeof(RGBQUAD));
    for (DWORD i = 0; i < count; ++i) {
        bitmap->colours[i].rgbReserved = 0;
    }
}

Bitmap* dibSectionOf(HDC dc) {
    const Dc* d = findDc(dc);
    Bitmap* bitmap = d ? findBitmap(d->bitmap) : nullptr;
    return bitmap && bitmap->dibSection && bitmap->bitsPixel == 8 ? bitmap : nullptr;
}

}  // namespace

void destroyBitmap(Bitmap* bitmap) {
    releasePixelWords(bitmap->memory, bitmap->memoryWords);
    delete bitmap;
}

int describeBitmap(const Bitmap& bitmap, int size, LPVOID buffer) {
    if (!buffer) {
        return sizeof(BITMAP);
    }
    if (size < static_cast<int>(sizeof(BITMAP))) {
        return 0;
    }
    BITMAP description{};
    description.bmWidth = bitmap.surface.width;
    description.bmHeight = bitmap.surface.height;
    description.bmWidthBytes = bitmap.rowBytes;
    description.bmPlanes = 1;
    description.bmBitsPixel = bitmap.bitsPixel;
    description.bmBits = bitmap.dibSection ? bitmap.bits : nullptr;
    std::memcpy(buffer, &description, sizeof description);
    return sizeof(BITMAP);
}

}  // namespace shim::gdi

using namespace shim::gdi;

// Always 32 bits a pixel, whatever the DC holds. A zero extent gets the shared 1 x 1 stock
// bitmap and a negative one counts as positive, as GDI does.
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
    if (!findDc(dc)) {
        return nullptr;
    }
    if (width == 0 || height == 0) {
        return static_cast<HBITMAP>(stockBitmap());
    }
    const std::int64_t w = std::abs(std::int64_t{width}), h = std::abs(std::int64_t{height});
    return registerBitmap(makeBitmap(w, h, 32));
}

// Only what the program makes: DIB_RGB_COLORS, no file mapping, BI_RGB at 8, 16, 24 or 32 bits.
HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD) {
    if (bits) {
        *bits = nullptr;
    }
    if (!info || usage != DIB_RGB_COLORS || section) {
        return nullptr;
    }
    const BITMAPINFOHEADER& header = info->bmiHeader;
    const int bitCount = header.biBitCount;
    if (!knownHeaderSize(header.biSize) || header.biPlanes != 1 || header.biCompression != BI_RGB ||
        (bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)) {
        return nullptr;
    }
    const std::int64_t height = std::abs(std::int64_t{header.biHeight});
    Bitmap* bitmap = makeBitmap(header.biWidth, height, bitCount);
    if (!bitmap) {
        return nullptr;
    }
    bitmap->dibSection = true;
    if (header.biHeight > 0) {
        bitmap->surface.top = bitmap->bits + (height - 1) * bitmap->rowBytes;
        bitmap->surface.stride = -bitmap->rowBytes;
    }
    if (bitCount == 8) {
        copyColourTable(info, bitmap);
    }
    HBITMAP handle = registerBitmap(bitmap);
    if (handle && bits) {
        *bits = bitmap->bits;
    }
    return handle;
}

UINT SetDIBColorTable(HDC dc, UINT start, UINT count, const RGBQUAD* colors) {
    Bitmap* bitmap = dibSectionOf(dc);
    if (!bitmap || !colors || start >= 256) {
        return 0;
    }
    const UINT n = std::min(count, 256 - start);
    for (UINT i = 0; i < n; ++i) {
        bitmap->colours[start + i] = colors[i];
        bitmap->colours[start + i].rgbReserved = 0;
    }
    return n;
}

UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colors) {
    const Bitmap* bitmap = dibSectionOf(dc);
    if (!bitmap || !colors || start >= 256) {
        return 0;
    }
    const UINT n = std::min(count, 256 - start);
    std::memcpy(colors, bitmap->colours + start, n * sizeof(RGBQUAD));
    return n;
}

bool shim::readBitmapPixels(HBITMAP handle, PixelView* view) {
    const Bitmap* bitmap = findBitmap(handle);
    if (!view || !bitmap || bitmap->dibSection || bitmap->bitsPixel != 32) {
        return false;
    }
    *view = PixelView{bitmap->memory, bitmap->surface.width, bitmap->surface.height,
                      bitmap->surface.width};
    return true;
}
