// The image operations of NBitmap: resampling, mirroring, rotation, the colour filters, the
// dithers, convolution and blending, through Win32 alone.
#include "bitmap/nbitmap.h"
#include "platform/win32/win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// A bitmap that releases its surface when the test ends.
struct Image {
    NBitmap b = {};
    Image() = default;
    Image(int width, int height, int bytesPerPixel) { b.create(width, height, bytesPerPixel); }
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
    ~Image() { b.destroy(); }
    unsigned char* at(int x, int y) { return b.rowPointer(y) + x * b.bytesPerPixel; }
    Bytes pixel(int x, int y) { return Bytes(at(x, y), at(x, y) + b.bytesPerPixel); }
};

void fill(Image& image, const Bytes& value) {
    for (int y = 0; y < image.b.height(); ++y) {
        for (int x = 0; x < image.b.width(); ++x) {
            for (int k = 0; k < image.b.bytesPerPixel; ++k) {
                image.at(x, y)[k] = value[k];
            }
        }
    }
}

void fillRandom(Image& image, unsigned seed) {
    for (int y = 0; y < image.b.height(); ++y) {
        for (int i = 0; i < image.b.width() * image.b.bytesPerPixel; ++i) {
            seed = seed * 1103515245u + 12345u;
            image.b.rowPointer(y)[i] = (unsigned char)(seed >> 23);
        }
    }
}

// Every pixel byte, top row first, without the row padding.
Bytes pixels(const NBitmap& b) {
    Bytes all;
    for (int y = 0; y < b.height(); ++y) {
        all.insert(all.end(), b.rowPointer(y), b.rowPointer(y) + b.width() * b.bytesPerPixel);
    }
    return all;
}

// Entry i is {i, 255 - i, i / 2, 7}.
void givePalette(Image& image) {
    for (int i = 0; i < 256; ++i) {
        image.b.colors[i] = {(BYTE)i, (BYTE)(255 - i), (BYTE)(i / 2), 7};
    }
    image.b.setColorTable(0, 256, image.b.colors);
}

// A row of pixels whose first byte is the column number.
void numberColumns(Image& image) {
    for (int y = 0; y < image.b.height(); ++y) {
        for (int x = 0; x < image.b.width(); ++x) {
            for (int k = 0; k < image.b.bytesPerPixel; ++k) {
                image.at(x, y)[k] = (unsigned char)(k == 0 ? x : 100 + y);
            }
        }
    }
}

// resample

// Halving 4 columns takes 1 and 3, doubling 2 takes 0, 0, 1, 1, and 3 rows to 2 takes 0 and 2.
TEST(Resample, NearestTakesTheColumnsAndRowsNearestTheCentres) {
    Image four(4, 1, 3), two(2, 1, 3), three(1, 3, 3), target;
    numberColumns(four);
    numberColumns(two);
    numberColumns(three);
    ASSERT_EQ(target.b.resample(0, 0, 2, 1, four.b, false), 1);
    EXPECT_EQ(pixels(target.b), Bytes({1, 100, 100, 3, 100, 100}));
    ASSERT_EQ(target.b.resample(0, 0, 4, 1, two.b, false), 1);
    EXPECT_EQ(pixels(target.b), Bytes({0, 100, 100, 0, 100, 100, 1, 100, 100, 1, 100, 100}));
    ASSERT_EQ(target.b.resample(0, 0, 1, 2, three.b, false), 1);
    EXPECT_EQ(pixels(target.b), Bytes({0, 100, 100, 0, 102, 102}));
}

TEST(Resample, BilinearToTheSameSizeReproducesTheSource) {
    for (int n = 2; n <= 4; ++n) {
        Image source(7, 5, n), target;
        fillRandom(source, 11u * n);
        ASSERT_EQ(target.b.resample(0, 0, 7, 5, source.b, true), 1);
        EXPECT_EQ(pixels(target.b), pixels(source.b)) << n << " bytes a pixel";
    }
}

// Enlarging puts the first rows and columns before the first pixel centre; the coordinates
// are held inside the image instead of extrapolating (which wrapped 0 - 63 to 193).
TEST(Resample, BilinearEnlargingStaysInsideTheImage) {
    Image source(2, 2, 3), target;
    fill(source, {0, 0, 0});
    for (int k = 0; k < 3; ++k) {
        source.at(1, 0)[k] = 255;
        source.at(0, 1)[k] = 255;
    }
    ASSERT_EQ(target.b.resample(0, 0, 4, 4, source.b, true), 1);
    const int topRow[4] = {0, 63, 191, 255};
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(target.at(x, 0)[0], topRow[x]) << "column " << x;
    }
    EXPECT_EQ(target.at(0, 1)[0], 63);
    EXPECT_EQ(target.at(3, 3)[0], 0);
}

TEST(Resample, OnlyTheSizeOfTheRectangleMatters) {
    Image source(13, 7, 3), first, second;
    fillRandom(source, 5);
    for (bool smooth : {false, true}) {
        ASSERT_EQ(first.b.resample(0, 0, 10, 5, source.b, smooth), 1);
        ASSERT_EQ(second.b.resample(7, 3, 17, 8, source.b, smooth), 1);
        EXPECT_EQ(second.b.width(), 10);
        EXPECT_EQ(second.b.height(), 5);
        EXPECT_EQ(pixels(first.b), pixels(second.b));
    }
}

TEST(Resample, InPlaceKeepsThePaletteAndLeavesNoTemporary) {
    Image image(4, 4, 1);
    givePalette(image);
    numberColumns(image);
    ASSERT_EQ(image.b.resample(0, 0, 2, 2, image.b, false), 1);
    EXPECT_EQ(image.b.width(), 2);
    EXPECT_EQ(image.at(1, 1)[0], 3);
    RGBQUAD entry = {};
    image.b.getColorTable(200, 1, &entry);
    EXPECT_EQ(entry.rgbGreen, 55);
    EXPECT_EQ(liveTemporaryImages(), 0);
}

