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
