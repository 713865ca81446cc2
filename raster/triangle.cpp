#include "raster/raster.h"

#include "raster/float_steps.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// Every float-to-int conversion truncates toward zero. A value no int can hold, NaN
// included, gives INT_MIN, which is what the x86 conversion instruction answers: a corner far
// outside the window is then walked the same way on every build instead of being undefined.
constexpr int unrepresentable = -2147483647 - 1;

int truncToInt(float value) {
    return value >= -2147483648.0f && value < 2147483648.0f ? static_cast<int>(value)
                                                            : unrepresentable;
}

int truncToInt(double value) {
    return value > -2147483649.0 && value < 2147483648.0 ? static_cast<int>(value)
                                                         : unrepresentable;
}

int ceilToInt(float value) {
    return truncToInt(std::ceil(static_cast<double>(value)));
}

int floorToInt(float value) {
    return truncToInt(std::floor(static_cast<double>(value)));
}

// The low 8 bits of the truncated channel; a channel no int can hold gives 0, as in
// packColour.
COLORREF channelByte(float value) {
    return static_cast<COLORREF>(truncToInt(value)) & 0xFFu;
}

COLORREF channelByte(double value) {
    return static_cast<COLORREF>(truncToInt(value)) & 0xFFu;
}

bool strictlyInsideViewport(const ScreenVertex& v) {
    return v.x > static_cast<float>(viewportLeft) && v.x < static_cast<float>(viewportRight) &&
           v.y > static_cast<float>(viewportTop) && v.y < static_cast<float>(viewportBottom);
}

struct ModulateFactors {
    float ofTexel[256];
};

// texel / 255.0 rounded to float, for every byte.
constexpr ModulateFactors makeModulateFactors() {
    ModulateFactors factors = {};
    for (int texel = 0; texel < 256; ++texel) {
        factors.ofTexel[texel] = static_cast<float>(texel / 255.0);
    }
    return factors;
}

constexpr ModulateFactors modulateFactors = makeModulateFactors();

// What one call samples. An empty texture, or one that is not three bytes a pixel, has no
// texel to give: every pixel then takes black and the mode's formula still applies.
struct Texture {
    const NBitmap* bitmap;
    float columnScale;
    float rowScale;
    int lastColumn;
    int lastRow;
};

Texture textureToSample() {
    Texture texture = {};
    const NBitmap& bitmap = textureBitmap;
    if (bitmap.bits == nullptr || bitmap.bytesPerPixel != 3 || bitmap.width() <= 0 ||
        bitmap.height() <= 0) {
        return texture;
    }
    texture.bitmap = &bitmap;
    texture.lastColumn = bitmap.width() - 1;
    texture.lastRow = bitmap.height() - 1;
    texture.columnScale = static_cast<float>(texture.lastColumn);
    texture.rowScale = static_cast<float>(texture.lastRow);
    return texture;
}

struct Texel {
    unsigned char blue;
    unsigned char green;
    unsigned char red;
};

Texel fetchTexel(const Texture& texture, float uq, float vq, float q) {
    float s = uq / q;
    float t = vq / q;
    if (s > 1.0f) {
        s = 1.0f;
    }
    if (t > 1.0f) {
        t = 1.0f;
    }
    // Written so that NaN fails too.
    if (!(s >= 0.0f)) {
        s = 0.0f;
    }
    if (!(t >= 0.0f)) {
        t = 0.0f;
    }
    if (texture.bitmap == nullptr) {
        return {0, 0, 0};
    }
    // A size beyond 2^24 rounds up as a float; the index must still name a texel.
    const int row = std::min(static_cast<int>(texture.rowScale * t), texture.lastRow);
    const int column = std::min(static_cast<int>(texture.columnScale * s), texture.lastColumn);
    const unsigned char* texel = texture.bitmap->rowPointer(row) + 3 * column;
    return {texel[0], texel[1], texel[2]};
}

COLORREF blendChannel(unsigned char texel, float channel, double weight) {
    return channelByte(texel * weight + (1.0 - weight) * channel);
}

