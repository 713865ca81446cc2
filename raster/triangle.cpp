// The triangle rasterizer. The corners are sorted by row and the triangle is cut along the row
// of the middle corner into an upper and a lower half. Each half is filled row by row between
// the two edges that leave its apex, and each row column by column: the depth is tested and
// stored, and the pixel shaded. The file reads in that order.
#include "raster/raster.h"

#include "raster/float_steps.h"
#include "raster/float_to_int.h"
#include "raster/pixel_shading.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <utility>

namespace {

// The values carried across the triangle, each linearly in window coordinates: the depth z,
// and the texture coordinates weighted by q, with the weight q itself. Dividing by q at every
// pixel makes the texture perspective-correct. A new value is a name here, its kind in
// kindOf, and the two places that make and use it: valuesAt and shadePixel.
enum CarriedValue { ValueZ, ValueUq, ValueVq, ValueQ, carriedValueCount };

// How a value steps: a depth value divides by a whole number of rows or columns, a texture
// value by the exact length or as the half's rule says.
enum ValueKind { DepthValue, TextureValue };
constexpr ValueKind kindOf[] = {DepthValue, TextureValue, TextureValue, TextureValue};
static_assert(std::size(kindOf) == carriedValueCount, "every carried value has one kind");

using Interpolated = std::array<float, carriedValueCount>;

// The change per unit from `from` to `to`: the depth values divided by depthUnits, the
// texture values by textureUnits, each caller saying which lengths those are.
Interpolated stepBetween(const Interpolated& from, const Interpolated& to, float depthUnits,
                         float textureUnits) {
    Interpolated step;
    for (int value = 0; value < carriedValueCount; ++value) {
        const float units = kindOf[value] == DepthValue ? depthUnits : textureUnits;
        step[value] = (to[value] - from[value]) / units;
    }
    return step;
}

// `distance` steps on from `from`, in one multiplication each.
Interpolated along(const Interpolated& from, const Interpolated& step, float distance) {
    Interpolated values;
    for (int value = 0; value < carriedValueCount; ++value) {
        values[value] = from[value] + distance * step[value];
    }
    return values;
}

Interpolated addStep(Interpolated values, const Interpolated& step) {
    for (int value = 0; value < carriedValueCount; ++value) {
        values[value] += step[value];
    }
    return values;
}

// The very floats `count` calls of addStep would leave, without making them. Most rows start
// inside the viewport and have nothing to skip.
Interpolated addSteps(Interpolated values, const Interpolated& step, long long count) {
    if (count <= 0) {
        return values;
    }
    for (int value = 0; value < carriedValueCount; ++value) {
        values[value] = addRepeatedly(values[value], step[value], count);
    }
    return values;
}

Interpolated valuesAt(const ScreenVertex& vertex, float depth) {
    Interpolated values;
    values[ValueZ] = depth;
    values[ValueUq] = vertex.uq;
    values[ValueVq] = vertex.vq;
    values[ValueQ] = vertex.q;
    return values;
}

// A corner: where it lies and its colour, and the values that start from it.
struct Corner {
    ScreenVertex vertex;
    Interpolated values;
};

// The four corners the halves are made of: the top and bottom ones, and the left and right ones
// on the row of the middle corner. Corners are kept in arrays indexed by these roles.
enum Role { Top, Left, Right, Bottom, roleCount };

// The edges' texture steps divide by the height truncated to whole rows, as the depth does, or
// by the exact height.
enum TextureSteps { TextureByWholeRows, TextureByExactHeight };

// Where a row's end colours are probed: at its first and end columns, or at the exact edges.
enum SpanEnds { SpanEndsAtColumns, SpanEndsAtEdges };

// A row's end colours are interpolated from one corner to another.
struct ColourEdgeRoles {
    Role from;
    Role to;
};

// All that tells the two halves apart. Both have their apex alone on its row and the left and
// right corners on the other; rows run from ceil(y) of the firstRowCorner up to, not
// including, floor(y) of the endRowCorner.
struct HalfRule {
    Role apex;
    Role firstRowCorner;
    Role endRowCorner;
    TextureSteps textureSteps;
    SpanEnds spanEnds;
    ColourEdgeRoles leftColour;
    ColourEdgeRoles rightColour;
};

constexpr HalfRule upperHalfRule() {
    HalfRule rule = {};
    rule.apex = Top;
    rule.firstRowCorner = Top;
    rule.endRowCorner = Left;
    // KEPT: the upper half steps texture values by whole rows, the lower by the height
    rule.textureSteps = TextureByWholeRows;
    // KEPT: the upper half probes span colours at columns, the lower at the edges
    rule.spanEnds = SpanEndsAtColumns;
    rule.leftColour.from = Top;
    rule.leftColour.to = Left;
    rule.rightColour.from = Top;
    rule.rightColour.to = Right;
    return rule;
}

constexpr HalfRule lowerHalfRule() {
    HalfRule rule = {};
    rule.apex = Bottom;
    rule.firstRowCorner = Left;
    rule.endRowCorner = Bottom;
    rule.textureSteps = TextureByExactHeight;
    rule.spanEnds = SpanEndsAtEdges;
    rule.leftColour.from = Left;
    rule.leftColour.to = Bottom;
    rule.rightColour.from = Right;
    rule.rightColour.to = Bottom;
    return rule;
}

constexpr HalfRule upperHalf = upperHalfRule();
constexpr HalfRule lowerHalf = lowerHalfRule();

// An edge from the apex of a half to another corner, as steps per row.
struct Edge {
    float xStep;
    Interpolated step;
};

struct ColourEdge {
    ScreenVertex from;
    ScreenVertex to;
};

// A half with its rule applied to the corners: what every row of it reads.
struct Half {
    Corner apex;
    Edge left;
    Edge right;
    int firstRow;
    int endRow;
    SpanEnds spanEnds;
    ColourEdge leftColour;
    ColourEdge rightColour;
};

// One row's columns inside the viewport, from firstInViewport up to, not including,
// endInViewport; the values at the first of them and their step per column; the probes at the
// row's ends.
struct Span {
    int y;
    int firstInViewport;
    int endInViewport;
    Interpolated first;
    Interpolated step;
    ScreenVertex leftEnd;
    ScreenVertex rightEnd;
};

bool strictlyInsideViewport(const ScreenVertex& v);
void sortByRow(Corner& a, Corner& b, Corner& c);
Corner splitCorner(const Corner& top, const Corner& middle, const Corner& bottom);
// The two paths through a triangle: the plain one, and the one that also notes every pixel it
// writes in pixelWrites.
enum WriteNotes { WritesUnnoted, WritesNoted };
template <WriteNotes notes>
void fillHalf(const HalfRule& rule, const Corner corners[roleCount], HDC dc, const Shader& shader);
template <WriteNotes notes>
void fillRow(const Half& half, int y, HDC dc, const Shader& shader);
template <WriteNotes notes>
void fillSpan(const Span& span, HDC dc, const Shader& shader);
template <WriteNotes notes>
void shadePixel(const Span& span, int x, HDC dc, const Shader& shader, const Interpolated& at);
void noteRefusedPixel(const Span& span, int x, const Shader& shader, const Interpolated& at);

}  // namespace

