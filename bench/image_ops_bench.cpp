// The image operations alone, without the files: one 4096 x 4096 24-bit picture, each
// operation in place or into a second bitmap as the image tool runs it.
#include "bitmap/nbitmap.h"

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

constexpr int Side = 4096;

// A picture with some texture, the same on every run.
void fillPicture(NBitmap* image) {
    unsigned state = 12345;
    for (int y = 0; y < image->height(); ++y) {
        unsigned char* row = image->rowPointer(y);
        for (int i = 0; i < image->width() * image->bytesPerPixel; ++i) {
            state = state * 1103515245u + 12345u;
            row[i] = (unsigned char)((i / 3 + y) / 16 + (state >> 28));
        }
    }
}

struct Pictures {
    NBitmap image = {};
    NBitmap other = {};
    NBitmap result = {};
    Pictures() {
        image.create(Side, Side, 3);
        fillPicture(&image);
        other.create(Side, Side, 3);
        fillPicture(&other);
    }
    ~Pictures() {
        image.destroy();
        other.destroy();
        result.destroy();
    }
};

Pictures& pictures() {
    static Pictures p;
    return p;
}

const float box3[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
const float gauss5[25] = {1,  4, 6, 4,  1,  4,  16, 24, 16, 4, 6, 24, 36,
                          24, 6, 4, 16, 24, 16, 4,  1,  4,  6, 4, 1};
const float fractional3[9] = {0.5f, 1, 0.5f, 1, 2, 1, 0.5f, 1, 0.5f};

template <class Operation>
void run(benchmark::State& state, Operation operation) {
    Pictures& p = pictures();
    for (auto _ : state) {
        operation(p);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * Side * Side * 3);
}

// In place, each time on a fresh copy of the picture, as the image tool works on the file it
// has just read.
template <class Operation>
void runInPlace(benchmark::State& state, Operation operation) {
    Pictures& p = pictures();
    if (p.result.width() != Side || p.result.bytesPerPixel != 3) {
        p.result.create(Side, Side, 3);
    }
    for (auto _ : state) {
        state.PauseTiming();
        for (int y = 0; y < Side; ++y) {
            std::memcpy(p.result.rowPointer(y), p.image.rowPointer(y), (size_t)p.image.rowBytes);
        }
        state.ResumeTiming();
        operation(p.result);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * Side * Side * 3);
}

void invertInPlace(benchmark::State& s) {
    runInPlace(s, [](NBitmap& b) { b.invert(b); });
}
void flipVertical(benchmark::State& s) {
    runInPlace(s, [](NBitmap& b) { b.flip(b, true, false); });
}
void flipHorizontal(benchmark::State& s) {
    runInPlace(s, [](NBitmap& b) { b.flip(b, false, true); });
}
void rotate30(benchmark::State& s) {
    run(s, [](Pictures& p) { p.result.rotate(p.image, 30); });
}
void nearestHalf(benchmark::State& s) {
    run(s, [](Pictures& p) { p.result.resample(0, 0, Side / 2, Side / 2, p.image, false); });
}
void bilinear3000(benchmark::State& s) {
    run(s, [](Pictures& p) { p.result.resample(0, 0, 3000, 3000, p.image, true); });
}
void brighten20(benchmark::State& s) {
    runInPlace(s, [](NBitmap& b) { b.brighten(b, 20); });
}
void grey(benchmark::State& s) {
    runInPlace(s, [](NBitmap& b) { b.toGrey(b); });
}
void ordered4(benchmark::State& s) {
    runInPlace(s, [](NBitmap& b) { b.orderedDither(b, 4); });
}
void pattern4(benchmark::State& s) {
    runInPlace(s, [](NBitmap& b) { b.addDitherPattern(b, 4); });
}
void diffuse4(benchmark::State& s) {
    runInPlace(s, [](NBitmap& b) { b.diffuseError(b, 4); });
}
void convolveBox3(benchmark::State& s) {
    run(s, [](Pictures& p) { p.result.convolve(p.image, box3, 3, 3); });
}
void convolveGauss5(benchmark::State& s) {
    run(s, [](Pictures& p) { p.result.convolve(p.image, gauss5, 5, 5); });
}
void convolveFractional3(benchmark::State& s) {
    run(s, [](Pictures& p) { p.result.convolve(p.image, fractional3, 3, 3); });
}
void blendHalf(benchmark::State& s) {
    runInPlace(s, [](NBitmap& b) { b.blend(pictures().other, 0, 0, 128); });
}

BENCHMARK(invertInPlace)->Unit(benchmark::kMillisecond);
BENCHMARK(flipVertical)->Unit(benchmark::kMillisecond);
BENCHMARK(flipHorizontal)->Unit(benchmark::kMillisecond);
BENCHMARK(rotate30)->Unit(benchmark::kMillisecond);
BENCHMARK(nearestHalf)->Unit(benchmark::kMillisecond);
BENCHMARK(bilinear3000)->Unit(benchmark::kMillisecond);
BENCHMARK(brighten20)->Unit(benchmark::kMillisecond);
BENCHMARK(grey)->Unit(benchmark::kMillisecond);
BENCHMARK(ordered4)->Unit(benchmark::kMillisecond);
BENCHMARK(pattern4)->Unit(benchmark::kMillisecond);
BENCHMARK(diffuse4)->Unit(benchmark::kMillisecond);
BENCHMARK(convolveBox3)->Unit(benchmark::kMillisecond);
BENCHMARK(convolveGauss5)->Unit(benchmark::kMillisecond);
BENCHMARK(convolveFractional3)->Unit(benchmark::kMillisecond);
BENCHMARK(blendHalf)->Unit(benchmark::kMillisecond);

}  // namespace