TEST(Resample, RefusalsChangeNothing) {
    Image source(4, 4, 3), palette(4, 4, 1), target(3, 3, 3);
    fillRandom(target, 9);
    const Bytes before = pixels(target.b);
    EXPECT_EQ(target.b.resample(5, 0, 4, 2, source.b, false), 0);
    EXPECT_EQ(target.b.resample(0, 3, 4, 2, source.b, false), 0);
    EXPECT_EQ(target.b.resample(0, 0, 2, 2, palette.b, true), -1);
    EXPECT_EQ(target.b.resample(INT_MIN, 0, INT_MAX, 2, source.b, false), 0);
    // Too large for a surface: the in-place temporary is released and the image stays.
    EXPECT_EQ(target.b.resample(0, 0, 70000, 70000, target.b, false), 0);
    EXPECT_EQ(target.b.width(), 3);
    EXPECT_EQ(pixels(target.b), before);
    EXPECT_EQ(liveTemporaryImages(), 0);
}

// The operation walks the columns with an error term and copies repeated rows; the rule
// divides for every pixel. Sizes below, equal to and above the source's, in both directions.
TEST(Resample, NearestAgreesWithTheRule) {
    const int sizes[][2] = {{5, 4}, {13, 11}, {29, 23}, {1, 1}, {300, 2}};
    for (int n = 1; n <= 4; ++n) {
        Image source(13, 11, n);
        fillRandom(source, 41u + n);
        for (const auto& size : sizes) {
            const int w = size[0], h = size[1];
            Image target;
            ASSERT_EQ(target.b.resample(0, 0, w, h, source.b, false), 1);
            int differing = 0;
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    const int sx = (x * 13 + 13 / 2) / w, sy = (y * 11 + 11 / 2) / h;
                    differing += target.pixel(x, y) != source.pixel(sx, sy);
                }
            }
            EXPECT_EQ(differing, 0) << w << " x " << h << ", " << n << " bytes a pixel";
        }
    }
}

double bilinearCoordinate(int i, int sourceSize, int targetSize) {
    const double f = (i + 0.5) * sourceSize / targetSize - 0.5;
    return f < 0.0 ? 0.0 : f;
}

// Byte k of pixel (x, y), blended along the two source rows, then between them.
int bilinearByTheRule(Image& source, int w, int h, int x, int y, int k) {
    const int sW = source.b.width(), sH = source.b.height();
    const double fx = bilinearCoordinate(x, sW, w), fy = bilinearCoordinate(y, sH, h);
    const int x0 = (int)fx, y0 = (int)fy;
    const int x1 = x0 + 1 < sW ? x0 + 1 : x0, y1 = y0 + 1 < sH ? y0 + 1 : y0;
    const double tx = fx - x0, ty = fy - y0;
    const int a = source.at(x0, y0)[k], b = source.at(x1, y0)[k];
    const int c = source.at(x0, y1)[k], d = source.at(x1, y1)[k];
    const int p = (int)(a + (b - a) * tx) & 255, q = (int)(c + (d - c) * tx) & 255;
    return (unsigned char)(int)(p + (q - p) * ty);
}

// The operation takes columns in blocks of 256 and bytes from a table: wide targets cross
// the blocks.
TEST(Resample, BilinearAgreesWithTheRule) {
    const int sizes[][2] = {{600, 3}, {7, 19}, {257, 5}};
    for (int n = 2; n <= 4; ++n) {
        Image source(37, 9, n);
        fillRandom(source, 43u + n);
        for (const auto& size : sizes) {
            const int w = size[0], h = size[1];
            Image target;
            ASSERT_EQ(target.b.resample(0, 0, w, h, source.b, true), 1);
            int differing = 0;
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    for (int k = 0; k < n; ++k) {
                        differing += target.at(x, y)[k] != bilinearByTheRule(source, w, h, x, y, k);
                    }
                }
            }
            EXPECT_EQ(differing, 0) << w << " x " << h << ", " << n << " bytes a pixel";
        }
    }
}

// flip

// Row y holds the value 10 + y in every byte.
void numberRows(Image& image) {
    for (int y = 0; y < image.b.height(); ++y) {
        for (int i = 0; i < image.b.width() * image.b.bytesPerPixel; ++i) {
            image.b.rowPointer(y)[i] = (unsigned char)(10 + y);
        }
    }
}

TEST(Flip, VerticalInPlaceReversesTheRows) {
    for (int rows : {4, 3}) {
        Image image(3, rows, 3);
        numberRows(image);
        ASSERT_EQ(image.b.flip(image.b, true, false), 1);
        for (int y = 0; y < rows; ++y) {
            EXPECT_EQ(image.at(2, y)[2], 10 + rows - 1 - y) << rows << " rows, row " << y;
        }
    }
}

// KEPT: a vertical flip of two rows or fewer is refused
TEST(Flip, VerticalOfTwoRowsIsRefusedEvenWithHorizontal) {
    Image image(3, 2, 3), target;
    numberRows(image);
    image.at(0, 0)[0] = 99;
    const Bytes before = pixels(image.b);
    EXPECT_EQ(image.b.flip(image.b, true, true), 0);
    EXPECT_EQ(pixels(image.b), before);
    EXPECT_EQ(target.b.flip(image.b, true, false), 0);
    EXPECT_EQ(target.b.width(), 0);
}

// Every width up to 21 crosses the four-pixel groups of the in-place mirror differently.
TEST(Flip, HorizontalMirrorsEveryRowInPlaceAndIntoAnotherTarget) {
    for (int n = 1; n <= 4; ++n) {
        for (int width = 1; width <= 21; ++width) {
            Image image(width, 2, n), mirrored;
            fillRandom(image, 3u * width + n);
            ASSERT_EQ(mirrored.b.flip(image.b, false, true), 1);
            for (int y = 0; y < 2; ++y) {
                for (int x = 0; x < width; ++x) {
                    EXPECT_EQ(mirrored.pixel(x, y), image.pixel(width - 1 - x, y));
                }
            }
            ASSERT_EQ(image.b.flip(image.b, false, true), 1);
            EXPECT_EQ(pixels(image.b), pixels(mirrored.b)) << "width " << width << ", " << n;
        }
    }
}

