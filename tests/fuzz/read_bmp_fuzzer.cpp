// libFuzzer target for the BMP reader. Each input is read over a small image, so a refusal
// can be checked to leave that image in place, and every row of whatever was read is walked
// so that the sanitizers see any byte of the surface that is not really there.
#include "bitmap/bmp_header.h"
#include "bitmap/nbitmap.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstddef>
#include <cstdint>

using namespace fuzz;

namespace {

long long declaredSurfaceBytes(const std::uint8_t* data, std::size_t size) {
    BmpHeaders headers;
    decodeBmpHeaders(data, size, &headers);
    const BITMAPINFOHEADER& info = headers.info;
    if (info.biHeight == INT32_MIN) {
        return 0;
    }
    return surfaceByteCount(info.biWidth, info.biHeight < 0 ? -info.biHeight : info.biHeight,
                            info.biBitCount / 8);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (declaredSurfaceBytes(data, size) > largestSurface) {
        return -1;
    }
    NBitmap bitmap{};
    check(bitmap.create(2, 2, 3));
    unsigned char* before = bitmap.bits;
    bitmap.rowPointer(0)[0] = 0x5a;

    if (!readBmpFromMemory(&bitmap, data, size)) {
        check(bitmap.isValid() && bitmap.bits == before && bitmap.width() == 2 &&
              bitmap.height() == 2 && bitmap.rowPointer(0)[0] == 0x5a);
    }
    check(bitmap.isValid());
    check(bitmap.rowBytes * bitmap.height() == bitmap.header.biHeight * -bitmap.rowStep);
    touchEveryRow(bitmap);
    bitmap.destroy();
    check(!bitmap.isValid() && bitmap.rowPointer(0) == nullptr && bitmap.bits == nullptr);
    return 0;
}
