// What the fuzz targets share: an abort the fuzzer reports as a finding, the size a surface may
// have, and a walk over every byte of a surface so that the sanitizers see any byte of it that
// is not really there.
#pragma once

#include "bitmap/nbitmap.h"

#include <cstdlib>

namespace fuzz {

// Surfaces are zero-filled when made, so a short file that claims a picture of a gigabyte
// costs a gigabyte of writes. The fuzzers stay below this; the size limit itself is tried by
// the unit tests.
constexpr long long largestSurface = 1LL << 20;

inline void check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

inline void touchEveryRow(const NBitmap& bitmap) {
    volatile unsigned sum = 0;
    for (int row = 0; row < bitmap.height(); ++row) {
        const unsigned char* bytes = bitmap.rowPointer(row);
        check(bytes != nullptr);
        for (int k = 0; k < bitmap.rowBytes; ++k) {
            sum = sum + bytes[k];
        }
    }
}

}  // namespace fuzz
