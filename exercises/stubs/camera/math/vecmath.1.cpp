// The view: the eye moved to the origin, then the axes turned so that the view looks down -n,
// where n points from the target back to the eye, r = up x n and v = n x r. The matrix is
// delivered transposed, and cameraRight becomes r. Until then the view is all zeros and
// nothing is in view.
// KEPT: matLookAt writes cameraRight: the strafe keys follow the last view
void matLookAt(const Vector3*, const Vector3*, float, float, float, Matrix4* out) {
    *out = {};
}
