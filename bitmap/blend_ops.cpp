// Alpha blending: one image laid over another at a position, by its alpha byte and an
// opacity.
#include "bitmap/image_ops_internal.h"

#include <algorithm>

namespace {

// Where the source lands on the target: source pixels [x0, x1) x [y0, y1), moved by (left, top).
struct Overlay {
    NBitmap* target;
    const NBitmap* source;
    long long x0, x1, y0, y1;
    int left, top;
    int opacity;
    RGBQUAD table[256];
};

template <int NS, int NT>
void blendRows(const Overlay& o) {
    // KEPT: the blend rounds by +127 and truncates: black over white gives 1
    // Each colour byte d moves to d + ((colour - d) * a + 127) / 255. Without an alpha byte the
    // weight a is the same for every pixel, so the change is looked up by colour - d.
    const int fixedA = ((255 * o.opacity + 127) / 255) & 255;
    int mix[511];
    for (int difference = -255; difference <= 255; ++difference) {
        mix[difference + 255] = (difference * fixedA + 127) / 255;
    }
    const int targetBytes = NT > 3 ? 3 : NT;
    for (long long sy = o.y0; sy < o.y1; ++sy) {
        const unsigned char* from = o.source->rowPointer((int)sy) + o.x0 * NS;
        unsigned char* to = o.target->rowPointer((int)(sy + o.top)) + (o.x0 + o.left) * NT;
        for (long long i = o.x0; i < o.x1; ++i, from += NS, to += NT) {
            int colour[3] = {0, 0, 0};
            if constexpr (NS == 1) {
                const RGBQUAD& entry = o.table[from[0]];
                colour[0] = entry.rgbBlue;
                colour[1] = entry.rgbGreen;
                colour[2] = entry.rgbRed;
            } else {
                // A 2-byte pixel has no third byte; it counts as 0.
                for (int c = 0; c < (NS > 3 ? 3 : NS); ++c) {
                    colour[c] = from[c];
                }
            }
            int a = fixedA;
            if constexpr (NS == 4) {
                a = ((from[3] * o.opacity + 127) / 255) & 255;
            }
            for (int c = 0; c < targetBytes; ++c) {
                const int d = to[c];
                const int change =
                    NS == 4 ? ((colour[c] - d) * a + 127) / 255 : mix[colour[c] - d + 255];
                to[c] = (unsigned char)((d + change) & 255);
            }
        }
    }
}

template <int NS>
void blendFrom(const Overlay& o) {
    switch (o.target->bytesPerPixel) {
        case 2:
            blendRows<NS, 2>(o);
            break;
        case 3:
            blendRows<NS, 3>(o);
            break;
        default:
            blendRows<NS, 4>(o);
            break;
    }
}

}  // namespace

void NBitmap::blend(NBitmap& source, int left, int top, int opacity) {
    if (&source == this || !holdsSurface(source) || !holdsSurface(*this) || bytesPerPixel == 1 ||
        opacity < 0 || opacity > 255) {
        return;
    }
    Overlay o = {};
    o.target = this;
    o.source = &source;
    o.left = left;
    o.top = top;
    o.opacity = opacity;
    if (source.bytesPerPixel == 1) {
        source.getColorTable(0, 256, o.table);
    }
    // In 64 bits, so that no position plus a size overflows.
    o.x0 = left < 0 ? -(long long)left : 0;
    o.y0 = top < 0 ? -(long long)top : 0;
    o.x1 = std::min<long long>(source.width(), (long long)width() - left);
    o.y1 = std::min<long long>(source.height(), (long long)height() - top);
    if (o.x0 >= o.x1 || o.y0 >= o.y1) {
        return;
    }
    switch (source.bytesPerPixel) {
        case 1:
            blendFrom<1>(o);
            break;
        case 2:
            blendFrom<2>(o);
            break;
        case 3:
            blendFrom<3>(o);
            break;
        default:
            blendFrom<4>(o);
            break;
    }
}
