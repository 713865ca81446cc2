// Blend: the texel weighted by `weight` and the channel by the rest, in double. Modulate: the
// channel scaled by the texel's modulateFactors. Until then both modes show the texel alone.
inline COLORREF blendChannel(unsigned char texel, float, double) {
    return texel;
}

inline COLORREF modulateChannel(unsigned char texel, float) {
    return texel;
}
