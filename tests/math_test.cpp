#include "math/camera.h"
#include "math/vecmath.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const double pi = 3.14159265358979323846;

Matrix4 identity() {
    Matrix4 m;
    matIdentity(&m);
    return m;
}

Matrix4 numbered() {
    Matrix4 m;
    for (int i = 0; i < 16; ++i) {
        m.m[i] = static_cast<float>(i * i) - 7.5f;
    }
    return m;
}

Matrix4 transposed(Matrix4 m) {
    Matrix4 t;
    matTranspose(m, &t);
    return t;
}

Vector4 transform(Matrix4 m, Vector4 v) {
    Vector4 out;
    matTransform(m, v, &out);
    return out;
}

void expectIdentity(const Matrix4& m) {
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(m.m[i], i % 5 == 0 ? 1.0f : 0.0f) << "element " << i;
    }
}

void expectRow(const Matrix4& m, int row, float a, float b, float c, float d) {
    EXPECT_FLOAT_EQ(m.m[4 * row + 0], a) << "row " << row;
    EXPECT_FLOAT_EQ(m.m[4 * row + 1], b) << "row " << row;
    EXPECT_FLOAT_EQ(m.m[4 * row + 2], c) << "row " << row;
    EXPECT_FLOAT_EQ(m.m[4 * row + 3], d) << "row " << row;
}

TEST(MatrixProduct, IdentityLeavesAMatrixAsItWas) {
    Matrix4 product;
    matMultiply(identity(), numbered(), &product);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(product.m[i], numbered().m[i]);
    }
    matMultiply(numbered(), identity(), &product);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(product.m[i], numbered().m[i]);
    }
}

TEST(MatrixProduct, RightFactorActsFirst) {
    Matrix4 scale, move, product;
    matScale(2, 3, 4, &scale);
    matTranslation(1, 1, 1, &move);
    matMultiply(scale, move, &product);
    const Vector4 p = transform(product, {1, 2, 3, 1});
    EXPECT_FLOAT_EQ(p.x, 4);
    EXPECT_FLOAT_EQ(p.y, 9);
    EXPECT_FLOAT_EQ(p.z, 16);
    EXPECT_FLOAT_EQ(p.w, 1);
}

// 1e8 + 1 is 1e8 in float, so a sum kept in float loses the 1 that a wider sum would keep.
TEST(MatrixProduct, PartialSumsAreRoundedToFloat) {
    Matrix4 a = {}, b = {}, product;
    a.m[0] = 1e8f, a.m[1] = 1, a.m[2] = -1e8f;
    b.m[0] = 1, b.m[4] = 1, b.m[8] = 1;
    matMultiply(a, b, &product);
    EXPECT_EQ(product.m[0], 0.0f);
    const Vector4 v = transform(a, {1, 1, 1, 0});
    EXPECT_EQ(v.x, 0.0f);
}

TEST(MatrixProduct, OutputMayBeAnInput) {
    Matrix4 expected;
    matMultiply(numbered(), transposed(numbered()), &expected);
    Matrix4 a = numbered();
    matMultiply(a, transposed(numbered()), &a);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(a.m[i], expected.m[i]);
    }
}

TEST(MatrixBuilders, TranslationMovesPointsButNotDirections) {
    Matrix4 move;
    matTranslation(5, -6, 7, &move);
    const Vector4 point = transform(move, {1, 2, 3, 1});
    const Vector4 direction = transform(move, {1, 2, 3, 0});
    EXPECT_FLOAT_EQ(point.x, 6);
    EXPECT_FLOAT_EQ(point.y, -4);
    EXPECT_FLOAT_EQ(point.z, 10);
    EXPECT_FLOAT_EQ(direction.x, 1);
    EXPECT_FLOAT_EQ(direction.y, 2);
    EXPECT_FLOAT_EQ(direction.z, 3);
}