// The split corner D lies on the long edge from the top corner A to the bottom corner C, on the
// row of the middle corner B. The upper half runs from A down to B and D; the lower half from
// B and D, raised by one row, down to C.
void drawTriangle(ScreenVertex a, ScreenVertex b, ScreenVertex c, HDC dc, float depthA,
                  float depthB, float depthC, int mode) {
    // KEPT: a triangle is drawn only when a corner lies strictly inside the viewport
    if (!strictlyInsideViewport(a) && !strictlyInsideViewport(b) && !strictlyInsideViewport(c)) {
        return;
    }
    Corner top = {a, valuesAt(a, depthA)};
    Corner middle = {b, valuesAt(b, depthB)};
    Corner bottom = {c, valuesAt(c, depthC)};
    sortByRow(top, middle, bottom);
    if (top.vertex.y == bottom.vertex.y) {
        return;
    }
    const Corner split = splitCorner(top, middle, bottom);
    const bool middleOnLeft = middle.vertex.x <= split.vertex.x;
    Corner corners[roleCount];
    corners[Top] = top;
    corners[Left] = middleOnLeft ? middle : split;
    corners[Right] = middleOnLeft ? split : middle;
    corners[Bottom] = bottom;

    const Shader shader = shaderFor(mode);
    const auto fill = pixelWrites != nullptr ? fillHalf<WritesNoted> : fillHalf<WritesUnnoted>;
    fill(upperHalf, corners, dc, shader);
    // KEPT: the lower half starts one row above the middle row
    corners[Left].vertex.y -= 1.0f;
    corners[Right].vertex.y -= 1.0f;
    fill(lowerHalf, corners, dc, shader);
}

