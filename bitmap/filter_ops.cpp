// Filters that combine pixels: the normalised convolution and alpha blending.
#include "bitmap/image_ops_internal.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <type_traits>

namespace {

struct Kernel {
    const float* weights;
    int width, height;
    int centreX, centreY;
};

// The convolution reads 4-byte pixels whatever the source holds. Their fourth byte is 0 even
// for 4-byte sources: it is never a colour, and the sums over it then give the target's 0.
void fillFourBytes(NBitmap* image, const NBitmap& source) {
    const int n = source.bytesPerPixel, w = source.width();
    for (int y = 0; y < source.height(); ++y) {
        const unsigned char* from = source.rowPointer(y);
        unsigned char* to = image->rowPointer(y);
        for (int x = 0; x < w; ++x) {
            if (n == 1) {
                const RGBQUAD& entry = source.colors[from[x]];
                to[4 * x] = entry.rgbBlue;
                to[4 * x + 1] = entry.rgbGreen;
                to[4 * x + 2] = entry.rgbRed;
            } else if (n == 3) {
                std::memcpy(to + 4 * x, from + 3 * x, 3);
            } else {
                std::memcpy(to + 4 * x, from + 4 * x, 3);
            }
            to[4 * x + 3] = 0;
        }
    }
}

// Where the weights inside the image cancel (edge kernels) the plain sum is kept; dividing
// by 1 gives exactly that.
inline float divisorFor(float total) {
    return total != 0.0f ? total : 1.0f;
}

// sum / divisor held to 0..255; a sum that is not a number gives 0.
inline unsigned char convolvedByte(float sum, float divisor) {
    float q = sum / divisor;
    q = q > 0.0f ? q : 0.0f;
    q = q < 255.0f ? q : 255.0f;
    return (unsigned char)(int)q;
}

// A pixel near the border: only the taps inside the image count, in kernel order.
void convolveBorderPixel(unsigned char* to, const NBitmap& image, const Kernel& k, int x, int y) {
    const long long W = image.width(), H = image.height();
    const long long kyFirst = k.centreY > y ? k.centreY - y : 0;
    const long long kyEnd = H - y + k.centreY < k.height ? H - y + k.centreY : k.height;
    const long long kxFirst = k.centreX > x ? k.centreX - x : 0;
    const long long kxEnd = W - x + k.centreX < k.width ? W - x + k.centreX : k.width;
    float sum[3] = {0.0f, 0.0f, 0.0f};
    float total = 0.0f;
    for (long long ky = kyFirst; ky < kyEnd; ++ky) {
        const unsigned char* row = image.rowPointer((int)(y + ky - k.centreY));
        const float* weights = k.weights + ky * k.width;
        for (long long kx = kxFirst; kx < kxEnd; ++kx) {
            const unsigned char* p = row + 4 * (x + kx - k.centreX);
            for (int c = 0; c < 3; ++c) {
                sum[c] += p[c] * weights[kx];
            }
            total += weights[kx];
        }
    }
    for (int c = 0; c < 3; ++c) {
        to[c] = convolvedByte(sum[c], divisorFor(total));
    }
}

constexpr int ChunkPixels = 256;

constexpr int MaxWholeMagnitude = 128;

// Whole-number weights whose magnitudes add up to at most 128 keep every partial sum within
// 128 * 255 < 2^15: a 16-bit integer sum then equals the single-precision one exactly. The
// answer is that bound on the sums, or -1 for other kernels.
int wholeSumBound(const Kernel& k) {
    float magnitude = 0.0f;
    for (long long i = 0; i < (long long)k.width * k.height; ++i) {
        const float w = k.weights[i];
        if (!(std::fabs(w) <= MaxWholeMagnitude) || w != std::trunc(w)) {
            return -1;
        }
        magnitude += std::fabs(w);
    }
    return magnitude <= MaxWholeMagnitude ? (int)magnitude * 255 : -1;
}

// Up to four taps in one pass over the chunk's sums, added in the order given.
template <class Sum, int G>
void addTaps(Sum* sums, const unsigned char* const* taps, const Sum* weights, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        Sum s = sums[i];
        for (int g = 0; g < G; ++g) {
            s = (Sum)(s + taps[g][i] * weights[g]);
        }
        sums[i] = s;
    }
}

template <class Sum>
void addTapGroup(Sum* sums, const unsigned char* const* taps, const Sum* weights, int group,
                 int bytes) {
    switch (group) {
        case 1:
            addTaps<Sum, 1>(sums, taps, weights, bytes);
            break;
        case 2:
            addTaps<Sum, 2>(sums, taps, weights, bytes);
            break;
        case 3:
            addTaps<Sum, 3>(sums, taps, weights, bytes);
            break;
        default:
            addTaps<Sum, 4>(sums, taps, weights, bytes);
            break;
    }
}

