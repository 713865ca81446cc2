// The projection for a viewport of a by b, between the near and the far plane, delivered
// transposed. Until then it is all zeros and nothing is in view.
void matPerspective(float, float, float, float, Matrix4* out) {
    *out = {};
}