TEST(Flip, BothWaysTurnsByHalfATurnInPlaceAndIntoAnotherTarget) {
    Image image(5, 3, 3), turned;
    fillRandom(image, 17);
    ASSERT_EQ(turned.b.flip(image.b, true, true), 1);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(turned.pixel(x, y), image.pixel(4 - x, 2 - y));
        }
    }
    ASSERT_EQ(image.b.flip(image.b, true, true), 1);
    EXPECT_EQ(pixels(image.b), pixels(turned.b));
}

TEST(Flip, AnotherTargetTakesThePalette) {
    Image image(3, 3, 1), target;
    givePalette(image);
    ASSERT_EQ(target.b.flip(image.b, true, false), 1);
    RGBQUAD entry = {};
    target.b.getColorTable(10, 1, &entry);
    EXPECT_EQ(entry.rgbGreen, 245);
}

// rotate

TEST(Rotate, ByZeroReproducesTheSource) {
    for (int n = 1; n <= 4; ++n) {
        Image image(6, 5, n), target;
        fillRandom(image, 23u + n);
        const Bytes before = pixels(image.b);
        ASSERT_EQ(target.b.rotate(image.b, 0), 1);
        EXPECT_EQ(pixels(target.b), before);
        ASSERT_EQ(image.b.rotate(image.b, 0), 1);
        EXPECT_EQ(pixels(image.b), before);
        EXPECT_EQ(liveTemporaryImages(), 0);
    }
}

TEST(Rotate, CornersTurnedInFromOutsideComeOutBlack) {
    Image image(9, 9, 3);
    fill(image, {200, 200, 200});
    ASSERT_EQ(image.b.rotate(image.b, 45), 1);
    EXPECT_EQ(image.pixel(0, 0), Bytes({0, 0, 0}));
    EXPECT_EQ(image.pixel(8, 8), Bytes({0, 0, 0}));
    EXPECT_EQ(image.pixel(4, 4), Bytes({200, 200, 200}));
}

TEST(Rotate, AnEightBitTargetTakesTheSourcePalette) {
    Image image(4, 4, 1), target;
    givePalette(image);
    ASSERT_EQ(target.b.rotate(image.b, 30), 1);
    RGBQUAD entry = {};
    target.b.getColorTable(100, 1, &entry);
    EXPECT_EQ(entry.rgbBlue, 100);
    EXPECT_EQ(entry.rgbGreen, 155);
    EXPECT_EQ(entry.rgbRed, 50);
}

// The operation takes each row's terms out of the pixel loop; the rule turns every pixel
// about the centre on its own, with the sums in the same order.
TEST(Rotate, AgreesWithTheRule) {
    for (int n = 1; n <= 4; ++n) {
        Image source(9, 7, n);
        fillRandom(source, 47u + n);
        for (int degrees : {30, 45, 200, -73}) {
            Image target;
            ASSERT_EQ(target.b.rotate(source.b, degrees), 1);
            const float cx = 9 / 2.0f, cy = 7 / 2.0f;
            const double theta = (3.1415926535 / 180) * degrees;
            const double A = std::cos(-theta), B = std::sin(-theta);
            int differing = 0;
            for (int y = 0; y < 7; ++y) {
                for (int x = 0; x < 9; ++x) {
                    const float dx = (float)x - cx, dy = (float)y - cy;
                    const double fx = cx + dx * A - dy * B, fy = cy + dx * B + dy * A;
                    const bool inside = fx > -1.0 && fx < 9 && fy > -1.0 && fy < 7;
                    const Bytes expected =
                        inside ? source.pixel((int)fx, (int)fy) : Bytes((size_t)n, 0);
                    differing += target.pixel(x, y) != expected;
                }
            }
            EXPECT_EQ(differing, 0) << degrees << " degrees, " << n << " bytes a pixel";
        }
    }
}

// sources without a surface

TEST(EmptySource, EveryOperationRefusesAndLeavesTheTarget) {
    Image target(4, 4, 3);
    fillRandom(target, 31);
    const Bytes before = pixels(target.b);
    const float kernel[1] = {1.0f};
    for (int destroyed = 0; destroyed < 2; ++destroyed) {
        Image empty;
        if (destroyed) {
            empty.b.create(4, 4, 3);
            empty.b.destroy();
        }
        NBitmap& s = empty.b;
        EXPECT_EQ(target.b.resample(0, 0, 2, 2, s, false), 0);
        EXPECT_EQ(target.b.flip(s, false, true), 0);
        EXPECT_EQ(target.b.rotate(s, 10), 0);
        EXPECT_EQ(target.b.invert(s), 0);
        EXPECT_EQ(target.b.brighten(s, 5), 0);
        target.b.toGrey(s);
        target.b.orderedDither(s, 4);
        target.b.addDitherPattern(s, 4);
        target.b.diffuseError(s, 4);
        EXPECT_EQ(target.b.convolve(s, kernel, 1, 1), 0);
        target.b.blend(s, 0, 0, 255);
        EXPECT_EQ(pixels(target.b), before);
        EXPECT_EQ(target.b.bytesPerPixel, 3);
        // And in place on the empty bitmap itself: nothing to do, nothing touched.
        EXPECT_EQ(s.invert(s), 0);
        EXPECT_EQ(s.rotate(s, 10), 0);
        s.diffuseError(s, 4);
        EXPECT_EQ(s.width(), 0);
    }
}

// the colour filters