namespace {

bool strictlyInsideViewport(const ScreenVertex& v) {
    return v.x > static_cast<float>(viewportLeft) && v.x < static_cast<float>(viewportRight) &&
           v.y > static_cast<float>(viewportTop) && v.y < static_cast<float>(viewportBottom);
}

// Six fixed exchanges, each tested on the current order; equal rows end where they leave
// them, and that order decides which corner becomes the apex of a flat half.
void sortByRow(Corner& a, Corner& b, Corner& c) {
    const float& ya = a.vertex.y;
    const float& yb = b.vertex.y;
    const float& yc = c.vertex.y;
    if (yc <= ya && ya <= yb) {
        std::swap(a, b);
    }
    if (yb <= yc && yc <= ya) {
        std::swap(a, b);
        std::swap(b, c);
    }
    if (yb <= ya && ya <= yc) {
        std::swap(a, b);
    }
    if (yc <= yb && yb <= ya) {
        std::swap(a, c);
    }
    if (ya <= yc && yc <= yb) {
        std::swap(b, c);
    }
    if (ya == yc) {
        std::swap(b, c);
    }
}

// KEPT: depth steps divide by the height and width truncated to whole pixels
// Truncated toward zero with its sign: the lower half's edges run upward from its apex.
float truncatedHeight(float height) {
    return static_cast<float>(truncToInt(height));
}

// The depth steps by the height truncated to whole rows, everything else by the exact height.
// In a sliver under one row high that divides the depth by zero: the split corner's depth is
// then infinite or NaN, and such a depth never passes the test.
Corner splitCorner(const Corner& top, const Corner& middle, const Corner& bottom) {
    const float height = bottom.vertex.y - top.vertex.y;
    const float h = middle.vertex.y - top.vertex.y;
    Corner split = {};
    split.vertex.x = top.vertex.x + h * ((bottom.vertex.x - top.vertex.x) / height);
    split.vertex.y = middle.vertex.y;
    interpolateColour(top.vertex, bottom.vertex, &split.vertex);
    const Interpolated step =
        stepBetween(top.values, bottom.values, truncatedHeight(height), height);
    split.values = along(top.values, step, h);
    return split;
}

// x steps by the exact height, the depth by whole rows, the texture values as the rule says.
Edge edgeFrom(const Corner& apex, const Corner& end, TextureSteps textureSteps) {
    const float height = end.vertex.y - apex.vertex.y;
    const float rows = truncatedHeight(height);
    const float textureUnits = textureSteps == TextureByWholeRows ? rows : height;
    return {(end.vertex.x - apex.vertex.x) / height,
            stepBetween(apex.values, end.values, rows, textureUnits)};
}

ColourEdge colourEdge(ColourEdgeRoles roles, const Corner corners[roleCount]) {
    return {corners[roles.from].vertex, corners[roles.to].vertex};
}

// Inline, so that each path's fillHalf takes it in and is compiled whole.
inline Half halfOf(const HalfRule& rule, const Corner corners[roleCount]) {
    const Corner& apex = corners[rule.apex];
    Half half;
    half.apex = apex;
    half.left = edgeFrom(apex, corners[Left], rule.textureSteps);
    half.right = edgeFrom(apex, corners[Right], rule.textureSteps);
    // Exercise triangle: the rows a half covers.
    half.firstRow = ceilToInt(corners[rule.firstRowCorner].vertex.y);
    half.endRow = floorToInt(corners[rule.endRowCorner].vertex.y);
    // End of exercise triangle
    half.spanEnds = rule.spanEnds;
    half.leftColour = colourEdge(rule.leftColour, corners);
    half.rightColour = colourEdge(rule.rightColour, corners);
    return half;
}

// KEPT: rows and spans stop short of floor(): a face's diagonal has gaps
// The rule walks every row from the first to the end and writes only inside the viewport.
// Each row's edge values are computed from the apex, not carried over from the row before, so
// the rows outside the viewport can simply be left out.
template <WriteNotes notes>
void fillHalf(const HalfRule& rule, const Corner corners[roleCount], HDC dc, const Shader& shader) {
    const float apexY = corners[rule.apex].vertex.y;
    if (apexY == corners[Left].vertex.y || apexY == corners[Right].vertex.y) {
        return;
    }
    const Half half = halfOf(rule, corners);
    const int first = std::max(half.firstRow, viewportTop);
    const int end = std::min(half.endRow, viewportBottom + 1);
    for (int y = first; y < end; ++y) {
        fillRow<notes>(half, y, dc, shader);
    }
}

// KEPT: depth steps divide by the height and width truncated to whole pixels
// Made non-negative in 64 bits, where even INT_MIN has a magnitude.
float truncatedWidthMagnitude(float width) {
    const long long columns = truncToInt(width);
    return static_cast<float>(columns < 0 ? -columns : columns);
}

// Exercise colour: the colour at one end of a row, taken along a colour edge.
ScreenVertex spanEnd(float x, int y, const ColourEdge& edge) {
    ScreenVertex end = {};
    end.x = x;
    end.y = static_cast<float>(y);
    interpolateColour(edge.from, edge.to, &end);
    return end;
}
// End of exercise colour

// KEPT: rows and spans stop short of floor(): a face's diagonal has gaps
// Columns run from ceil(xl) up to, not including, floor(xr); the depth steps by the width
// truncated to whole columns, the texture values by the exact width. The rule starts at
// ceil(xl) with the values at xl itself and adds a step after every column; the columns left
// of the viewport are skipped by addSteps, which lands on the same floats.
template <WriteNotes notes>
void fillRow(const Half& half, int y, HDC dc, const Shader& shader) {
    const float dy = static_cast<float>(y) - half.apex.vertex.y;
    // Exercise triangle: where row y crosses the two edges, and the columns between them.
    const float xl = half.apex.vertex.x + dy * half.left.xStep;
    const float xr = half.apex.vertex.x + dy * half.right.xStep;
    const int rowFirstColumn = ceilToInt(xl);
    const int rowEndColumn = floorToInt(xr);
    // End of exercise triangle
    Span span;
    span.y = y;
    span.firstInViewport = std::max(rowFirstColumn, viewportLeft);
    span.endInViewport = std::min(rowEndColumn, viewportRight + 1);
    if (span.firstInViewport >= span.endInViewport) {
        return;
    }
    const Interpolated atLeft = along(half.apex.values, half.left.step, dy);
    const Interpolated atRight = along(half.apex.values, half.right.step, dy);
    span.step = stepBetween(atLeft, atRight, truncatedWidthMagnitude(xr - xl), xr - xl);
    // KEPT: a row starts at ceil(xl) with the values at xl itself
    span.first =
        addSteps(atLeft, span.step, static_cast<long long>(span.firstInViewport) - rowFirstColumn);
    // Exercise colour: the colours at the row's two ends.
    const bool atColumns = half.spanEnds == SpanEndsAtColumns;
    span.leftEnd = spanEnd(atColumns ? static_cast<float>(rowFirstColumn) : xl, y, half.leftColour);
    span.rightEnd = spanEnd(atColumns ? static_cast<float>(rowEndColumn) : xr, y, half.rightColour);
    // End of exercise colour
    fillSpan<notes>(span, dc, shader);
}

// KEPT: the depth is stored before the colour: an unknown mode writes depths only
// The depth is stored as soon as the test passes, before the colour is made and whatever the
// mode; the values move on after every column, drawn or not.
template <WriteNotes notes>
void fillSpan(const Span& span, HDC dc, const Shader& shader) {
    Interpolated at = span.first;
    float* depth = &DepthBuffer[span.firstInViewport * depthBufferRows + span.y];
    for (int x = span.firstInViewport; x < span.endInViewport; ++x, depth += depthBufferRows) {
        // KEPT: the depth test is strict: the first of equal depths keeps the pixel
        // Exercise depth: test the pixel's depth against the buffer, store it and shade the pixel.
        if (*depth > at[ValueZ] && at[ValueZ] > shader.nearZ) {
            *depth = at[ValueZ];
            shadePixel<notes>(span, x, dc, shader, at);
        } else if constexpr (notes == WritesNoted) {
            noteRefusedPixel(span, x, shader, at);
        }
        // End of exercise depth
        at = addStep(at, span.step);
    }
}

// The texel is taken in every mode; the colour only where a mode reads it.
template <WriteNotes notes>
void shadePixel(const Span& span, int x, HDC dc, const Shader& shader, const Interpolated& at) {
    const TexelAddress texel = fetchTexel(shader.texture, at[ValueUq], at[ValueVq], at[ValueQ]);
    ScreenVertex probe = {};
    probe.x = static_cast<float>(x);
    probe.y = static_cast<float>(span.y);
    // Exercise colour: the pixel's colour between the row's two ends.
    if (shader.mode != ShadeTexture) {
        interpolateColour(span.leftEnd, span.rightEnd, &probe);
    }
    // End of exercise colour
    COLORREF colour;
    if (shadeColour(shader, texel, probe.colour, &colour)) {
        SetPixelV(dc, x, span.y, colour);
        if (notes == WritesNoted) {
            notePixelWrite(pixelWrites, x, span.y, at[ValueZ]);
            notePixelEvent(x, span.y, false, at[ValueZ], colour);
        }
    }
}

// A pixel the depth test turned away, with the colour shadePixel would have given it, for a
// watched pixel's story.
void noteRefusedPixel(const Span& span, int x, const Shader& shader, const Interpolated& at) {
    if (pixelStories == nullptr) {
        return;
    }
    const TexelAddress texel = fetchTexel(shader.texture, at[ValueUq], at[ValueVq], at[ValueQ]);
    ScreenVertex probe = {};
    probe.x = static_cast<float>(x);
    probe.y = static_cast<float>(span.y);
    if (shader.mode != ShadeTexture) {
        interpolateColour(span.leftEnd, span.rightEnd, &probe);
    }
    COLORREF colour;
    if (shadeColour(shader, texel, probe.colour, &colour)) {
        notePixelEvent(x, span.y, true, at[ValueZ], colour);
    }
}

}  // namespace
