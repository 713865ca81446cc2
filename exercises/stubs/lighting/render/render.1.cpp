// Ambient light for every corner, plus, when the face turns towards the point light, the
// light's diffuse term, each channel held at 255. Until then the corner has ambient light
// alone.
Colour lightCorner(const ModelVertex& base, Vector3, Vector3, Vector3) {
    return {ambientFactor.red * base.r, ambientFactor.green * base.g, ambientFactor.blue * base.b,
            0};
}
