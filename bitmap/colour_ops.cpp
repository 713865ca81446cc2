// The per-byte colour filters: invert, brighten, toGrey. Pixel images change their colour
// bytes; palette images change their palette and keep their indices.
#include "bitmap/image_ops_internal.h"

#include <cstring>

namespace {

// Every colour byte of every pixel goes through `map`. With 2 or 3 bytes a pixel every byte
// of a pixel is a colour byte, so the row is one run of bytes; the fourth byte of a 4-byte
// pixel is never written.
template <class ByteMap>
void mapColourBytes(NBitmap* target, const NBitmap& source, ByteMap map) {
    const int n = source.bytesPerPixel, w = source.width();
    for (int y = 0; y < source.height(); ++y) {
        const unsigned char* from = source.rowPointer(y);
        unsigned char* to = target->rowPointer(y);
        if (n == 4) {
            for (int x = 0; x < w; ++x) {
                for (int k = 0; k < 3; ++k) {
                    to[4 * x + k] = map(from[4 * x + k]);
                }
            }
            continue;
        }
        const int count = w * n;
        for (int i = 0; i < count; ++i) {
            to[i] = map(from[i]);
        }
    }
}

// The palette branch: all four bytes of each of the source's entries, then the surface's
// table. A separate target also takes the source's indices, or it would show only colour 0.
template <class ByteMap>
void mapPalette(NBitmap* target, const NBitmap& source, ByteMap map) {
    for (int i = 0; i < 256; ++i) {
        const RGBQUAD from = source.colors[i];
        RGBQUAD& to = target->colors[i];
        to.rgbBlue = map(from.rgbBlue);
        to.rgbGreen = map(from.rgbGreen);
        to.rgbRed = map(from.rgbRed);
        to.rgbReserved = map(from.rgbReserved);
    }
    target->setColorTable(0, 256, target->colors);
}

void copyIndices(NBitmap* target, const NBitmap& source) {
    for (int y = 0; y < source.height(); ++y) {
        std::memcpy(target->rowPointer(y), source.rowPointer(y), (size_t)source.rowBytes);
    }
}

// Checks the source and makes a separate target its match; false when nothing may happen.
bool prepareTarget(NBitmap* target, NBitmap& source) {
    if (!holdsSurface(source)) {
        return false;
    }
    if (&source == target) {
        return true;
    }
    if (!matchSource(target, source)) {
        return false;
    }
    if (source.bytesPerPixel == 1) {
        copyIndices(target, source);
    }
    return true;
}

template <class ByteMap>
void mapColours(NBitmap* target, const NBitmap& source, ByteMap map) {
    if (source.bytesPerPixel == 1) {
        mapPalette(target, source, map);
    } else {
        mapColourBytes(target, source, map);
    }
}

template <int N>
void greyPixels(NBitmap* target, const NBitmap& source) {
    // KEPT: grey truncates each product for pixels, the sum once for a palette
    // grey = trunc(0.257 red) + trunc(0.504 green) + trunc(0.098 blue), in float. Each product
    // is truncated on its own, so a table per channel gives the same sums.
    int red[256], green[256], blue[256];
    for (int v = 0; v < 256; ++v) {
        red[v] = (int)(v * 0.257f);
        green[v] = (int)(v * 0.504f);
        blue[v] = (int)(v * 0.098f);
    }
    const int w = source.width();
    for (int y = 0; y < source.height(); ++y) {
        const unsigned char* from = source.rowPointer(y);
        unsigned char* to = target->rowPointer(y);
        for (int x = 0; x < w; ++x) {
            const unsigned char* p = from + x * N;
            int g = green[p[1]] + blue[p[0]];
            // A 2-byte pixel has no third byte; its red counts as 0.
            if constexpr (N > 2) {
                g += red[p[2]];
            }
            for (int k = 0; k < (N > 3 ? 3 : N); ++k) {
                to[x * N + k] = (unsigned char)g;
            }
        }
    }
}

// KEPT: grey truncates each product for pixels, the sum once for a palette
void greyPalette(NBitmap* target) {
    for (int i = 0; i < 256; ++i) {
        RGBQUAD& entry = target->colors[i];
        float g = entry.rgbRed * 0.257f + entry.rgbGreen * 0.504f + entry.rgbBlue * 0.098f;
        entry.rgbBlue = entry.rgbGreen = entry.rgbRed = (unsigned char)(int)g;
    }
    target->setColorTable(0, 256, target->colors);
}

}  // namespace

int NBitmap::invert(NBitmap& source) {
    if (!prepareTarget(this, source)) {
        return 0;
    }
    mapColours(this, source, [](unsigned char v) { return (unsigned char)~v; });
    return 1;
}

int NBitmap::brighten(NBitmap& source, int amount) {
    if (!prepareTarget(this, source)) {
        return 0;
    }
    // Beyond +-256 every byte saturates anyway; holding the amount there keeps v + amount
    // from overflowing.
    const int a = amount < -256 ? -256 : amount > 256 ? 256 : amount;
    mapColours(this, source, [a](unsigned char v) { return clampByte(v + a); });
    return 1;
}

void NBitmap::toGrey(NBitmap& source) {
    if (!prepareTarget(this, source)) {
        return;
    }
    switch (source.bytesPerPixel) {
        case 1:
            greyPalette(this);
            break;
        case 2:
            greyPixels<2>(this, source);
            break;
        case 3:
            greyPixels<3>(this, source);
            break;
        default:
            greyPixels<4>(this, source);
            break;
    }
}