TEST(ColourFilters, InvertComplementsTheColourBytesOnly) {
    Image image(2, 1, 3), four(1, 1, 4), separate;
    fill(image, {10, 20, 30});
    ASSERT_EQ(image.b.invert(image.b), 1);
    EXPECT_EQ(image.pixel(1, 0), Bytes({245, 235, 225}));
    fill(four, {10, 20, 30, 77});
    ASSERT_EQ(separate.b.invert(four.b), 1);
    EXPECT_EQ(separate.pixel(0, 0), Bytes({245, 235, 225, 0}));
    ASSERT_EQ(four.b.invert(four.b), 1);
    EXPECT_EQ(four.pixel(0, 0), Bytes({245, 235, 225, 77}));
}

TEST(ColourFilters, BrightenSaturatesAtBothEnds) {
    Image image(1, 1, 3);
    fill(image, {250, 10, 128});
    ASSERT_EQ(image.b.brighten(image.b, 20), 1);
    EXPECT_EQ(image.pixel(0, 0), Bytes({255, 30, 148}));
    fill(image, {250, 10, 128});
    ASSERT_EQ(image.b.brighten(image.b, -20), 1);
    EXPECT_EQ(image.pixel(0, 0), Bytes({230, 0, 108}));
    // Amounts near the ends of int saturate too, without overflowing the sum.
    image.b.brighten(image.b, INT_MAX);
    EXPECT_EQ(image.pixel(0, 0), Bytes({255, 255, 255}));
    image.b.brighten(image.b, INT_MIN);
    EXPECT_EQ(image.pixel(0, 0), Bytes({0, 0, 0}));
}

// KEPT: grey truncates each product for pixels, the sum once for a palette
TEST(ColourFilters, GreyOfWhiteIs217ForPixelsAnd219ForAPalette) {
    Image image(1, 1, 4);
    fill(image, {255, 255, 255, 9});
    image.b.toGrey(image.b);
    EXPECT_EQ(image.pixel(0, 0), Bytes({217, 217, 217, 9}));

    Image palette(2, 1, 1), separate;
    for (RGBQUAD& entry : palette.b.colors) {
        entry = {255, 255, 255, 0};
    }
    palette.b.setColorTable(0, 256, palette.b.colors);
    palette.at(1, 0)[0] = 42;
    separate.b.toGrey(palette.b);
    EXPECT_EQ(separate.b.colors[0].rgbRed, 219);
    EXPECT_EQ(separate.b.colors[255].rgbBlue, 219);
    RGBQUAD entry = {};
    separate.b.getColorTable(3, 1, &entry);
    EXPECT_EQ(entry.rgbGreen, 219);
    // The separate target shows the source's picture, not only its palette.
    EXPECT_EQ(separate.at(1, 0)[0], 42);
}

TEST(ColourFilters, PaletteImagesChangeTheirPaletteAndKeepTheirIndices) {
    Image image(3, 1, 1), separate;
    givePalette(image);
    image.at(2, 0)[0] = 200;
    ASSERT_EQ(separate.b.invert(image.b), 1);
    EXPECT_EQ(separate.b.colors[200].rgbBlue, 55);
    EXPECT_EQ(separate.b.colors[200].rgbReserved, 248);
    EXPECT_EQ(separate.at(2, 0)[0], 200);
    ASSERT_EQ(image.b.brighten(image.b, 100), 1);
    EXPECT_EQ(image.b.colors[200].rgbBlue, 255);
    EXPECT_EQ(image.b.colors[200].rgbRed, 200);
    EXPECT_EQ(image.at(2, 0)[0], 200);
}

// A 2-byte image two pixels wide has no row padding: a third byte read or written there
// would be the next pixel's, or past the end of the pixels for the last row in memory.
TEST(ColourFilters, GreyOfTwoBytePixelsStaysInsideThePixel) {
    Image image(2, 2, 2);
    fill(image, {200, 100});
    image.at(1, 0)[0] = 50;
    image.at(1, 0)[1] = 250;
    image.b.toGrey(image.b);
    const int first = (int)(100 * 0.504f) + (int)(200 * 0.098f);
    const int second = (int)(250 * 0.504f) + (int)(50 * 0.098f);
    EXPECT_EQ(image.pixel(0, 0), Bytes({(unsigned char)first, (unsigned char)first}));
    EXPECT_EQ(image.pixel(1, 0), Bytes({(unsigned char)second, (unsigned char)second}));
}

// The operation looks the three products up in tables; the rule truncates each product and
// adds them. A 2-byte pixel has no red; a 4-byte pixel keeps its fourth byte.
TEST(ColourFilters, GreyOfPixelsAgreesWithTheRule) {
    for (int n = 2; n <= 4; ++n) {
        Image image(23, 3, n);
        fillRandom(image, 53u + n);
        const Bytes before = pixels(image.b);
        image.b.toGrey(image.b);
        int differing = 0;
        for (int i = 0; i < 23 * 3; ++i) {
            const unsigned char* p = &before[(size_t)i * n];
            const int red = n > 2 ? (int)(p[2] * 0.257f) : 0;
            Bytes expected((size_t)n,
                           (unsigned char)(red + (int)(p[1] * 0.504f) + (int)(p[0] * 0.098f)));
            if (n == 4) {
                expected[3] = p[3];
            }
            differing += image.pixel(i % 23, i / 23) != expected;
        }
        EXPECT_EQ(differing, 0) << n << " bytes a pixel";
    }
}

// the dithers

// D2, D4 and D16 by the doubling rule, row-major.
struct DitherMatrices {
    int d2[4] = {0, 2, 3, 1};
    int d4[16], d8[64], d16[256];
    DitherMatrices() {
        buildDitherMatrix(4, d2, d4);
        buildDitherMatrix(8, d4, d8);
        buildDitherMatrix(16, d8, d16);
    }
};

