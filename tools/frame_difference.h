// A frame against its reference: where and by how much they differ, and the pictures that show
// it to a person.
#pragma once

#include "bitmap/nbitmap.h"

// A bitmap destroyed when its owner leaves the scope.
struct OwnedBitmap {
    NBitmap picture;
    OwnedBitmap() { picture.clear(); }
    ~OwnedBitmap() { picture.destroy(); }
    OwnedBitmap(const OwnedBitmap&) = delete;
    OwnedBitmap& operator=(const OwnedBitmap&) = delete;
};

struct PixelColour {
    int red = 0;
    int green = 0;
    int blue = 0;
};

// Pixels from (left, top) to (right, bottom), both corners included.
struct PixelRegion {
    int left = 0;
    int top = 0;
    int right = -1;
    int bottom = -1;
    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }
    bool holds(int x, int y) const { return x >= left && x <= right && y >= top && y <= bottom; }
};

struct FrameDifferences {
    long count = 0;
    int largestChannel = 0;  // the largest difference of one channel, 0 to 255
    PixelRegion bounds;      // holds every differing pixel
    int firstX = -1;         // the first differing pixel in reading order
    int firstY = -1;
    PixelColour referenceColour;  // at the first differing pixel
    PixelColour frameColour;
};

// A 24-bit copy of any picture the importer makes (8 bits with a palette, 16, 24 or 32 bits;
// byte 3 of 32 bits is left out). False when the copy cannot be made.
bool toTrueColour(const NBitmap& picture, NBitmap* copy);

// Two 24-bit pictures of the same size, pixel by pixel.
FrameDifferences compareFrames(const NBitmap& reference, const NBitmap& frame);

// The region a magnified crop shows, at most `width` x `height` pixels of the frame: around
// every difference when they fit in it, otherwise around the first difference.
PixelRegion chooseCrop(const FrameDifferences& differences, int frameWidth, int frameHeight,
                       int width, int height);

// The frame darkened, each differing pixel red, and the crop's region outlined around it.
bool makeDifferencePicture(const NBitmap& reference, const NBitmap& frame, const PixelRegion& crop,
                           NBitmap* picture);

// The region of `shown` (the reference or the frame) magnified `scale` times, nearest
// neighbour, each pixel where `reference` and `frame` differ outlined.
bool makeMagnifiedCrop(const NBitmap& shown, const NBitmap& reference, const NBitmap& frame,
                       const PixelRegion& region, int scale, NBitmap* picture);
