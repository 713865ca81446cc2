// libFuzzer target for the picture importer: BMP of every kind, PNG and JPEG. Each input is
// imported over a small image, so that a refusal can be checked to leave it in place and to say
// why; whatever is read has every row walked, and is written back out as PNG.
#include "bitmap/picture_file.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using namespace fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    NBitmap bitmap{};
    check(bitmap.create(2, 2, 3));
    unsigned char* before = bitmap.bits;
    bitmap.rowPointer(0)[0] = 0x5a;

    PictureImport result = importPicture(&bitmap, data, size, largestSurface);
    if (!result.read()) {
        check(bitmap.bits == before && bitmap.width() == 2 && bitmap.rowPointer(0)[0] == 0x5a);
        check(result.failure.size() > 10);
    }
    check(bitmap.isValid());
    check(!result.hasAlpha || bitmap.bytesPerPixel == 4);
    touchEveryRow(bitmap);
    std::vector<unsigned char> png;
    check(encodePng(bitmap, result.hasAlpha, &png).empty() && png.size() > 8);
    bitmap.destroy();
    return 0;
}