TEST(DitherMatrix, DoublingBuildsTheKnownMatrices) {
    const DitherMatrices m;
    const int* d4 = m.d4;
    const int* d16 = m.d16;
    const int expected4[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};
    EXPECT_EQ(std::vector<int>(d4, d4 + 16), std::vector<int>(expected4, expected4 + 16));
    const int first[16] = {0, 128, 32, 160, 8, 136, 40, 168, 2, 130, 34, 162, 10, 138, 42, 170};
    const int second[16] = {192, 64, 224, 96, 200, 72, 232, 104,
                            194, 66, 226, 98, 202, 74, 234, 106};
    EXPECT_EQ(std::vector<int>(d16, d16 + 16), std::vector<int>(first, first + 16));
    EXPECT_EQ(std::vector<int>(d16 + 16, d16 + 32), std::vector<int>(second, second + 16));
    std::vector<bool> seen(256, false);
    for (int v : m.d16) {
        seen[v] = true;
    }
    EXPECT_EQ(std::vector<bool>(256, true), seen);
}

// KEPT: the dither's column counter moves per colour byte; size 8 changes nothing
TEST(OrderedDither, SizeTwoCountsColumnsByColourByte) {
    Image image(2, 2, 3);
    fill(image, {128, 128, 128});
    image.b.orderedDither(image.b, 2);
    EXPECT_EQ(image.pixel(0, 0), Bytes({255, 0, 255}));
    EXPECT_EQ(image.pixel(1, 0), Bytes({0, 255, 0}));
    EXPECT_EQ(image.pixel(0, 1), Bytes({0, 255, 0}));
}

// KEPT: the dither's column counter moves per colour byte; size 8 changes nothing
TEST(OrderedDither, SizeEightAndPaletteImagesChangeNothing) {
    Image image(4, 4, 3), palette(4, 4, 1), target(2, 2, 3);
    fillRandom(image, 41);
    const Bytes before = pixels(image.b);
    image.b.orderedDither(image.b, 8);
    target.b.orderedDither(image.b, 8);
    EXPECT_EQ(pixels(image.b), before);
    EXPECT_EQ(target.b.width(), 2);
    target.b.orderedDither(palette.b, 4);
    EXPECT_EQ(target.b.width(), 2);
}

// D16 < v: 255 stays 255 except where the matrix holds 255, which is column 0 of row 15. The
// column moves on with every colour byte: red of pixel 0, green of pixel 5, blue of pixel 10.
TEST(OrderedDither, SizeSixteenKeepsWhiteExceptUnderTheLargestThreshold) {
    Image white(16, 16, 3), black(16, 16, 3);
    fill(white, {255, 255, 255});
    fill(black, {0, 0, 0});
    white.b.orderedDither(white.b, 16);
    black.b.orderedDither(black.b, 16);
    EXPECT_EQ(pixels(black.b), Bytes(16 * 16 * 3, 0));
    Bytes expected(16 * 16 * 3, 255);
    expected[15 * 48 + 0 * 3 + 2] = 0;
    expected[15 * 48 + 5 * 3 + 1] = 0;
    expected[15 * 48 + 10 * 3 + 0] = 0;
    EXPECT_EQ(pixels(white.b), expected);
}

// The operations go by blocks of bytes; the rule goes byte by byte. Both must agree on rows
// longer than a block and on every pixel size.
void ditherByTheRule(Image& image, const int* matrix, int size, int scale) {
    const int n = image.b.bytesPerPixel, bytes = n > 3 ? 3 : n;
    for (int y = 0; y < image.b.height(); ++y) {
        int i = 0;
        for (int x = 0; x < image.b.width(); ++x) {
            for (int k = 0; k < bytes; ++k) {
                unsigned char* p = image.at(x, y) + (n == 2 ? 1 - k : 2 - k);
                const int level = *p / scale < size * size ? *p / scale : size * size;
                *p = matrix[(y % size) * size + i] < level ? 255 : 0;
                i = (i + 1) % size;
            }
        }
    }
}

TEST(OrderedDither, AgreesWithTheRuleOnLongRows) {
    const DitherMatrices d;
    const int* matrices[3] = {d.d2, d.d4, d.d16};
    const int sizes[3] = {2, 4, 16}, scales[3] = {51, 15, 1};
    for (int n = 2; n <= 4; ++n) {
        for (int m = 0; m < 3; ++m) {
            Image image(70, 17, n), expected(70, 17, n);
            fillRandom(image, 50u + n);
            fillRandom(expected, 50u + n);
            image.b.orderedDither(image.b, sizes[m]);
            ditherByTheRule(expected, matrices[m], sizes[m], scales[m]);
            EXPECT_EQ(pixels(image.b), pixels(expected.b)) << n << " bytes, size " << sizes[m];
        }
    }
}

TEST(DitherPattern, BitsFourAddsMinusEightAtTheBlockOriginAndSevenUnder255) {
    Image image(32, 32, 3);
    fill(image, {100, 100, 100});
    image.b.addDitherPattern(image.b, 4);
    EXPECT_EQ(image.pixel(0, 0), Bytes({92, 92, 92}));
    EXPECT_EQ(image.pixel(16, 16), Bytes({92, 92, 92}));
    EXPECT_EQ(image.pixel(0, 15), Bytes({107, 107, 107}));
    EXPECT_EQ(image.pixel(1, 0), Bytes({100, 100, 100}));  // D16 = 128: (128 >> 4) - 8
}

TEST(DitherPattern, AgreesWithTheRuleAndRefusesBitsOutOfRange) {
    const DitherMatrices matrices;
    const int* d16 = matrices.d16;
    for (int n = 2; n <= 4; ++n) {
        for (int bits : {1, 3, 8}) {
            Image source(70, 18, n), target;
            fillRandom(source, 60u + n);
            target.b.addDitherPattern(source.b, bits);
            for (int y = 0; y < 18; ++y) {
                for (int x = 0; x < 70; ++x) {
                    const int o = (d16[(y % 16) * 16 + x % 16] >> (8 - bits)) - (1 << (bits - 1));
                    for (int k = 0; k < (n > 3 ? 3 : n); ++k) {
                        const int v = source.at(x, y)[k] + o;
                        ASSERT_EQ(target.at(x, y)[k], v < 0 ? 0 : v > 255 ? 255 : v);
                    }
                }
            }
        }
    }
    Image image(4, 4, 3);
    fillRandom(image, 7);
    const Bytes before = pixels(image.b);
    image.b.addDitherPattern(image.b, 0);
    image.b.addDitherPattern(image.b, 9);
    EXPECT_EQ(pixels(image.b), before);
}

