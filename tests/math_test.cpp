#include "math/camera.h"
#include "math/vecmath.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

Matrix4 numbered() {
    Matrix4 m;
    for (int i = 0; i < 16; ++i) {
        m.m[i] = static_cast<float>(i * i) - 7.5f;
    }
    return m;
}

Matrix4 transposed(Matrix4 m) {
    matTranspose(m, &m);
    return m;
}

Matrix4 rotation(float angle, int axis) {
    Matrix4 m;
    matRotation(angle, axis, &m);
    return m;
}

Vector4 transform(Matrix4 m, Vector4 v) {
    matTransform(m, v, &v);
    return v;
}

void expectMatrix(const Matrix4& actual, const Matrix4& expected) {
    for (int i = 0; i < 16; ++i) {
        EXPECT_FLOAT_EQ(actual.m[i], expected.m[i]) << "element " << i;
    }
}

void expectIdentity(const Matrix4& m) {
    Matrix4 identity;
    expectMatrix(m, *matIdentity(&identity));
}

void expectVector(Vector4 v, float x, float y, float z) {
    EXPECT_NEAR(v.x, x, 1e-6);
    EXPECT_NEAR(v.y, y, 1e-6);
    EXPECT_NEAR(v.z, z, 1e-6);
}

TEST(MatrixProduct, IdentityChangesNothingAndOutputMayBeAnInput) {
    Matrix4 m = numbered(), identity, product;
    matMultiply(*matIdentity(&identity), m, &product);
    expectMatrix(product, m);
    matMultiply(m, identity, &m);
    expectMatrix(m, numbered());
}

// 1e8 + 1 is 1e8 in float, so a sum kept in float loses the 1 that a wider sum would keep.
// KEPT: every partial sum of a matrix product is rounded to float
TEST(MatrixProduct, PartialSumsAreRoundedToFloat) {
    Matrix4 a = {}, b = {}, product;
    a.m[0] = 1e8f, a.m[1] = 1, a.m[2] = -1e8f;
    b.m[0] = 1, b.m[4] = 1, b.m[8] = 1;
    matMultiply(a, b, &product);
    EXPECT_EQ(product.m[0], 0.0f);
    EXPECT_EQ(transform(a, {1, 1, 1, 0}).x, 0.0f);
}

TEST(MatrixProduct, RightFactorActsFirstAndDirectionsIgnoreTranslation) {
    Matrix4 scale, move, product;
    matScale(2, 3, 4, &scale);
    matTranslation(1, 1, 1, &move);
    matMultiply(scale, move, &product);
    expectVector(transform(product, {1, 2, 3, 1}), 4, 9, 16);
    expectVector(transform(product, {1, 2, 3, 0}), 2, 6, 12);
}

TEST(MatrixBuilders, InverseTranslationReadsOnlyTheTranslation) {
    const Matrix4 n = numbered();
    Matrix4 inverse, expected;
    matInverseTranslation(n, &inverse);
    matTranslation(-n.m[3], -n.m[7], -n.m[11], &expected);
    expectMatrix(inverse, expected);
}

TEST(Rotation, UnknownAxisOrZeroAngleGivesTheIdentity) {
    expectIdentity(rotation(1.0f, 3));
    expectIdentity(rotation(1.0f, -1));
    for (int axis : {AxisX, AxisY, AxisZ}) {
        expectIdentity(rotation(0.0f, axis));
    }
}

TEST(Rotation, QuarterTurnsAreRightHanded) {
    const float quarter = static_cast<float>(std::acos(0.0));
    expectVector(transform(rotation(quarter, AxisZ), {1, 0, 0, 1}), 0, 1, 0);
    expectVector(transform(rotation(quarter, AxisX), {0, 1, 0, 1}), 0, 0, 1);
    expectVector(transform(rotation(quarter, AxisY), {0, 0, 1, 1}), 1, 0, 0);
}

// KEPT: matLookAt writes cameraRight: the strafe keys follow the last view
TEST(LookAt, ViewFromTheEyeAlongPlusY) {
    cameraRight = {9, 9, 9};
    const Vector3 eye = {0, 0, 0}, target = {0, 1, 0};
    Matrix4 out;
    matLookAt(&eye, &target, 0, 0, 1, &out);
    EXPECT_FLOAT_EQ(cameraRight.x, 1);
    EXPECT_FLOAT_EQ(cameraRight.y, 0);
    EXPECT_FLOAT_EQ(cameraRight.z, 0);
    expectMatrix(transposed(out), {{1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1}});
    expectVector(transform(transposed(out), {0, 120, 20, 1}), 0, 20, -120);

    const Vector3 away = {10, -20, 5}, ahead = {10, 80, 5};
    matLookAt(&away, &ahead, 0, 0, 1, &out);
    expectVector(transform(transposed(out), {10, -20, 5, 1}), 0, 0, 0);
    expectVector(transform(transposed(out), {10, 80, 5, 1}), 0, 0, -100);
}

// KEPT: matLookAt writes cameraRight: the strafe keys follow the last view
TEST(LookAt, DegenerateViewGivesZeroAxesNotNaN) {
    const Vector3 eye = {1, 2, 3}, above = {1, 2, 10};
    Matrix4 out;
    for (const Vector3* target : {&eye, &above}) {
        cameraRight = {9, 9, 9};
        matLookAt(&eye, target, 0, 0, 1, &out);
        EXPECT_EQ(cameraRight.x, 0);
        EXPECT_EQ(cameraRight.y, 0);
        EXPECT_EQ(cameraRight.z, 0);
        for (float element : out.m) {
            EXPECT_FALSE(std::isnan(element));
        }
    }
}

TEST(Perspective, RendererArgumentsGiveTheKnownElements) {
    Matrix4 out;
    matPerspective(0.02f, 0.01f, 5, 500, &out);
    EXPECT_EQ(out.m[0], 0.01f);
    EXPECT_EQ(out.m[5], 0.02f);
    matPerspective(0.01f, 0.01f, 5, 500, &out);
    EXPECT_EQ(out.m[15], 0.0f);
    const Matrix4 p = transposed(out);
    expectMatrix(
        p, {{0.01f, 0, 0, 0, 0, 0.01f, 0, 0, 0, 0, 0.05f / 2475, -0.05f / 495, 0, 0, 2e-5f, 0}});
}

TEST(Vectors, CrossIsRightHandedAndLengthsAreEuclidean) {
    EXPECT_FLOAT_EQ(vecDot(1, 2, 3, 4, -5, 6), 12);
    Vector3 v;
    vecCross(2, 3, 4, 5, 6, 7, &v);
    EXPECT_FLOAT_EQ(v.x, -3);
    EXPECT_FLOAT_EQ(v.y, 6);
    EXPECT_FLOAT_EQ(v.z, -3);
    vecCross(1, 0, 0, 0, 1, 0, &v);
    EXPECT_FLOAT_EQ(v.z, 1);
    EXPECT_FLOAT_EQ(vecLength(3, 4, 12), 13);
    EXPECT_FLOAT_EQ(vecLength2D(-3, 4), 5);
}

TEST(Vectors, NormalizeWorksInPlaceAndZeroWritesNothing) {
    Vector3 v = {3, 0, -4};
    vecNormalize(v.x, v.y, v.z, &v);
    EXPECT_FLOAT_EQ(v.x, 0.6f);
    EXPECT_FLOAT_EQ(v.z, -0.8f);
    v = {7, 8, 9};
    vecNormalize(0, 0, 0, &v);
    EXPECT_EQ(v.x, 7);
    EXPECT_EQ(v.y, 8);
    EXPECT_EQ(v.z, 9);
}

}  // namespace