COLORREF modulateChannel(unsigned char texel, float channel) {
    return channelByte(modulateFactors.ofTexel[texel] * channel);
}

// The span a row fills, with the running values at its first drawn column.
struct Span {
    ScreenVertex leftEnd;
    ScreenVertex rightEnd;
    int y;
    int firstColumn;
    int endColumn;
    float z, uq, vq, q;
    float zStep, uqStep, vqStep, qStep;
};

struct Shader {
    int mode;
    float nearZ;
    double blendWeight;
    Texture texture;
};

void shadePixel(const Span& span, int x, HDC dc, const Shader& shader, float uq, float vq,
                float q) {
    const Texel texel = fetchTexel(shader.texture, uq, vq, q);
    ScreenVertex probe = {};
    probe.x = static_cast<float>(x);
    probe.y = static_cast<float>(span.y);
    // The texel is taken in every mode; the colour only where a mode reads it.
    if (shader.mode != ShadeTexture) {
        interpolateColour(span.leftEnd, span.rightEnd, &probe);
    }
    const Colour c = probe.colour;
    COLORREF colour;
    switch (shader.mode) {
        case ShadeTexture:
            colour = RGB(texel.red, texel.green, texel.blue);
            break;
        case ShadeBlend:
            colour = blendChannel(texel.red, c.r, shader.blendWeight) |
                     blendChannel(texel.green, c.g, shader.blendWeight) << 8 |
                     blendChannel(texel.blue, c.b, shader.blendWeight) << 16;
            break;
        case ShadeModulate:
            colour = modulateChannel(texel.red, c.r) | modulateChannel(texel.green, c.g) << 8 |
                     modulateChannel(texel.blue, c.b) << 16;
            break;
        case ShadeColour:
            colour = channelByte(c.r) | channelByte(c.g) << 8 | channelByte(c.b) << 16;
            break;
        default:
            return;
    }
    SetPixelV(dc, x, span.y, colour);
}

// The depth is stored as soon as the test passes, before the colour is made and whatever the
// mode; the running values move on after every column, drawn or not.
void fillSpan(const Span& span, HDC dc, const Shader& shader) {
    float z = span.z, uq = span.uq, vq = span.vq, q = span.q;
    float* depth = &DepthBuffer[span.firstColumn * depthBufferRows + span.y];
    for (int x = span.firstColumn; x < span.endColumn; ++x, depth += depthBufferRows) {
        if (*depth > z && z > shader.nearZ) {
            *depth = z;
            shadePixel(span, x, dc, shader, uq, vq, q);
        }
        z += span.zStep;
        uq += span.uqStep;
        vq += span.vqStep;
        q += span.qStep;
    }
}

// Per-row steps of one edge, from the apex to the other end.
struct EdgeSteps {
    float x, z, uq, vq, q;
};

// The depth step divides by the height truncated to whole rows; the texture steps divide by
// it too in the upper half, but by the exact height in the lower one.
EdgeSteps edgeSteps(const ScreenVertex& apex, float apexDepth, const ScreenVertex& end,
                    float endDepth, bool textureByWholeRows) {
    const float height = end.y - apex.y;
    const float wholeRows = static_cast<float>(truncToInt(height));
    const float textureDivisor = textureByWholeRows ? wholeRows : height;
    EdgeSteps steps;
    steps.x = (end.x - apex.x) / height;
    steps.z = (endDepth - apexDepth) / wholeRows;
    steps.uq = (end.uq - apex.uq) / textureDivisor;
    steps.vq = (end.vq - apex.vq) / textureDivisor;
    steps.q = (end.q - apex.q) / textureDivisor;
    return steps;
}

// One half of the triangle: two edges from one apex, filled over rows [firstRow, endRow).
struct Half {
    ScreenVertex apex;
    float apexDepth;
    EdgeSteps left, right;
    int firstRow, endRow;
    bool upper;
    // Span ends are coloured along the edges, between these records.
    ScreenVertex leftFrom, leftTo, rightFrom, rightTo;
};