TEST(DiffuseError, ShiftFourRoundsToSixteens) {
    const int values[3][2] = {{200, 192}, {204, 208}, {255, 255}};
    for (const auto& v : values) {
        Image image(1, 1, 3);
        fill(image, {(unsigned char)v[0], 0, 0});
        image.b.diffuseError(image.b, 4);
        EXPECT_EQ(image.at(0, 0)[0], v[1]) << v[0];
    }
}

// 204 rounds up (error -4): the pixel below gets -4 * 5/16 and the one below ahead -4 / 16,
// which takes both 13s below 12, where the odd row, walked right to left, sends its own
// error on to the left.
TEST(DiffuseError, SpreadsTheErrorDownAndAlongTheSerpentine) {
    Image image(2, 2, 3);
    const unsigned char start[2][2] = {{204, 0}, {13, 13}};
    const unsigned char expected[2][2] = {{208, 0}, {0, 16}};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 2; ++x) {
            for (int k = 0; k < 3; ++k) {
                image.at(x, y)[k] = start[y][x];
            }
        }
    }
    image.b.diffuseError(image.b, 4);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 2; ++x) {
            EXPECT_EQ(image.pixel(x, y), Bytes(3, expected[y][x])) << x << ", " << y;
        }
    }
}

TEST(DiffuseError, ShiftZeroChangesNothingAndShiftsOutOfRangeAreRefused) {
    Image image(5, 4, 3), copy;
    fillRandom(image, 71);
    const Bytes before = pixels(image.b);
    image.b.diffuseError(image.b, 0);
    image.b.diffuseError(image.b, 9);
    image.b.diffuseError(image.b, -1);
    EXPECT_EQ(pixels(image.b), before);
    copy.b.diffuseError(image.b, 0);
    EXPECT_EQ(pixels(copy.b), before);
}

TEST(DiffuseError, AddScaledErrorTruncatesTowardZeroAndClamps) {
    unsigned char b = 100;
    addScaledError(&b, 8, 0.4375f);
    EXPECT_EQ(b, 103);
    b = 10;
    addScaledError(&b, -3, 0.1875f);
    EXPECT_EQ(b, 9);
    b = 5;
    addScaledError(&b, -16, 0.4375f);
    EXPECT_EQ(b, 0);
    b = 250;
    addScaledError(&b, 16, 0.4375f);
    EXPECT_EQ(b, 255);
}

// The operation spreads sixteenths in integers; the rule spreads them in double.
TEST(DiffuseError, AgreesWithTheRule) {
    for (int n = 2; n <= 4; ++n) {
        for (int shift : {3, 5, 8}) {
            Image image(9, 6, n), expected(9, 6, n);
            fillRandom(image, 80u + n);
            fillRandom(expected, 80u + n);
            image.b.diffuseError(image.b, shift);
            const int step = 1 << shift, quarter = step / 4, w = 9, h = 6;
            const float weights[4] = {0.4375f, 0.1875f, 0.3125f, 1 - 0.4375f - 0.1875f - 0.3125f};
            for (int y = 0; y < h; ++y) {
                for (int i = 0; i < w; ++i) {
                    const int x = y % 2 == 0 ? i : w - 1 - i, d = y % 2 == 0 ? 1 : -1;
                    for (int c = 0; c < (n > 3 ? 3 : n); ++c) {
                        unsigned char* p = expected.at(x, y) + c;
                        const int v = *p,
                                  q = v - v % step + (v % step + quarter >= step ? step : 0);
                        const bool ahead = x + d >= 0 && x + d < w,
                                   behind = x - d >= 0 && x - d < w;
                        if (ahead) {
                            addScaledError(expected.at(x + d, y) + c, v - q, weights[0]);
                        }
                        if (y + 1 < h) {
                            if (behind) {
                                addScaledError(expected.at(x - d, y + 1) + c, v - q, weights[1]);
                            }
                            addScaledError(expected.at(x, y + 1) + c, v - q, weights[2]);
                            if (ahead) {
                                addScaledError(expected.at(x + d, y + 1) + c, v - q, weights[3]);
                            }
                        }
                        *p = (unsigned char)(q > 255 ? 255 : q);
                    }
                }
            }
            EXPECT_EQ(pixels(image.b), pixels(expected.b)) << n << " bytes, shift " << shift;
        }
    }
}

// convolve

TEST(Convolve, BoxTakesTheTruncatedMeanOfThePixelsInside) {
    Image source(4, 4, 3), target;
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            source.at(x, y)[0] = (unsigned char)(10 * x + 40 * y + 1);
        }
    }
    const float box[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
    ASSERT_EQ(target.b.convolve(source.b, box, 3, 3), 1);
    ASSERT_EQ(target.b.bytesPerPixel, 4);
    // Corner (0, 0): 1, 11, 41, 51; edge (1, 0): 1, 11, 21, 41, 51, 61; inside (1, 1): nine.
    EXPECT_EQ(target.at(0, 0)[0], (1 + 11 + 41 + 51) / 4);
    EXPECT_EQ(target.at(1, 0)[0], (1 + 11 + 21 + 41 + 51 + 61) / 6);
    EXPECT_EQ(target.at(1, 1)[0], (1 + 11 + 21 + 41 + 51 + 61 + 81 + 91 + 101) / 9);
    EXPECT_EQ(target.at(1, 1)[3], 0);
}

