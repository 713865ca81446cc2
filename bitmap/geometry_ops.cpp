// Operations that move pixels without changing them: resample, flip, rotate.
#include "bitmap/image_ops_internal.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// The pixel size is a template argument so that every inner loop copies a fixed number of
// bytes instead of calling memcpy per pixel.
template <int N>
inline void copyPixel(unsigned char* to, const unsigned char* from) {
    for (int k = 0; k < N; ++k) {
        to[k] = from[k];
    }
}

// Pixel (x, y) is source pixel ((x * sW + sW / 2) / dW, (y * sH + sH / 2) / dH).
template <int N>
void nearestScale(NBitmap* work, const NBitmap& source) {
    const int sourceWidth = source.width(), sourceHeight = source.height();
    const int dW = work->width(), dH = work->height();
    int previousRow = -1;
    for (int y = 0; y < dH; ++y) {
        int sy = (int)(((long long)y * sourceHeight + sourceHeight / 2) / dH);
        unsigned char* to = work->rowPointer(y);
        // When enlarging, neighbouring rows come from the same source row.
        if (sy == previousRow) {
            std::memcpy(to, work->rowPointer(y - 1), (size_t)work->rowBytes);
            continue;
        }
        previousRow = sy;
        const unsigned char* from = source.rowPointer(sy);
        // The column walk keeps (x * sW + sW / 2) / dW without a division per pixel.
        int sourceX = 0;
        long long e = sourceWidth / 2 - (long long)dW;
        for (int x = 0; x < dW; ++x) {
            while (e >= 0) {
                ++sourceX;
                e -= dW;
            }
            NBITMAP_ASSERT(sourceX >= 0 && sourceX < sourceWidth);
            e += sourceWidth;
            copyPixel<N>(to + x * N, from + sourceX * N);
        }
    }
}

// (i + 0.5) * sourceSize / workSize - 0.5, held at 0 where enlarging puts it before the
// first pixel: a negative fraction would extrapolate beyond the image.
inline double sourceCoordinate(int i, int sourceSize, int workSize) {
    double f = (i + 0.5) * sourceSize / workSize - 0.5;
    return f < 0.0 ? 0.0 : f;
}

// Columns are taken in blocks whose source positions are worked out once for all rows.
constexpr int BilinearColumns = 256;

struct ColumnBlock {
    int left[BilinearColumns];
    int right[BilinearColumns];
    double fraction[BilinearColumns];
};

// Each byte of pixel (x, y) blends the four source pixels around (sourceCoordinate(x),
// sourceCoordinate(y)): along the upper and the lower row by the column fraction, each result
// truncated to a byte, then between the two by the row fraction.
template <int N>
void bilinearScale(NBitmap* work, const NBitmap& source) {
    const int sW = source.width(), sH = source.height();
    const int dW = work->width(), dH = work->height();
    // Byte values as doubles, looked up rather than converted: the same numbers.
    double value[256];
    for (int v = 0; v < 256; ++v) {
        value[v] = v;
    }
    ColumnBlock block;
    for (int first = 0; first < dW; first += BilinearColumns) {
        const int count = dW - first < BilinearColumns ? dW - first : BilinearColumns;
        for (int i = 0; i < count; ++i) {
            double fx = sourceCoordinate(first + i, sW, dW);
            int x0 = (int)fx;
            block.left[i] = x0 * N;
            block.right[i] = (x0 + 1 >= sW ? x0 : x0 + 1) * N;
            block.fraction[i] = fx - x0;
        }
        for (int y = 0; y < dH; ++y) {
            double fy = sourceCoordinate(y, sH, dH);
            int y0 = (int)fy;
            double ty = fy - y0;
            const unsigned char* upper = source.rowPointer(y0);
            const unsigned char* lower = y0 < sH - 1 ? source.rowPointer(y0 + 1) : upper;
            unsigned char* to = work->rowPointer(y) + first * N;
            for (int i = 0; i < count; ++i) {
                const double tx = block.fraction[i];
                const unsigned char *a = upper + block.left[i], *b = upper + block.right[i];
                const unsigned char *c = lower + block.left[i], *d = lower + block.right[i];
                for (int k = 0; k < N; ++k) {
                    int p = (int)(value[a[k]] + (value[b[k]] - value[a[k]]) * tx) & 255;
                    int q = (int)(value[c[k]] + (value[d[k]] - value[c[k]]) * tx) & 255;
                    to[i * N + k] = (unsigned char)((int)(value[p] + (value[q] - value[p]) * ty));
                }
            }
        }
    }
}

template <int N>
struct Scale {
    static void run(NBitmap* work, const NBitmap& source, bool smooth) {
        if (smooth) {
            bilinearScale<N>(work, source);
        } else {
            nearestScale<N>(work, source);
        }
    }
};

template <int N>
inline void swapPixels(unsigned char* left, unsigned char* right) {
    for (int k = 0; k < N; ++k) {
        unsigned char kept = left[k];
        left[k] = right[k];
        right[k] = kept;
    }
}

// Four 3-byte pixels (12 bytes) as two words, so that they are reversed in registers. The
// shifts take the first byte as the lowest, as on every little-endian host.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr bool littleEndianWords = false;
#else
constexpr bool littleEndianWords = true;
#endif

struct FourPixels {
    std::uint64_t low;
    std::uint32_t high;
};

inline FourPixels reversedFour(const unsigned char* from) {
    FourPixels f;
    std::memcpy(&f.low, from, 8);
    std::memcpy(&f.high, from + 8, 4);
    const std::uint64_t mask = 0xFFFFFF;
    const std::uint64_t p0 = f.low & mask, p1 = (f.low >> 24) & mask;
    const std::uint64_t p2 = ((f.low >> 48) | ((std::uint64_t)f.high << 16)) & mask;
    const std::uint64_t p3 = f.high >> 8;
    return FourPixels{p3 | p2 << 24 | p1 << 48, (std::uint32_t)(p1 >> 16 | p0 << 8)};
}