struct EdgeValues {
    float z, uq, vq, q;
};

EdgeValues edgeValues(const Half& half, const EdgeSteps& steps, float dy) {
    return {half.apexDepth + dy * steps.z, half.apex.uq + dy * steps.uq,
            half.apex.vq + dy * steps.vq, half.apex.q + dy * steps.q};
}

ScreenVertex spanEnd(float x, int y, const ScreenVertex& from, const ScreenVertex& to) {
    ScreenVertex end = {};
    end.x = x;
    end.y = static_cast<float>(y);
    interpolateColour(from, to, &end);
    return end;
}

// Columns run from ceil(xl) up to, not including, floor(xr). Only those inside the viewport
// are visited; the running values reach the first of them by the very additions the columns
// to its left would have made.
void fillRow(const Half& half, int y, HDC dc, const Shader& shader) {
    const float dy = static_cast<float>(y) - half.apex.y;
    const float xl = half.apex.x + dy * half.left.x;
    const float xr = half.apex.x + dy * half.right.x;
    const int startColumn = ceilToInt(xl);
    const int stopColumn = floorToInt(xr);
    Span span;
    span.y = y;
    span.firstColumn = std::max(startColumn, viewportLeft);
    span.endColumn = std::min(stopColumn, viewportRight + 1);
    if (span.firstColumn >= span.endColumn) {
        return;
    }
    const EdgeValues l = edgeValues(half, half.left, dy);
    const EdgeValues r = edgeValues(half, half.right, dy);
    // Made non-negative in 64 bits, where even INT_MIN has a magnitude.
    const long long width = truncToInt(xr - xl);
    span.zStep = (r.z - l.z) / static_cast<float>(width < 0 ? -width : width);
    span.uqStep = (r.uq - l.uq) / (xr - xl);
    span.vqStep = (r.vq - l.vq) / (xr - xl);
    span.qStep = (r.q - l.q) / (xr - xl);
    const long long skipped = static_cast<long long>(span.firstColumn) - startColumn;
    span.z = addRepeatedly(l.z, span.zStep, skipped);
    span.uq = addRepeatedly(l.uq, span.uqStep, skipped);
    span.vq = addRepeatedly(l.vq, span.vqStep, skipped);
    span.q = addRepeatedly(l.q, span.qStep, skipped);
    const float leftX = half.upper ? static_cast<float>(startColumn) : xl;
    const float rightX = half.upper ? static_cast<float>(stopColumn) : xr;
    span.leftEnd = spanEnd(leftX, y, half.leftFrom, half.leftTo);
    span.rightEnd = spanEnd(rightX, y, half.rightFrom, half.rightTo);
    fillSpan(span, dc, shader);
}

// Each row's edge values are computed from the apex, not accumulated, so the rows outside
// the viewport can simply be left out.
void fillHalf(const Half& half, HDC dc, const Shader& shader) {
    const int first = std::max(half.firstRow, viewportTop);
    const int end = std::min(half.endRow, viewportBottom + 1);
    for (int y = first; y < end; ++y) {
        fillRow(half, y, dc, shader);
    }
}

void fillUpperHalf(ScreenVertex top, ScreenVertex left, ScreenVertex right, HDC dc, float depthTop,
                   float depthLeft, float depthRight, const Shader& shader) {
    if (top.y == left.y || right.y == top.y) {
        return;
    }
    Half half;
    half.apex = top;
    half.apexDepth = depthTop;
    half.left = edgeSteps(top, depthTop, left, depthLeft, true);
    half.right = edgeSteps(top, depthTop, right, depthRight, true);
    half.firstRow = ceilToInt(top.y);
    half.endRow = floorToInt(left.y);
    half.upper = true;
    half.leftFrom = top;
    half.leftTo = left;
    half.rightFrom = top;
    half.rightTo = right;
    fillHalf(half, dc, shader);
}