TEST(Convolve, PaletteSourcesAreFilteredInTheirColours) {
    Image source(2, 2, 1), target;
    givePalette(source);
    source.at(0, 0)[0] = 100;
    const float one[1] = {1};
    ASSERT_EQ(target.b.convolve(source.b, one, 1, 1), 1);
    EXPECT_EQ(target.pixel(0, 0), Bytes({100, 155, 50, 0}));
}

// Sharpening overshoots: 5 * 255 and -255 are held to 255 and 0 (their low 8 bits would be
// 251 and 1). An edge kernel's weights add up to 0 inside: there it gives the plain sum.
TEST(Convolve, ResultsAreHeldToByteRangeAndZeroTotalsGiveThePlainSum) {
    Image spot(5, 5, 3), target;
    fill(spot, {0, 0, 0});
    for (int k = 0; k < 3; ++k) {
        spot.at(2, 2)[k] = 255;
    }
    const float sharpen[9] = {0, -1, 0, -1, 5, -1, 0, -1, 0};
    ASSERT_EQ(target.b.convolve(spot.b, sharpen, 3, 3), 1);
    EXPECT_EQ(target.at(2, 2)[0], 255);
    EXPECT_EQ(target.at(2, 1)[0], 0);
    const float edge[9] = {-1, -1, -1, -1, 8, -1, -1, -1, -1};
    ASSERT_EQ(target.b.convolve(spot.b, edge, 3, 3), 1);
    EXPECT_EQ(target.at(2, 2)[1], 255);
    EXPECT_EQ(target.at(1, 1)[1], 0);
    EXPECT_EQ(target.at(3, 3)[1], 0);
    Image flat(5, 5, 3);
    fill(flat, {90, 90, 90});
    ASSERT_EQ(target.b.convolve(flat.b, edge, 3, 3), 1);
    EXPECT_EQ(target.at(2, 2)[2], 0);
    EXPECT_EQ(target.at(0, 0)[2], 90);  // a corner: 8 - 3 inside, normalised
}

TEST(Convolve, KernelsLargerThanTheImageUseWhatLiesInside) {
    Image source(3, 1, 3), target;
    fill(source, {0, 0, 0});
    source.at(0, 0)[0] = 30;
    source.at(2, 0)[0] = 61;
    const float wide[7] = {1, 1, 1, 1, 1, 1, 1};
    ASSERT_EQ(target.b.convolve(source.b, wide, 7, 1), 1);
    EXPECT_EQ(target.at(1, 0)[0], 91 / 3);
}

// The rule, pixel by pixel in single precision, against the operation's blocks of pixels.
Bytes convolveByTheRule(Image& source, const float* kernel, int kw, int kh) {
    const int w = source.b.width(), h = source.b.height();
    Bytes out;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            for (int c = 0; c < 4; ++c) {
                float sum = 0.0f, total = 0.0f;
                for (int ky = 0; ky < kh; ++ky) {
                    for (int kx = 0; kx < kw; ++kx) {
                        const int sy = y + ky - kh / 2, sx = x + kx - kw / 2;
                        if (c < 3 && sy >= 0 && sy < h && sx >= 0 && sx < w) {
                            sum += source.at(sx, sy)[c] * kernel[ky * kw + kx];
                            total += kernel[ky * kw + kx];
                        }
                    }
                }
                const float q = c == 3 ? 0.0f : total != 0.0f ? sum / total : sum;
                out.push_back(q <= 0.0f ? 0 : q >= 255.0f ? 255 : (unsigned char)(int)q);
            }
        }
    }
    return out;
}

TEST(Convolve, AgreesWithTheRuleForWholeAndFractionalWeights) {
    const float whole[15] = {1, 2, -1, 0, 3, 2, 4, 7, 4, 2, -1, 2, 1, 0, 1};
    const float fractional[9] = {0.1f, 0.7f, 0.1f, 0.3f, 1.3f, 0.3f, 0.2f, 0.9f, 0.2f};
    const float heavy[9] = {30, 30, 30, 30, 30, 30, 30, 30, 30};
    for (int n = 3; n <= 4; ++n) {
        Image source(300, 6, n), target;
        fillRandom(source, 91u + n);
        ASSERT_EQ(target.b.convolve(source.b, whole, 5, 3), 1);
        EXPECT_EQ(pixels(target.b), convolveByTheRule(source, whole, 5, 3)) << n;
        ASSERT_EQ(target.b.convolve(source.b, fractional, 3, 3), 1);
        EXPECT_EQ(pixels(target.b), convolveByTheRule(source, fractional, 3, 3)) << n;
        ASSERT_EQ(target.b.convolve(source.b, heavy, 3, 3), 1);
        EXPECT_EQ(pixels(target.b), convolveByTheRule(source, heavy, 3, 3)) << n;
    }
}

TEST(Convolve, APaletteImageFiltersLikeItsColours) {
    Image palette(300, 5, 1), colours(300, 5, 4), fromPalette, fromColours;
    givePalette(palette);
    fillRandom(palette, 97);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 300; ++x) {
            const RGBQUAD& entry = palette.b.colors[palette.at(x, y)[0]];
            const Bytes colour = {entry.rgbBlue, entry.rgbGreen, entry.rgbRed, (BYTE)x};
            std::copy(colour.begin(), colour.end(), colours.at(x, y));
        }
    }
    const float gauss[9] = {1, 2, 1, 2, 4, 2, 1, 2, 1};
    ASSERT_EQ(fromPalette.b.convolve(palette.b, gauss, 3, 3), 1);
    ASSERT_EQ(fromColours.b.convolve(colours.b, gauss, 3, 3), 1);
    EXPECT_EQ(pixels(fromPalette.b), pixels(fromColours.b));
    EXPECT_EQ(liveTemporaryImages(), 0);
}

