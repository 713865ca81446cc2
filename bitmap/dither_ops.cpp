// Preparing an image for fewer colour levels: ordered dithering to 0 and 255, a fixed ordered
// pattern added to every byte, and serpentine error diffusion.
#include "bitmap/image_ops_internal.h"

#include <cstring>

namespace {

const int D2[4] = {0, 2, 3, 1};

// D16, row-major: the doubling rule applied three times to D2.
// clang-format off
const unsigned char D16[256] = {
      0, 128,  32, 160,   8, 136,  40, 168,   2, 130,  34, 162,  10, 138,  42, 170,
    192,  64, 224,  96, 200,  72, 232, 104, 194,  66, 226,  98, 202,  74, 234, 106,
     48, 176,  16, 144,  56, 184,  24, 152,  50, 178,  18, 146,  58, 186,  26, 154,
    240, 112, 208,  80, 248, 120, 216,  88, 242, 114, 210,  82, 250, 122, 218,  90,
     12, 140,  44, 172,   4, 132,  36, 164,  14, 142,  46, 174,   6, 134,  38, 166,
    204,  76, 236, 108, 196,  68, 228, 100, 206,  78, 238, 110, 198,  70, 230, 102,
     60, 188,  28, 156,  52, 180,  20, 148,  62, 190,  30, 158,  54, 182,  22, 150,
    252, 124, 220,  92, 244, 116, 212,  84, 254, 126, 222,  94, 246, 118, 214,  86,
      3, 131,  35, 163,  11, 139,  43, 171,   1, 129,  33, 161,   9, 137,  41, 169,
    195,  67, 227,  99, 203,  75, 235, 107, 193,  65, 225,  97, 201,  73, 233, 105,
     51, 179,  19, 147,  59, 187,  27, 155,  49, 177,  17, 145,  57, 185,  25, 153,
    243, 115, 211,  83, 251, 123, 219,  91, 241, 113, 209,  81, 249, 121, 217,  89,
     15, 143,  47, 175,   7, 135,  39, 167,  13, 141,  45, 173,   5, 133,  37, 165,
    207,  79, 239, 111, 199,  71, 231, 103, 205,  77, 237, 109, 197,  69, 229, 101,
     63, 191,  31, 159,  55, 183,  23, 151,  61, 189,  29, 157,  53, 181,  21, 149,
    255, 127, 223,  95, 247, 119, 215,  87, 253, 125, 221,  93, 245, 117, 213,  85,
};
// clang-format on

// The colour bytes of an N-byte pixel in the order the ordered dither visits them.
template <int N>
constexpr int colourByte(int k) {
    return N == 2 ? 1 - k : 2 - k;
}
template <int N>
constexpr int colourBytes() {
    return N > 3 ? 3 : N;
}

// With 2 or 3 bytes a pixel every byte is a colour byte, and a row's pattern of matrix columns
// repeats after N * size bytes: such rows go in blocks of N * 64 bytes (a whole number of
// repeats for every size) against a block of limits made once a row.
template <int N>
constexpr int patternBlockBytes() {
    return N * 16 * 4;
}

// D(j, i) < min(size^2, floor(v / scale)) holds exactly when v >= (D(j, i) + 1) * scale, as
// D < size^2. The block's limits are stored less one, so that 256 (never) still fits a byte.
template <int N>
void thresholdRows(NBitmap* target, const NBitmap& source, const int* matrix, int size, int scale) {
    const int wrap = size - 1;
    const int rowColourBytes = source.width() * N;
    int j = 0;
    for (int y = 0; y < source.height(); ++y) {
        const unsigned char* from = source.rowPointer(y);
        unsigned char* to = target->rowPointer(y);
        const int* thresholds = matrix + j * size;
        if constexpr (N == 4) {
            // The column counter moves on after every colour byte, not after every pixel.
            int i = 0;
            for (int x = 0; x < source.width(); ++x) {
                for (int k = 0; k < 3; ++k) {
                    const int b = x * 4 + 2 - k;
                    to[b] = from[b] >= (thresholds[i] + 1) * scale ? 255 : 0;
                    i = (i + 1) & wrap;
                }
            }
        } else {
            unsigned char below[patternBlockBytes<N>()];
            for (int b = 0; b < patternBlockBytes<N>(); ++b) {
                const int visited = b - b % N + colourByte<N>(b % N);
                below[b] = (unsigned char)((thresholds[visited & wrap] + 1) * scale - 1);
            }
            for (int start = 0; start < rowColourBytes; start += patternBlockBytes<N>()) {
                const int count = rowColourBytes - start < patternBlockBytes<N>()
                                      ? rowColourBytes - start
                                      : patternBlockBytes<N>();
                for (int b = 0; b < count; ++b) {
                    to[start + b] = from[start + b] > below[b] ? 255 : 0;
                }
            }
        }
        j = (j + 1) & wrap;
    }
}

template <int N>
void offsetRows(NBitmap* target, const NBitmap& source, const int* offsets) {
    const int w = source.width(), rowColourBytes = w * N;
    for (int y = 0; y < source.height(); ++y) {
        const unsigned char* from = source.rowPointer(y);
        unsigned char* to = target->rowPointer(y);
        const int* rowOffsets = offsets + (y & 15) * 16;
        if constexpr (N == 4) {
            for (int x = 0; x < w; ++x) {
                for (int k = 0; k < 3; ++k) {
                    to[x * 4 + k] = clampByte(from[x * 4 + k] + rowOffsets[x & 15]);
                }
            }
            continue;
        }
        // All colour bytes of a pixel get the pixel's offset; the pattern repeats after 16
        // pixels. Sums fit 16 bits, which keeps the clamping loop eight bytes wide.
        short blockOffsets[patternBlockBytes<N>()];
        for (int b = 0; b < patternBlockBytes<N>(); ++b) {
            blockOffsets[b] = (short)rowOffsets[(b / N) & 15];
        }
        for (int start = 0; start < rowColourBytes; start += patternBlockBytes<N>()) {
            const int count = rowColourBytes - start < patternBlockBytes<N>()
                                  ? rowColourBytes - start
                                  : patternBlockBytes<N>();
            for (int b = 0; b < count; ++b) {
                short v = (short)(from[start + b] + blockOffsets[b]);
                v = v < 0 ? (short)0 : v;
                v = v > 255 ? (short)255 : v;
                to[start + b] = (unsigned char)v;
            }
        }
    }
}

// Exercise diffusion: spread each byte's rounding error over its neighbours ahead and below.
// addScaledError for a weight of k / 16: in double the product and the sum are exact, so
// truncating toward zero is integer division.
inline void addSixteenths(unsigned char* byte, int error, int k) {
    *byte = clampByte((16 * *byte + error * k) / 16);
}

template <int N>
void diffuseRows(NBitmap* bitmap, int shift) {
    const int step = 1 << shift, quarter = step / 4;
    const int w = bitmap->width(), h = bitmap->height();
    for (int y = 0; y < h; ++y) {
        unsigned char* row = bitmap->rowPointer(y);
        unsigned char* next = y + 1 < h ? bitmap->rowPointer(y + 1) : nullptr;
        // Even rows run left to right, odd rows back; "ahead" is the way the row runs.
        const bool forward = y % 2 == 0;
        const int ahead = forward ? N : -N;
        for (int i = 0; i < w; ++i) {
            const int x = forward ? i : w - 1 - i;
            const bool hasAhead = i + 1 < w, hasBehind = i > 0;
            for (int c = 0; c < colourBytes<N>(); ++c) {
                unsigned char* p = row + x * N + c;
                const int v = *p, rest = v & (step - 1);
                const int q = v - rest + (rest + quarter >= step ? step : 0);
                const int e = v - q;
                if (hasAhead) {
                    addSixteenths(p + ahead, e, 7);
                }
                if (next != nullptr) {
                    unsigned char* below = next + x * N + c;
                    if (hasBehind) {
                        addSixteenths(below - ahead, e, 3);
                    }
                    addSixteenths(below, e, 5);
                    if (hasAhead) {
                        addSixteenths(below + ahead, e, 1);
                    }
                }
                *p = clampByte(q);
            }
        }
    }
}
// End of exercise diffusion

template <int N>
struct Threshold {
    static void run(NBitmap* t, const NBitmap& s, const int* m, int size, int scale) {
        thresholdRows<N>(t, s, m, size, scale);
    }
};
template <int N>
struct Offset {
    static void run(NBitmap* t, const NBitmap& s, const int* offsets) {
        offsetRows<N>(t, s, offsets);
    }
};
template <int N>
struct Diffuse {
    static void run(NBitmap* bitmap, int shift) { diffuseRows<N>(bitmap, shift); }
};

// False for sizes without a matrix.
bool chooseMatrix(int size, int* matrix, int* scale) {
    int d4[16], d8[64];
    switch (size) {
        case 2:
            std::memcpy(matrix, D2, sizeof(D2));
            *scale = 51;
            return true;
        case 4:
            buildDitherMatrix(4, D2, matrix);
            *scale = 15;
            return true;
        case 16:
            buildDitherMatrix(4, D2, d4);
            buildDitherMatrix(8, d4, d8);
            buildDitherMatrix(16, d8, matrix);
            *scale = 1;
            return true;
        default:
            return false;
    }
}

}  // namespace

