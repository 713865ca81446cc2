// The normalised convolution: every pixel a weighted sum of its neighbours inside the image,
// divided by the weights that fell inside.
#include "bitmap/image_ops_internal.h"

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

// Palette pixels are looked up once into a 4-byte image; pixels of 3 and 4 bytes are read
// where they are. The fourth byte is never a colour.
void fillFromPalette(NBitmap* image, const NBitmap& source) {
    for (int y = 0; y < source.height(); ++y) {
        const unsigned char* from = source.rowPointer(y);
        unsigned char* to = image->rowPointer(y);
        for (int x = 0; x < source.width(); ++x) {
            const RGBQUAD& entry = source.colors[from[x]];
            to[4 * x] = entry.rgbBlue;
            to[4 * x + 1] = entry.rgbGreen;
            to[4 * x + 2] = entry.rgbRed;
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

// A pixel near the border: only the taps inside the image count, in kernel order. N is the
// image's bytes a pixel; the target has 4.
template <int N>
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
            const unsigned char* p = row + N * (x + kx - k.centreX);
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

// A few taps in one pass over the chunk's sums, added in the order given.
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

// Taps a pass: 16-bit sums keep a 3 x 3 kernel in registers in one pass, floats need more
// room.
template <class Sum>
constexpr int maxTapGroup() {
    return std::is_same<Sum, short>::value ? 9 : 4;
}

template <class Sum, int G = maxTapGroup<Sum>()>
void addTapGroup(Sum* sums, const unsigned char* const* taps, const Sum* weights, int group,
                 int bytes) {
    if constexpr (G > 1) {
        if (group < G) {
            addTapGroup<Sum, G - 1>(sums, taps, weights, group, bytes);
            return;
        }
    }
    addTaps<Sum, G>(sums, taps, weights, bytes);
}

// What the pixels whose taps all lie inside the image share. With whole weights the sums are
// 16-bit integers, and `quotient` (indexed from -bound to bound) holds convolvedByte of each.
struct Interior {
    const Kernel* k;
    float divisor;
    const unsigned char* quotient;
};

// `count` pixels from x0 on row y. The taps are applied to the whole chunk a few at a time, in
// kernel order, so every pixel's sum grows exactly as in a pixel-by-pixel loop. Every byte of
// the image's pixels is summed; only the colour bytes go on to the target.
template <class Sum, int N>
void convolveChunk(unsigned char* to, const NBitmap& image, const Interior& in, int x0, int y,
                   int count) {
    const Kernel& k = *in.k;
    Sum sums[ChunkPixels * N];
    const int bytes = N * count;
    for (int i = 0; i < bytes; ++i) {
        sums[i] = 0;
    }
    const unsigned char* taps[maxTapGroup<Sum>()];
    Sum weights[maxTapGroup<Sum>()];
    int group = 0;
    for (int ky = 0; ky < k.height; ++ky) {
        const unsigned char* row = image.rowPointer(y + ky - k.centreY) + N * (x0 - k.centreX);
        for (int kx = 0; kx < k.width; ++kx) {
            // A zero weight adds nothing (at most it changes the sign of a zero sum).
            const float w = k.weights[ky * k.width + kx];
            if (w == 0.0f) {
                continue;
            }
            taps[group] = row + N * kx;
            weights[group] = (Sum)w;
            if (++group == maxTapGroup<Sum>()) {
                addTapGroup(sums, taps, weights, group, bytes);
                group = 0;
            }
        }
    }
    if (group > 0) {
        addTapGroup(sums, taps, weights, group, bytes);
    }
    if constexpr (std::is_same<Sum, short>::value) {
        for (int i = 0; i < count; ++i) {
            for (int c = 0; c < 3; ++c) {
                to[4 * i + c] = in.quotient[sums[N * i + c]];
            }
        }
    } else {
        // The divisions run over all the sums at once; only then are the colours picked out.
        unsigned char results[ChunkPixels * N];
        for (int i = 0; i < bytes; ++i) {
            results[i] = convolvedByte(sums[i], in.divisor);
        }
        for (int i = 0; i < count; ++i) {
            std::memcpy(to + 4 * i, results + N * i, 3);
        }
    }
}

template <int N>
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
                convolveBorderPixel<N>(to + 4 * x, image, k, x, y);
            }
            continue;
        }
        for (int x = 0; x < xFirst; ++x) {
            convolveBorderPixel<N>(to + 4 * x, image, k, x, y);
        }
        for (int x = (int)xFirst; x < xEnd; x += ChunkPixels) {
            const int count = (int)(xEnd - x < ChunkPixels ? xEnd - x : ChunkPixels);
            if (bound >= 0) {
                convolveChunk<short, N>(to + 4 * x, image, in, x, y, count);
            } else {
                convolveChunk<float, N>(to + 4 * x, image, in, x, y, count);
            }
        }
        for (int x = (int)xEnd; x < W; ++x) {
            convolveBorderPixel<N>(to + 4 * x, image, k, x, y);
        }
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
    const Kernel k = {kernel, kernelWidth, kernelHeight, kernelWidth / 2, kernelHeight / 2};
    if (source.bytesPerPixel == 3) {
        convolveRows<3>(this, source, k);
        return 1;
    }
    if (source.bytesPerPixel == 4) {
        convolveRows<4>(this, source, k);
        return 1;
    }
    TemporaryImage colours;
    if (!colours.create(source.width(), source.height(), 4)) {
        return 0;
    }
    fillFromPalette(colours.image(), source);
    convolveRows<4>(this, *colours.image(), k);
    return 1;
}
