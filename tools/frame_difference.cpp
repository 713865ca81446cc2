#include "tools/frame_difference.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

const PixelColour differingRed = {255, 0, 0};
const PixelColour cropOutline = {255, 214, 0};
const PixelColour cellOutline = {255, 0, 255};

PixelColour colourAt(const NBitmap& picture, int x, int y) {
    const unsigned char* p = picture.rowPointer(y) + x * picture.bytesPerPixel;
    PixelColour colour;
    if (picture.bytesPerPixel == 1) {
        const RGBQUAD& entry = picture.colors[p[0]];
        colour = {entry.rgbRed, entry.rgbGreen, entry.rgbBlue};
    } else if (picture.bytesPerPixel == 2) {
        // Five bits a channel, widened by repeating their top bits: 31 is 255.
        unsigned value = (unsigned)p[0] | (unsigned)p[1] << 8;
        unsigned red = value >> 10 & 31, green = value >> 5 & 31, blue = value & 31;
        colour = {(int)(red << 3 | red >> 2), (int)(green << 3 | green >> 2),
                  (int)(blue << 3 | blue >> 2)};
    } else {
        colour = {p[2], p[1], p[0]};
    }
    return colour;
}

void putColour(NBitmap* picture, int x, int y, const PixelColour& colour) {
    unsigned char* p = picture->rowPointer(y) + x * 3;
    p[0] = (unsigned char)colour.blue;
    p[1] = (unsigned char)colour.green;
    p[2] = (unsigned char)colour.red;
}

bool samePixel(const NBitmap& a, const NBitmap& b, int x, int y) {
    return std::memcmp(a.rowPointer(y) + x * 3, b.rowPointer(y) + x * 3, 3) == 0;
}

int largestChannelDifference(const PixelColour& a, const PixelColour& b) {
    return std::max(
        {std::abs(a.red - b.red), std::abs(a.green - b.green), std::abs(a.blue - b.blue)});
}

void includePixel(FrameDifferences* found, int x, int y) {
    PixelRegion& r = found->bounds;
    if (found->count == 0) {
        r = {x, y, x, y};
        found->firstX = x;
        found->firstY = y;
    }
    r = {std::min(r.left, x), std::min(r.top, y), std::max(r.right, x), std::max(r.bottom, y)};
    ++found->count;
}

// The window of `size` pixels along one axis, centred on `first` to `last` where it fits,
// kept inside 0 to `extent` - 1.
void centreSpan(int first, int last, int size, int extent, int* start, int* end) {
    size = std::min(size, extent);
    *start = std::clamp((first + last + 1) / 2 - size / 2, 0, extent - size);
    *end = *start + size - 1;
}

// A one-pixel frame just outside the region, where it lies inside the picture.
void outlineRegion(NBitmap* picture, const PixelRegion& region, const PixelColour& colour) {
    PixelRegion ring = {region.left - 1, region.top - 1, region.right + 1, region.bottom + 1};
    for (int y = std::max(ring.top, 0); y <= std::min(ring.bottom, picture->height() - 1); ++y) {
        for (int x = std::max(ring.left, 0); x <= std::min(ring.right, picture->width() - 1); ++x) {
            if (!region.holds(x, y)) {
                putColour(picture, x, y, colour);
            }
        }
    }
}

}  // namespace

bool toTrueColour(const NBitmap& picture, NBitmap* copy) {
    if (!copy->create(picture.width(), picture.height(), 3)) {
        return false;
    }
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            putColour(copy, x, y, colourAt(picture, x, y));
        }
    }
    return true;
}

FrameDifferences compareFrames(const NBitmap& reference, const NBitmap& frame) {
    FrameDifferences found;
    for (int y = 0; y < frame.height(); ++y) {
        for (int x = 0; x < frame.width(); ++x) {
            if (samePixel(reference, frame, x, y)) {
                continue;
            }
            PixelColour expected = colourAt(reference, x, y), actual = colourAt(frame, x, y);
            if (found.count == 0) {
                found.referenceColour = expected;
                found.frameColour = actual;
            }
            includePixel(&found, x, y);
            found.largestChannel =
                std::max(found.largestChannel, largestChannelDifference(expected, actual));
        }
    }
    return found;
}

PixelRegion chooseCrop(const FrameDifferences& differences, int frameWidth, int frameHeight,
                       int width, int height) {
    PixelRegion around = differences.bounds;
    if (around.width() > width || around.height() > height) {
        around = {differences.firstX, differences.firstY, differences.firstX, differences.firstY};
    }
    PixelRegion crop;
    centreSpan(around.left, around.right, width, frameWidth, &crop.left, &crop.right);
    centreSpan(around.top, around.bottom, height, frameHeight, &crop.top, &crop.bottom);
    return crop;
}

bool makeDifferencePicture(const NBitmap& reference, const NBitmap& frame, const PixelRegion& crop,
                           NBitmap* picture) {
    if (!picture->create(frame.width(), frame.height(), 3)) {
        return false;
    }
    for (int y = 0; y < frame.height(); ++y) {
        for (int x = 0; x < frame.width(); ++x) {
            PixelColour shown = colourAt(frame, x, y);
            shown = {shown.red / 4, shown.green / 4, shown.blue / 4};
            putColour(picture, x, y, samePixel(reference, frame, x, y) ? shown : differingRed);
        }
    }
    outlineRegion(picture, crop, cropOutline);
    return true;
}

bool makeMagnifiedCrop(const NBitmap& shown, const NBitmap& reference, const NBitmap& frame,
                       const PixelRegion& region, int scale, NBitmap* picture) {
    if (!picture->create(region.width() * scale, region.height() * scale, 3)) {
        return false;
    }
    // An outline a quarter of a cell wide: seen at a glance, with the colour still inside.
    const int outline = std::max(1, scale / 4);
    for (int y = 0; y < region.height() * scale; ++y) {
        int sourceY = region.top + y / scale;
        for (int x = 0; x < region.width() * scale; ++x) {
            int sourceX = region.left + x / scale;
            int cellX = x % scale, cellY = y % scale;
            bool edge = std::min({cellX, cellY, scale - 1 - cellX, scale - 1 - cellY}) < outline;
            bool marked = edge && !samePixel(reference, frame, sourceX, sourceY);
            putColour(picture, x, y, marked ? cellOutline : colourAt(shown, sourceX, sourceY));
        }
    }
    return true;
}
