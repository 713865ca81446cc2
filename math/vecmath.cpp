#include "math/vecmath.h"

#include "math/camera.h"

#include <cmath>

Matrix4* matIdentity(Matrix4* m) {
    for (float& element : m->m) {
        element = 0.0f;
    }
    m->m[0] = 1.0f;
    m->m[5] = 1.0f;
    m->m[10] = 1.0f;
    m->m[15] = 1.0f;
    return m;
}

// KEPT: every partial sum of a matrix product is rounded to float
// Each partial sum is stored as a float before the next term is added; the rounding after
// every addition is part of the result.
void matMultiply(Matrix4 a, Matrix4 b, Matrix4* out) {
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            float& sum = out->m[4 * i + j];
            sum = 0.0f;
            for (int k = 0; k < 4; ++k) {
                sum = sum + a.m[4 * i + k] * b.m[4 * k + j];
            }
        }
    }
}

void matTransform(Matrix4 m, Vector4 v, Vector4* out) {
    const float in[4] = {v.x, v.y, v.z, v.w};
    float* const sums[4] = {&out->x, &out->y, &out->z, &out->w};
    for (int i = 0; i < 4; ++i) {
        float& sum = *sums[i];
        sum = 0.0f;
        for (int j = 0; j < 4; ++j) {
            sum = sum + m.m[4 * i + j] * in[j];
        }
    }
}

void matTranspose(Matrix4 src, Matrix4* dst) {
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            dst->m[4 * i + j] = src.m[4 * j + i];
        }
    }
}

void matTranslation(float tx, float ty, float tz, Matrix4* out) {
    matIdentity(out);
    out->m[3] = tx;
    out->m[7] = ty;
    out->m[11] = tz;
}

void matInverseTranslation(Matrix4 src, Matrix4* out) {
    matTranslation(-src.m[3], -src.m[7], -src.m[11], out);
}

void matScale(float sx, float sy, float sz, Matrix4* out) {
    matIdentity(out);
    out->m[0] = sx;
    out->m[5] = sy;
    out->m[10] = sz;
}

void matRotation(float angle, int axis, Matrix4* out) {
    const float c = static_cast<float>(std::cos(static_cast<double>(angle)));
    const float s = static_cast<float>(std::sin(static_cast<double>(angle)));
    float* m = matIdentity(out)->m;
    switch (axis) {
        case AxisX:
            m[5] = c;
            m[6] = -s;
            m[9] = s;
            m[10] = c;
            break;
        case AxisY:
            m[0] = c;
            m[2] = s;
            m[8] = -s;
            m[10] = c;
            break;
        case AxisZ:
            m[0] = c;
            m[1] = -s;
            m[4] = s;
            m[5] = c;
            break;
        default:
            break;
    }
}

// Exercise camera: the view matrix, from the eye, the target and the up direction.
void matLookAt(const Vector3* eye, const Vector3* target, float upX, float upY, float upZ,
               Matrix4* out) {
    const Vector3 e = *eye;
    const Vector3 t = *target;

    Matrix4 toEye;
    matTranslation(-e.x, -e.y, -e.z, &toEye);

    // n points from the target back to the eye: the view looks down -n. A degenerate basis
    // stays zero, because a zero length normalises to nothing.
    Vector3 n = {e.x - t.x, e.y - t.y, e.z - t.z};
    vecNormalize(n.x, n.y, n.z, &n);
    Vector3 r;
    vecCross(upX, upY, upZ, n.x, n.y, n.z, &r);
    vecNormalize(r.x, r.y, r.z, &r);
    // n and r are unit and perpendicular, so v needs no normalising.
    Vector3 v;
    vecCross(n.x, n.y, n.z, r.x, r.y, r.z, &v);

    Matrix4 rotate;
    float* m = matIdentity(&rotate)->m;
    m[0] = r.x;
    m[1] = r.y;
    m[2] = r.z;
    m[4] = v.x;
    m[5] = v.y;
    m[6] = v.z;
    m[8] = n.x;
    m[9] = n.y;
    m[10] = n.z;

    // KEPT: matLookAt writes cameraRight: the strafe keys follow the last view
    // The strafe keys move the eye along the right axis of the latest view.
    cameraRight = r;

    Matrix4 view;
    matMultiply(rotate, toEye, &view);
    matTranspose(view, out);
}
// End of exercise camera

// Exercise camera: the perspective matrix.
void matPerspective(float a, float b, float zNear, float zFar, Matrix4* out) {
    const float ab = a * b;
    const float abf = ab * zFar;
    float* m = matIdentity(out)->m;
    m[0] = b;
    m[5] = a;
    m[10] = abf / ((zFar - zNear) * zNear);
    m[11] = ab / zNear;
    m[14] = -abf / (zFar - zNear);
    m[15] = 0.0f;
}
// End of exercise camera

float vecDot(float ax, float ay, float az, float bx, float by, float bz) {
    return ax * bx + ay * by + az * bz;
}

void vecCross(float ax, float ay, float az, float bx, float by, float bz, Vector3* out) {
    const Vector3 result = {ay * bz - az * by, az * bx - ax * bz, ax * by - ay * bx};
    *out = result;
}

float vecLength(float x, float y, float z) {
    return std::sqrt(x * x + y * y + z * z);
}

float vecLength2D(float x, float y) {
    return std::sqrt(x * x + y * y);
}

void vecNormalize(float x, float y, float z, Vector3* out) {
    const float length = vecLength(x, y, z);
    if (length == 0.0f) {
        return;
    }
    out->x = x / length;
    out->y = y / length;
    out->z = z / length;
}