// What the pixels whose taps all lie inside the image share. With whole weights the sums are
// 16-bit integers, and `quotient` (indexed from -bound to bound) holds convolvedByte of each.
struct Interior {
    const Kernel* k;
    float divisor;
    const unsigned char* quotient;
};

// `count` pixels from x0 on row y. The taps are applied to the whole chunk a few at a time, in
// kernel order, so every pixel's sum grows exactly as in a pixel-by-pixel loop.
template <class Sum>
void convolveChunk(unsigned char* to, const NBitmap& image, const Interior& in, int x0, int y,
                   int count) {
    const Kernel& k = *in.k;
    Sum sums[ChunkPixels * 4];
    const int bytes = 4 * count;
    for (int i = 0; i < bytes; ++i) {
        sums[i] = 0;
    }
    const unsigned char* taps[4];
    Sum weights[4];
    int group = 0;
    for (int ky = 0; ky < k.height; ++ky) {
        const unsigned char* row = image.rowPointer(y + ky - k.centreY) + 4 * (x0 - k.centreX);
        for (int kx = 0; kx < k.width; ++kx) {
            // A zero weight adds nothing (at most it changes the sign of a zero sum).
            const float w = k.weights[ky * k.width + kx];
            if (w == 0.0f) {
                continue;
            }
            taps[group] = row + 4 * kx;
            weights[group] = (Sum)w;
            if (++group == 4) {
                addTapGroup(sums, taps, weights, group, bytes);
                group = 0;
            }
        }
    }
    if (group > 0) {
        addTapGroup(sums, taps, weights, group, bytes);
    }
    for (int i = 0; i < bytes; ++i) {
        if constexpr (std::is_same<Sum, short>::value) {
            to[i] = in.quotient[sums[i]];
        } else {
            to[i] = convolvedByte(sums[i], in.divisor);
        }
    }
}

void convolveRows(NBitmap* target, const NBitmap& image, const Kernel& k) {
    const int W = image.width(), H = image.height();
    // Pixels in [xFirst, xEnd) x [yFirst, yEnd) have all their taps inside the image.
    const long long xFirst = k.centreX, xEnd = (long long)W - (k.width - 1 - k.centreX);
    const long long yFirst = k.centreY, yEnd = (long long)H - (k.height - 1 - k.centreY);
    float total = 0.0f;
    for (long long i = 0; i < (long long)k.width * k.height; ++i) {
        total += k.weights[i];
    }
    Interior in = {&k, divisorFor(total), nullptr};
    const int bound = wholeSumBound(k);
    unsigned char quotients[2 * MaxWholeMagnitude * 255 + 1];
    if (bound >= 0) {
        for (int sum = -bound; sum <= bound; ++sum) {
            quotients[sum + bound] = convolvedByte((float)sum, in.divisor);
        }
        in.quotient = quotients + bound;
    }
    for (int y = 0; y < H; ++y) {
        unsigned char* to = target->rowPointer(y);
        if (y < yFirst || y >= yEnd || xFirst >= xEnd) {
            for (int x = 0; x < W; ++x) {
                convolveBorderPixel(to + 4 * x, image, k, x, y);
            }
            continue;
        }
        for (int x = 0; x < xFirst; ++x) {
            convolveBorderPixel(to + 4 * x, image, k, x, y);
        }
        for (int x = (int)xFirst; x < xEnd; x += ChunkPixels) {
            const int count = (int)(xEnd - x < ChunkPixels ? xEnd - x : ChunkPixels);
            if (bound >= 0) {
                convolveChunk<short>(to + 4 * x, image, in, x, y, count);
            } else {
                convolveChunk<float>(to + 4 * x, image, in, x, y, count);
            }
        }
        for (int x = (int)xEnd; x < W; ++x) {
            convolveBorderPixel(to + 4 * x, image, k, x, y);
        }
    }
}

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
    // Without an alpha byte the weight is the same for every pixel: one table of blends.
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

int NBitmap::convolve(NBitmap& source, const float* kernel, int kernelWidth, int kernelHeight) {
    // Everything refusable is refused before the target is touched: it loses nothing.
    if (&source == this || !holdsSurface(source) || source.bytesPerPixel == 2 ||
        kernel == nullptr || kernelWidth <= 0 || kernelHeight <= 0 ||
        (long long)kernelWidth * kernelHeight > INT_MAX) {
        return 0;
    }
    if (!create(source.width(), source.height(), 4)) {
        return 0;
    }
    NBitmap* image = newTemporaryImage();
    if (image == nullptr || !image->create(source.width(), source.height(), 4)) {
        releaseTemporaryImage(image);
        return 0;
    }
    fillFourBytes(image, source);
    const Kernel k = {kernel, kernelWidth, kernelHeight, kernelWidth / 2, kernelHeight / 2};
    convolveRows(this, *image, k);
    releaseTemporaryImage(image);
    return 1;
}

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