inline void putFour(unsigned char* to, FourPixels f) {
    std::memcpy(to, &f.low, 8);
    std::memcpy(to + 8, &f.high, 4);
}

template <int N>
struct MirrorInPlace {
    static void run(NBitmap* bitmap) {
        const int w = bitmap->width();
        for (int y = 0; y < bitmap->height(); ++y) {
            unsigned char* row = bitmap->rowPointer(y);
            int j = 0;
            if constexpr (N == 3 && littleEndianWords) {
                // The plain walk swaps pixel j with pixel w - 1 - j; this one takes four
                // pixels from each end at a time while the two groups do not meet.
                for (; j + 4 <= w / 2; j += 4) {
                    const FourPixels left = reversedFour(row + j * 3);
                    const FourPixels right = reversedFour(row + (w - 4 - j) * 3);
                    putFour(row + j * 3, right);
                    putFour(row + (w - 4 - j) * 3, left);
                }
            }
            for (; j < w / 2; ++j) {
                swapPixels<N>(row + j * N, row + (w - 1 - j) * N);
            }
        }
    }
};

template <int N>
struct MirrorInto {
    static void run(NBitmap* target, const NBitmap& source, bool vertical, bool horizontal) {
        const int w = source.width(), h = source.height();
        for (int y = 0; y < h; ++y) {
            const unsigned char* from = source.rowPointer(vertical ? h - 1 - y : y);
            unsigned char* to = target->rowPointer(y);
            if (!horizontal) {
                std::memcpy(to, from, (size_t)source.rowBytes);
                continue;
            }
            for (int x = 0; x < w; ++x) {
                copyPixel<N>(to + x * N, from + (w - 1 - x) * N);
            }
        }
    }
};

bool exchangeRows(NBitmap* bitmap) {
    const size_t rowBytes = (size_t)bitmap->rowBytes;
    unsigned char* kept = (unsigned char*)std::malloc(rowBytes);
    if (kept == nullptr) {
        return false;
    }
    const int h = bitmap->height();
    for (int i = 0; i < h / 2; ++i) {
        unsigned char* upper = bitmap->rowPointer(i);
        unsigned char* lower = bitmap->rowPointer(h - 1 - i);
        std::memcpy(kept, upper, rowBytes);
        std::memcpy(upper, lower, rowBytes);
        std::memcpy(lower, kept, rowBytes);
    }
    std::free(kept);
    return true;
}

// Pixel (x, y) takes the source pixel at (cx + dx * A - dy * B, cy + dx * B + dy * A), where
// (dx, dy) is its offset from the centre; black where that lies outside.
template <int N>
struct Turn {
    static void run(NBitmap* work, const NBitmap& source, int degrees) {
        const int W = work->width(), H = work->height();
        const float cx = W / 2.0f, cy = H / 2.0f;
        const double theta = (3.1415926535 / 180) * degrees;
        const double A = std::cos(-theta), B = std::sin(-theta);
        for (int y = 0; y < H; ++y) {
            // The row's terms, taken out of the pixel loop; the sums keep their order.
            const float dy = (float)y - cy;
            const double rowX = dy * B, rowY = dy * A;
            unsigned char* to = work->rowPointer(y);
            for (int x = 0; x < W; ++x) {
                const float dx = (float)x - cx;
                const double fx = cx + dx * A - rowX;
                const double fy = cy + dx * B + rowY;
                // Truncation toward zero keeps (-1, 0) on the first pixel.
                if (fx > -1.0 && fx < W && fy > -1.0 && fy < H) {
                    copyPixel<N>(to + x * N, source.rowPointer((int)fy) + (int)fx * N);
                } else {
                    for (int k = 0; k < N; ++k) {
                        to[x * N + k] = 0;
                    }
                }
            }
        }
    }
};

}  // namespace

int NBitmap::resample(int left, int top, int right, int bottom, NBitmap& source, bool smooth) {
    if (!holdsSurface(source) || top > bottom || right < left) {
        return 0;
    }
    const int n = source.pixelSize();
    if (n == 1 && smooth) {
        return -1;
    }
    const long long newWidth = (long long)right - left, newHeight = (long long)bottom - top;
    if (newWidth > INT_MAX || newHeight > INT_MAX) {
        return 0;
    }
    OperationTarget target(this, source);
    if (!target.create((int)newWidth, (int)newHeight)) {
        return 0;
    }
    forPixelSize<Scale>(n, target.image(), source, smooth);
    return target.finish() ? 1 : 0;
}

int NBitmap::flip(NBitmap& source, bool vertical, bool horizontal) {
    // KEPT: a vertical flip of two rows or fewer is refused
    if (!holdsSurface(source) || (vertical && source.height() <= 2)) {
        return 0;
    }
    if (&source != this) {
        if (!matchSource(this, source)) {
            return 0;
        }
        forPixelSize<MirrorInto>(bytesPerPixel, this, source, vertical, horizontal);
        return 1;
    }
    if (vertical && !exchangeRows(this)) {
        return 0;
    }
    if (horizontal) {
        forPixelSize<MirrorInPlace>(bytesPerPixel, this);
    }
    return 1;
}

int NBitmap::rotate(NBitmap& source, int degrees) {
    if (!holdsSurface(source)) {
        return 0;
    }
    OperationTarget target(this, source);
    if (!target.create(source.width(), source.height())) {
        return 0;
    }
    forPixelSize<Turn>(source.bytesPerPixel, target.image(), source, degrees);
    return target.finish() ? 1 : 0;
}
