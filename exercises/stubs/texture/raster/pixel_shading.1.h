// The texel at s = uq / q and t = vq / q, each clamped to [0, 1], its row and column picked by
// truncation; an empty texture gives black. Until then every texel is black.
inline TexelAddress fetchTexel(const Texture&, float, float, float) {
    static const unsigned char black[3] = {0, 0, 0};
    return black;
}