TEST(MatrixBuilders, InverseTranslationIgnoresAllButTheTranslation) {
    Matrix4 inverse;
    matInverseTranslation(numbered(), &inverse);
    const Matrix4 n = numbered();
    Matrix4 expected;
    matTranslation(-n.m[3], -n.m[7], -n.m[11], &expected);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(inverse.m[i], expected.m[i]);
    }
}

TEST(MatrixBuilders, TransposeSwapsRowsAndColumns) {
    const Matrix4 t = transposed(numbered());
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(t.m[4 * r + c], numbered().m[4 * c + r]);
        }
    }
}

TEST(MatrixBuilders, IdentityIsReturnedAndOverwritesEverything) {
    Matrix4 m = numbered();
    EXPECT_EQ(matIdentity(&m), &m);
    expectIdentity(m);
}

TEST(Rotation, UnknownAxisOrZeroAngleGivesTheIdentity) {
    Matrix4 m = numbered();
    for (int axis : {3, -1, 100}) {
        matRotation(1.0f, axis, &m);
        expectIdentity(m);
    }
    for (int axis : {AxisX, AxisY, AxisZ}) {
        matRotation(0.0f, axis, &m);
        expectIdentity(m);
    }
}

TEST(Rotation, QuarterTurnsAreRightHanded) {
    const float quarter = static_cast<float>(pi / 2);
    Matrix4 m;
    matRotation(quarter, AxisZ, &m);
    Vector4 p = transform(m, {1, 0, 0, 1});
    EXPECT_NEAR(p.x, 0, 1e-6);
    EXPECT_NEAR(p.y, 1, 1e-6);
    EXPECT_NEAR(p.z, 0, 1e-6);
    EXPECT_EQ(p.w, 1);
    matRotation(quarter, AxisX, &m);
    p = transform(m, {0, 1, 0, 1});
    EXPECT_NEAR(p.y, 0, 1e-6);
    EXPECT_NEAR(p.z, 1, 1e-6);
    matRotation(quarter, AxisY, &m);
    p = transform(m, {0, 0, 1, 1});
    EXPECT_NEAR(p.x, 1, 1e-6);
    EXPECT_NEAR(p.z, 0, 1e-6);
}

TEST(Rotation, SineAndCosineAreTakenInDouble) {
    for (float angle : {0.3f, 1.7f, -2.9f, 100.25f}) {
        Matrix4 m;
        matRotation(angle, AxisZ, &m);
        EXPECT_EQ(m.m[0], static_cast<float>(std::cos(static_cast<double>(angle))));
        EXPECT_EQ(m.m[4], static_cast<float>(std::sin(static_cast<double>(angle))));
        EXPECT_EQ(m.m[1], -m.m[4]);
        EXPECT_EQ(m.m[10], 1.0f);
    }
}

TEST(LookAt, ViewFromTheOriginAlongPlusY) {
    cameraRight = {9, 9, 9};
    const Vector3 eye = {0, 0, 0};
    const Vector3 target = {0, 1, 0};
    Matrix4 out;
    matLookAt(&eye, &target, 0, 0, 1, &out);
    EXPECT_FLOAT_EQ(cameraRight.x, 1);
    EXPECT_FLOAT_EQ(cameraRight.y, 0);
    EXPECT_FLOAT_EQ(cameraRight.z, 0);

    const Matrix4 view = transposed(out);
    expectRow(view, 0, 1, 0, 0, 0);
    expectRow(view, 1, 0, 0, 1, 0);
    expectRow(view, 2, 0, -1, 0, 0);
    expectRow(view, 3, 0, 0, 0, 1);
    const Vector4 p = transform(view, {0, 120, 20, 1});
    EXPECT_FLOAT_EQ(p.x, 0);
    EXPECT_FLOAT_EQ(p.y, 20);
    EXPECT_FLOAT_EQ(p.z, -120);
}