TEST(Convolve, RefusalsLeaveTheTargetAndNoTemporary) {
    Image source(3, 3, 3), twoByte(3, 3, 2), target(2, 2, 3);
    fillRandom(target, 13);
    const Bytes before = pixels(target.b);
    const float box[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
    EXPECT_EQ(target.b.convolve(target.b, box, 3, 3), 0);
    EXPECT_EQ(target.b.convolve(twoByte.b, box, 3, 3), 0);
    EXPECT_EQ(target.b.convolve(source.b, nullptr, 3, 3), 0);
    EXPECT_EQ(target.b.convolve(source.b, box, 0, 3), 0);
    EXPECT_EQ(target.b.convolve(source.b, box, 3, -1), 0);
    EXPECT_EQ(target.b.bytesPerPixel, 3);
    EXPECT_EQ(pixels(target.b), before);
    EXPECT_EQ(target.b.convolve(source.b, box, 3, 3), 1);
    EXPECT_EQ(liveTemporaryImages(), 0);
}

// blend

// KEPT: the blend rounds by +127 and truncates: black over white gives 1
TEST(Blend, BlackOverWhiteGivesOneAndWhiteOverBlack255) {
    Image white(1, 1, 3), black(1, 1, 3);
    fill(white, {255, 255, 255});
    fill(black, {0, 0, 0});
    white.b.blend(black.b, 0, 0, 255);
    EXPECT_EQ(white.pixel(0, 0), Bytes({1, 1, 1}));
    fill(white, {255, 255, 255});
    black.b.blend(white.b, 0, 0, 255);
    EXPECT_EQ(black.pixel(0, 0), Bytes({255, 255, 255}));
    fill(black, {0, 0, 0});
    black.b.blend(white.b, 0, 0, 0);
    EXPECT_EQ(black.pixel(0, 0), Bytes({0, 0, 0}));
}

TEST(Blend, AlphaOfAFourByteSourceWeighsEachPixel) {
    Image over(1, 1, 4), under(1, 1, 4);
    fill(over, {255, 255, 255, 128});
    fill(under, {0, 0, 0, 33});
    under.b.blend(over.b, 0, 0, 255);
    EXPECT_EQ(under.pixel(0, 0), Bytes({128, 128, 128, 33}));
}

TEST(Blend, OnlyTheOverlapChanges) {
    Image over(3, 3, 3), under(4, 4, 3);
    fill(over, {0, 0, 0});
    fill(under, {255, 255, 255});
    under.b.blend(over.b, -1, 2, 255);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            const bool covered = x <= 1 && y >= 2;
            EXPECT_EQ(under.at(x, y)[0], covered ? 1 : 255) << x << ", " << y;
        }
    }
}

TEST(Blend, PaletteSourcesBlendTheirSurfaceColours) {
    Image over(1, 1, 1), under(1, 1, 3);
    givePalette(over);
    over.at(0, 0)[0] = 10;
    fill(under, {0, 0, 0});
    under.b.blend(over.b, 0, 0, 255);
    EXPECT_EQ(under.pixel(0, 0), Bytes({10, 245, 5}));
}

TEST(Blend, RefusesBadArgumentsAndFarPositions) {
    Image over(2, 2, 3), under(2, 2, 3), palette(2, 2, 1);
    fill(over, {0, 0, 0});
    fill(under, {200, 200, 200});
    const Bytes before = pixels(under.b);
    under.b.blend(over.b, 0, 0, 256);
    under.b.blend(over.b, 0, 0, -1);
    under.b.blend(over.b, INT_MAX, 0, 255);
    under.b.blend(over.b, 0, INT_MIN, 255);
    under.b.blend(over.b, INT_MIN, INT_MAX, 255);
    under.b.blend(under.b, 0, 0, 255);
    EXPECT_EQ(pixels(under.b), before);
    const Bytes palettePixels = pixels(palette.b);
    palette.b.blend(over.b, 0, 0, 255);
    EXPECT_EQ(pixels(palette.b), palettePixels);
}

// As for grey: without padding, a third byte would lie in the next pixel or past the end.
TEST(Blend, TwoBytePixelsBlendTheirTwoBytesOnly) {
    Image over(2, 2, 2), under(2, 2, 2), deep(2, 2, 3);
    fill(over, {0, 0});
    fill(under, {255, 255});
    under.b.blend(over.b, 0, 0, 255);
    EXPECT_EQ(under.pixel(1, 0), Bytes({1, 1}));
    fill(deep, {255, 255, 255});
    deep.b.blend(over.b, 0, 0, 255);
    EXPECT_EQ(deep.pixel(1, 0), Bytes({1, 1, 1}));
}

// Without an alpha byte the operation looks every change up in one table made for the
// opacity; the rule works it out for each byte.
TEST(Blend, FixedWeightAgreesWithTheRule) {
    for (int sourceBytes : {2, 3}) {
        for (int targetBytes : {2, 3, 4}) {
            for (int opacity : {0, 1, 77, 128, 254, 255}) {
                Image over(6, 4, sourceBytes), under(6, 4, targetBytes);
                fillRandom(over, 59u + opacity);
                fillRandom(under, 61u + opacity);
                const Bytes before = pixels(under.b);
                under.b.blend(over.b, 0, 0, opacity);
                const int a = ((255 * opacity + 127) / 255) & 255;
                int differing = 0;
                for (int y = 0; y < 4; ++y) {
                    for (int x = 0; x < 6; ++x) {
                        for (int k = 0; k < targetBytes; ++k) {
                            const int d = before[(y * 6 + x) * targetBytes + k];
                            const int c = k < sourceBytes ? over.at(x, y)[k] : 0;
                            const int expected = k < 3 ? (d + ((c - d) * a + 127) / 255) & 255 : d;
                            differing += under.at(x, y)[k] != expected;
                        }
                    }
                }
                EXPECT_EQ(differing, 0)
                    << sourceBytes << " over " << targetBytes << " at " << opacity;
            }
        }
    }
}

}  // namespace
