// How the triangle rasterizer colours one pixel: the texel at the perspective-divided texture
// coordinates, combined with the interpolated colour by the shade mode. Only triangle.cpp
// includes it; the functions are inline because they run for every pixel.
#pragma once

#include "raster/float_to_int.h"
#include "raster/raster.h"

#include <algorithm>

// What one call samples. An empty texture, or one that is not three bytes a pixel, has no
// texel to give: every pixel then takes black and the mode's formula still applies.
struct Texture {
    const NBitmap* bitmap;
    float columnScale;
    float rowScale;
    int lastColumn;
    int lastRow;
};

struct Shader {
    int mode;
    float nearZ;
    double blendWeight;
    Texture texture;
};

// Where a texel's three bytes lie in the texture, in the order given below. The shading reads
// them only in the modes that take the texel, so the texel is passed by its address.
using TexelAddress = const unsigned char*;
enum TexelByte { TexelBlue, TexelGreen, TexelRed };

inline Texture textureToSample() {
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

inline Shader shaderFor(int mode) {
    return {mode, static_cast<float>(nearDepth), blendFactor, textureToSample()};
}

// KEPT: the texel is (size - 1) x coordinate, truncated: the last only at exactly 1
// s = uq / q and t = vq / q, clamped to [0, 1], pick the texel by truncation.
// Exercise texture: the texel at the perspective-divided texture coordinates.
inline TexelAddress fetchTexel(const Texture& texture, float uq, float vq, float q) {
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
        static const unsigned char black[3] = {0, 0, 0};
        return black;
    }
    // A size beyond 2^24 rounds up as a float; the index must still name a texel.
    const int row = std::min(static_cast<int>(texture.rowScale * t), texture.lastRow);
    const int column = std::min(static_cast<int>(texture.columnScale * s), texture.lastColumn);
    return texture.bitmap->rowPointer(row) + 3 * column;
}
// End of exercise texture

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

inline constexpr ModulateFactors modulateFactors = makeModulateFactors();

// In double: a float would round 127.99999997 up to 128.
// Exercise texture: how the blend and modulate modes mix a texel's byte with the colour's channel.
inline COLORREF blendChannel(unsigned char texel, float channel, double weight) {
    return channelByte(texel * weight + (1.0 - weight) * channel);
}

inline COLORREF modulateChannel(unsigned char texel, float channel) {
    return channelByte(modulateFactors.ofTexel[texel] * channel);
}
// End of exercise texture

// The pixel's colour by the shader's mode, channel by channel. A mode outside the four has no
// colour: the answer is false and the pixel is not written.
inline bool shadeColour(const Shader& shader, TexelAddress texel, Colour c, COLORREF* colour) {
    switch (shader.mode) {
        case ShadeTexture:
            *colour = RGB(texel[TexelRed], texel[TexelGreen], texel[TexelBlue]);
            return true;
        case ShadeBlend:
            *colour = blendChannel(texel[TexelRed], c.r, shader.blendWeight) |
                      blendChannel(texel[TexelGreen], c.g, shader.blendWeight) << 8 |
                      blendChannel(texel[TexelBlue], c.b, shader.blendWeight) << 16;
            return true;
        case ShadeModulate:
            *colour = modulateChannel(texel[TexelRed], c.r) |
                      modulateChannel(texel[TexelGreen], c.g) << 8 |
                      modulateChannel(texel[TexelBlue], c.b) << 16;
            return true;
        case ShadeColour:
            *colour = packColour(c);
            return true;
        default:
            return false;
    }
}