TEST(LookAt, EyeTranslatesToTheOriginAndTargetLiesAhead) {
    const Vector3 eye = {10, -20, 5};
    const Vector3 target = {10, 80, 5};
    Matrix4 out;
    matLookAt(&eye, &target, 0, 0, 1, &out);
    const Matrix4 view = transposed(out);
    const Vector4 atEye = transform(view, {10, -20, 5, 1});
    const Vector4 ahead = transform(view, {10, 80, 5, 1});
    EXPECT_FLOAT_EQ(atEye.x, 0);
    EXPECT_FLOAT_EQ(atEye.y, 0);
    EXPECT_FLOAT_EQ(atEye.z, 0);
    EXPECT_FLOAT_EQ(ahead.x, 0);
    EXPECT_FLOAT_EQ(ahead.y, 0);
    EXPECT_FLOAT_EQ(ahead.z, -100);
}

TEST(LookAt, DegenerateViewGivesZeroAxesNotNaN) {
    const Vector3 eye = {1, 2, 3};
    Matrix4 out;
    matLookAt(&eye, &eye, 0, 0, 1, &out);
    EXPECT_EQ(cameraRight.x, 0);
    EXPECT_EQ(cameraRight.y, 0);
    EXPECT_EQ(cameraRight.z, 0);
    const Vector3 above = {1, 2, 10};
    matLookAt(&eye, &above, 0, 0, 1, &out);
    EXPECT_EQ(cameraRight.x, 0);
    for (float element : out.m) {
        EXPECT_FALSE(std::isnan(element));
    }
}

TEST(Perspective, RendererArgumentsGiveTheKnownElements) {
    Matrix4 out;
    matPerspective(0.01f, 0.01f, 5, 500, &out);
    EXPECT_EQ(out.m[15], 0.0f);
    const Matrix4 p = transposed(out);
    expectRow(p, 0, 0.01f, 0, 0, 0);
    expectRow(p, 1, 0, 0.01f, 0, 0);
    expectRow(p, 2, 0, 0, 0.05f / 2475, -0.05f / 495);
    expectRow(p, 3, 0, 0, 2e-5f, 0);
}

TEST(Perspective, AAndBLandOnTheirOwnAxes) {
    Matrix4 out;
    matPerspective(2, 3, 1, 2, &out);
    EXPECT_EQ(out.m[0], 3.0f);
    EXPECT_EQ(out.m[5], 2.0f);
}

TEST(Vectors, DotCrossAndLengths) {
    EXPECT_FLOAT_EQ(vecDot(1, 2, 3, 4, -5, 6), 12);
    Vector3 z;
    vecCross(1, 0, 0, 0, 1, 0, &z);
    EXPECT_FLOAT_EQ(z.x, 0);
    EXPECT_FLOAT_EQ(z.y, 0);
    EXPECT_FLOAT_EQ(z.z, 1);
    vecCross(2, 3, 4, 5, 6, 7, &z);
    EXPECT_FLOAT_EQ(z.x, -3);
    EXPECT_FLOAT_EQ(z.y, 6);
    EXPECT_FLOAT_EQ(z.z, -3);
    EXPECT_FLOAT_EQ(vecLength(3, 4, 12), 13);
    EXPECT_FLOAT_EQ(vecLength2D(-3, 4), 5);
}

TEST(Vectors, NormalizeWorksInPlace) {
    Vector3 v = {3, 0, -4};
    vecNormalize(v.x, v.y, v.z, &v);
    EXPECT_FLOAT_EQ(v.x, 0.6f);
    EXPECT_FLOAT_EQ(v.y, 0);
    EXPECT_FLOAT_EQ(v.z, -0.8f);
}

TEST(Vectors, NormalizingZeroWritesNothing) {
    Vector3 v = {7, 8, 9};
    vecNormalize(0, 0, 0, &v);
    EXPECT_EQ(v.x, 7);
    EXPECT_EQ(v.y, 8);
    EXPECT_EQ(v.z, 9);
}

}  // namespace
