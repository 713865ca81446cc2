// What the image operations share: the test for a usable surface, matching a target to its
// source, the heap temporaries, and the small byte arithmetic.
#pragma once

#include "bitmap/nbitmap.h"

bool holdsSurface(const NBitmap& bitmap);

// Creates the target in the source's shape and, for 1-byte pixels, gives it the source's
// palette (through the target's own `colors`). False when the target cannot be created.
bool matchSource(NBitmap* target, NBitmap& source);

// A heap image that starts empty; null when there is no memory for the record.
NBitmap* newTemporaryImage();
// Destroys the temporary's surface and frees it; null is ignored.
void releaseTemporaryImage(NBitmap* temporary);

inline unsigned char clampByte(int value) {
    return (unsigned char)(value < 0 ? 0 : value > 255 ? 255 : value);
}

// Runs Op<n>::run(args...) for the pixel size n, so that each operation's inner loop is
// compiled for a fixed number of bytes. Sizes below Smallest are never instantiated: the
// caller has already refused them.
template <template <int> class Op, int Smallest = 1, class... Args>
void forPixelSize(int n, Args&&... args) {
    switch (n) {
        case 1:
            if constexpr (Smallest <= 1) {
                Op<1>::run(args...);
            }
            break;
        case 2:
            if constexpr (Smallest <= 2) {
                Op<2>::run(args...);
            }
            break;
        case 3:
            Op<3>::run(args...);
            break;
        default:
            Op<4>::run(args...);
            break;
    }
}