void buildDitherMatrix(int size, const int* half, int* out) {
    if ((size != 4 && size != 8 && size != 16) || half == nullptr || out == nullptr) {
        return;
    }
    const int h = size / 2;
    for (int r = 0; r < size; ++r) {
        for (int c = 0; c < size; ++c) {
            out[r * size + c] = 4 * half[(r % h) * h + c % h] + D2[(r / h) * 2 + c / h];
        }
    }
}

void addScaledError(unsigned char* byte, int error, float weight) {
    if (byte == nullptr) {
        return;
    }
    double value = *byte + error * (double)weight;
    // Written so that a weight that is not a number leaves 0, not an undefined conversion.
    *byte = !(value > 0.0) ? 0 : value >= 255.0 ? 255 : (unsigned char)(int)value;
}

// KEPT: the dither's column counter moves per colour byte; size 8 changes nothing
void NBitmap::orderedDither(NBitmap& source, int size) {
    int matrix[256];
    int scale = 0;
    if (!chooseMatrix(size, matrix, &scale) || !holdsSurface(source) || source.bytesPerPixel == 1) {
        return;
    }
    if (&source != this && !matchSource(this, source)) {
        return;
    }
    forPixelSize<Threshold, 2>(source.bytesPerPixel, this, source, matrix, size, scale);
}

void NBitmap::addDitherPattern(NBitmap& source, int bits) {
    if (bits < 1 || bits > 8 || !holdsSurface(source) || source.bytesPerPixel == 1) {
        return;
    }
    if (&source != this && !create(source.width(), source.height(), source.pixelSize())) {
        return;
    }
    int offsets[256];
    for (int i = 0; i < 256; ++i) {
        offsets[i] = (D16[i] >> (8 - bits)) - (1 << (bits - 1));
    }
    forPixelSize<Offset, 2>(source.bytesPerPixel, this, source, offsets);
}

void NBitmap::diffuseError(NBitmap& source, int shift) {
    if (shift < 0 || shift > 8 || !holdsSurface(source) || source.bytesPerPixel == 1) {
        return;
    }
    if (&source != this) {
        if (!matchSource(this, source)) {
            return;
        }
        for (int y = 0; y < source.height(); ++y) {
            std::memcpy(rowPointer(y), source.rowPointer(y), (size_t)source.rowBytes);
        }
    }
    // With a step of 1 every byte is already on a level and no error is ever spread.
    if (shift > 0) {
        forPixelSize<Diffuse, 2>(bytesPerPixel, this, shift);
    }
}
