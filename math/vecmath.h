// Float vectors and 4x4 matrices, and the builders the renderer composes every frame.
//
// Inputs are taken by value, results are written through the caller's pointer, so a caller
// may pass an input's own storage as the output. Nothing allocates and nothing checks its
// arguments.
#pragma once

struct Vector3 {
    float x;
    float y;
    float z;
};

// Points carry w = 1, directions w = 0.
struct Vector4 {
    float x;
    float y;
    float z;
    float w;
};

// Row-major: the element in row r and column c is m[4 * r + c]. Matrices act on column
// vectors (M·v), so a translation sits in elements 3, 7 and 11, and in A·B it is B that acts
// first.
struct Matrix4 {
    float m[16];
};

// The principal axes that matRotation turns about; any other value leaves the identity.
constexpr int AxisX = 0;
constexpr int AxisY = 1;
constexpr int AxisZ = 2;

// Sets m to the identity and returns it.
Matrix4* matIdentity(Matrix4* m);
void matMultiply(Matrix4 a, Matrix4 b, Matrix4* out);
void matTransform(Matrix4 m, Vector4 v, Vector4* out);
void matTranspose(Matrix4 src, Matrix4* dst);
void matTranslation(float tx, float ty, float tz, Matrix4* out);
// Inverts a pure translation: only elements 3, 7 and 11 of src are read.
void matInverseTranslation(Matrix4 src, Matrix4* out);
void matScale(float sx, float sy, float sz, Matrix4* out);
// Right-handed: about AxisZ the point (1, 0, 0) goes to (cos, sin, 0).
void matRotation(float angle, int axis, Matrix4* out);

// The two builders below deliver their matrix TRANSPOSED (row-vector form); pass the result
// through matTranspose before using it with matTransform or matMultiply.

// The view from eye towards target: after the transpose it maps world points into view
// space, where the camera sits at the origin looking down -Z. Also stores the right axis
// into cameraRight. When eye equals target, or up is parallel to the line of sight, the
// basis degenerates to zero vectors (and so does cameraRight).
void matLookAt(const Vector3* eye, const Vector3* target, float upX, float upY, float upZ,
               Matrix4* out);
// After the transpose the rows are (b, 0, 0, 0), (0, a, 0, 0),
// (0, 0, a·b·f / (n·(f - n)), -a·b·f / (f - n)) and (0, 0, a·b / n, 0).
void matPerspective(float a, float b, float zNear, float zFar, Matrix4* out);

float vecDot(float ax, float ay, float az, float bx, float by, float bz);
void vecCross(float ax, float ay, float az, float bx, float by, float bz, Vector3* out);
float vecLength(float x, float y, float z);
float vecLength2D(float x, float y);
// A vector of length exactly 0 writes nothing: out keeps what it held.
void vecNormalize(float x, float y, float z, Vector3* out);