void fillLowerHalf(ScreenVertex left, ScreenVertex right, ScreenVertex bottom, HDC dc,
                   float depthLeft, float depthRight, float depthBottom, const Shader& shader) {
    if (left.y == bottom.y || bottom.y == right.y) {
        return;
    }
    Half half;
    half.apex = bottom;
    half.apexDepth = depthBottom;
    half.left = edgeSteps(bottom, depthBottom, left, depthLeft, false);
    half.right = edgeSteps(bottom, depthBottom, right, depthRight, false);
    half.firstRow = ceilToInt(left.y);
    half.endRow = floorToInt(bottom.y);
    half.upper = false;
    half.leftFrom = left;
    half.leftTo = bottom;
    half.rightFrom = right;
    half.rightTo = bottom;
    fillHalf(half, dc, shader);
}

void swapVertices(ScreenVertex& a, ScreenVertex& b) {
    const ScreenVertex kept = a;
    a = b;
    b = kept;
}

// Six fixed exchanges, each tested on the current order; equal rows end where they leave
// them, and that order decides which vertex becomes the apex of a flat half.
void sortVerticesByY(ScreenVertex& v0, ScreenVertex& v1, ScreenVertex& v2, float& z0, float& z1,
                     float& z2) {
    auto exchange01 = [&] {
        swapVertices(v0, v1);
        std::swap(z0, z1);
    };
    auto exchange12 = [&] {
        swapVertices(v1, v2);
        std::swap(z1, z2);
    };
    if (v2.y <= v0.y && v0.y <= v1.y) {
        exchange01();
    }
    if (v1.y <= v2.y && v2.y <= v0.y) {
        exchange01();
        exchange12();
    }
    if (v1.y <= v0.y && v0.y <= v2.y) {
        exchange01();
    }
    if (v2.y <= v1.y && v1.y <= v0.y) {
        swapVertices(v0, v2);
        std::swap(z0, z2);
    }
    if (v0.y <= v2.y && v2.y <= v1.y) {
        exchange12();
    }
    if (v0.y == v2.y) {
        exchange12();
    }
}

}  // namespace

// The triangle is cut along the row of its middle vertex B: the split vertex D lies on the
// long edge A-C at that row, and the upper half runs from A down to B and D, the lower half
// from B and D, raised by one row, down to C.
void drawTriangle(ScreenVertex a, ScreenVertex b, ScreenVertex c, HDC dc, float depthA,
                  float depthB, float depthC, int mode) {
    if (!strictlyInsideViewport(a) && !strictlyInsideViewport(b) && !strictlyInsideViewport(c)) {
        return;
    }
    sortVerticesByY(a, b, c, depthA, depthB, depthC);
    if (a.y == c.y) {
        return;
    }
    const float height = c.y - a.y;
    // A sliver under one row high divides the depth by zero whole rows: D's depth is then
    // infinite or NaN, and such a depth never passes the test.
    const float depthStep = (depthC - depthA) / static_cast<float>(truncToInt(height));
    const float h = b.y - a.y;
    ScreenVertex d = {};
    d.x = a.x + h * ((c.x - a.x) / height);
    d.y = b.y;
    d.uq = a.uq + h * ((c.uq - a.uq) / height);
    d.vq = a.vq + h * ((c.vq - a.vq) / height);
    d.q = a.q + h * ((c.q - a.q) / height);
    const float depthD = depthA + h * depthStep;
    interpolateColour(a, c, &d);

    const bool middleOnLeft = b.x <= d.x;
    ScreenVertex left = middleOnLeft ? b : d;
    ScreenVertex right = middleOnLeft ? d : b;
    const float depthLeft = middleOnLeft ? depthB : depthD;
    const float depthRight = middleOnLeft ? depthD : depthB;

    const Shader shader = {mode, static_cast<float>(nearDepth), blendFactor, textureToSample()};
    fillUpperHalf(a, left, right, dc, depthA, depthLeft, depthRight, shader);
    left.y -= 1.0f;
    right.y -= 1.0f;
    fillLowerHalf(left, right, c, dc, depthLeft, depthRight, depthC, shader);
}
