// The rasterizers' cost per written pixel: a cube face of typical size and a line across the
// viewport, drawn into a memory device context as the frame loop draws into its back buffer.
#include "raster/raster.h"
#include "tests/vertex.h"

#include <benchmark/benchmark.h>

namespace {

// A 32-bit surface of the window's size, as the back buffer is.
struct Target {
    HDC dc = CreateCompatibleDC(NULL);
    HBITMAP bitmap = makeSurface(dc);
    HGDIOBJ previous = SelectObject(dc, bitmap);

    static HBITMAP makeSurface(HDC dc) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = 640;
        info.bmiHeader.biHeight = 480;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        return CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    }

    ~Target() {
        SelectObject(dc, previous);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
};

void makeTexture() {
    textureBitmap.create(128, 128, 3);
    for (int row = 0; row < 128; ++row) {
        unsigned char* texel = textureBitmap.rowPointer(row);
        for (int i = 0; i < 128 * 3; ++i) {
            texel[i] = static_cast<unsigned char>(row * 7 + i);
        }
    }
}

// Resets the depths the triangle covers, so every iteration writes the same pixels.
void clearDepths(int fromX, int toX, int fromY, int toY) {
    for (int x = fromX; x <= toX; ++x) {
        for (int y = fromY; y <= toY; ++y) {
            DepthBuffer[x * depthBufferRows + y] = 500.0f;
        }
    }
}

int writtenDepths(int fromX, int toX, int fromY, int toY) {
    int count = 0;
    for (int x = fromX; x <= toX; ++x) {
        for (int y = fromY; y <= toY; ++y) {
            count += DepthBuffer[x * depthBufferRows + y] != 500.0f;
        }
    }
    return count;
}

// Half of a 60 x 60 face, with perspective weights that differ as on a face seen at an angle.
void drawCubeFaceTriangle(benchmark::State& state, int mode) {
    Target target;
    makeTexture();
    const ScreenVertex a = vertex(200.3f, 150.7f, {255, 200, 100, 0}, 0, 0, 0.9f);
    const ScreenVertex b = vertex(260.6f, 152.1f, {100, 255, 200, 0}, 1, 0, 0.8f);
    const ScreenVertex c = vertex(201.2f, 210.4f, {200, 100, 255, 0}, 0, 1, 0.85f);
    clearDepths(195, 265, 145, 215);
    drawTriangle(a, b, c, target.dc, 100, 120, 110, mode);
    const int pixels = writtenDepths(195, 265, 145, 215);
    for (auto _ : state) {
        clearDepths(195, 265, 145, 215);
        drawTriangle(a, b, c, target.dc, 100, 120, 110, mode);
    }
    state.counters["pixels"] = pixels;
    state.counters["per_pixel"] = benchmark::Counter(
        pixels, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    textureBitmap.destroy();
}

void BM_TriangleModulate(benchmark::State& state) {
    drawCubeFaceTriangle(state, ShadeModulate);
}
BENCHMARK(BM_TriangleModulate);

void BM_TriangleBlend(benchmark::State& state) {
    drawCubeFaceTriangle(state, ShadeBlend);
}
BENCHMARK(BM_TriangleBlend);

// The three-click triangle's case: colour only.
void BM_TriangleColour(benchmark::State& state) {
    drawCubeFaceTriangle(state, ShadeColour);
}
BENCHMARK(BM_TriangleColour);

// A corner near the eye: the far corners project millions of pixels outside the window, and
// only the part inside the viewport may cost anything.
void BM_TriangleHugeCorners(benchmark::State& state) {
    Target target;
    makeTexture();
    const ScreenVertex a = vertex(240, 100, {255, 200, 100, 0}, 0, 0, 1);
    const ScreenVertex b = vertex(-4e7f, 5e6f, {100, 255, 200, 0}, 1, 0, 0.01f);
    const ScreenVertex c = vertex(3e7f, 6e6f, {200, 100, 255, 0}, 0, 1, 0.02f);
    clearDepths(viewportLeft, viewportRight, viewportTop, viewportBottom);
    drawTriangle(a, b, c, target.dc, 100, 120, 110, ShadeModulate);
    const int pixels = writtenDepths(viewportLeft, viewportRight, viewportTop, viewportBottom);
    for (auto _ : state) {
        clearDepths(viewportLeft, viewportRight, viewportTop, viewportBottom);
        drawTriangle(a, b, c, target.dc, 100, 120, 110, ShadeModulate);
    }
    state.counters["pixels"] = pixels;
    state.counters["per_pixel"] = benchmark::Counter(
        pixels, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    textureBitmap.destroy();
}
BENCHMARK(BM_TriangleHugeCorners);

void BM_LineAcrossViewport(benchmark::State& state) {
    Target target;
    const Colour red = {255, 0, 0, 0};
    const Colour blue = {0, 0, 255, 0};
    for (auto _ : state) {
        drawLine(viewportLeft, viewportTop, viewportRight, viewportBottom, target.dc, red, blue);
    }
    const int pixels = viewportRight - viewportLeft + 1;
    state.counters["pixels"] = pixels;
    state.counters["per_pixel"] = benchmark::Counter(
        pixels, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_LineAcrossViewport);

}  // namespace
