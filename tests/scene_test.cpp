#include "math/camera.h"
#include "math/vecmath.h"
#include "scene/scene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <tuple>

namespace {

// The scene is filled once per process, as the program does.
class SceneTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (sceneObjects[0].triangles.empty()) {
            initScene();
        }
    }
};

Vector3 corner(const ModelVertex& v) {
    return {v.x, v.y, v.z};
}

Vector3 outwardAxis(const ModelTriangle& t) {
    Vector3 first = corner(t.vertex[0]), second = corner(t.vertex[1]), third = corner(t.vertex[2]);
    Vector3 out;
    vecCross(third.x - first.x, third.y - first.y, third.z - first.z, second.x - first.x,
             second.y - first.y, second.z - first.z, &out);
    return out;
}

TEST_F(SceneTest, EveryObjectHoldsTheSameTwelveTriangles) {
    for (const SceneObject& object : sceneObjects) {
        ASSERT_EQ(object.triangles.size(), 12u);
        for (int t = 0; t < 12; ++t) {
            for (int k = 0; k < 3; ++k) {
                const ModelVertex& a = object.triangles[t].vertex[k];
                const ModelVertex& b = sceneObjects[0].triangles[t].vertex[k];
                EXPECT_EQ(std::tie(a.x, a.y, a.z, a.r, a.g, a.b, a.u, a.v),
                          std::tie(b.x, b.y, b.z, b.r, b.g, b.b, b.u, b.v));
            }
        }
    }
}

// The renderer's facing test relies on this winding.
TEST_F(SceneTest, EveryTriangleIsWoundOutwardWithAUnitAxis) {
    for (const ModelTriangle& t : sceneObjects[0].triangles) {
        Vector3 axis = outwardAxis(t);
        EXPECT_FLOAT_EQ(vecLength(axis.x, axis.y, axis.z), 1.0f);
        Vector3 centre = corner(t.vertex[0]);
        EXPECT_GT(vecDot(axis.x, axis.y, axis.z, centre.x, centre.y, centre.z), 0);
    }
}

TEST_F(SceneTest, EachFaceMapsTheWholeTextureSquare) {
    for (int face = 0; face < 6; ++face) {
        std::set<std::pair<float, float>> corners;
        for (int half = 0; half < 2; ++half) {
            for (const ModelVertex& v : sceneObjects[0].triangles[face * 2 + half].vertex) {
                corners.insert({v.u, v.v});
            }
        }
        EXPECT_EQ(corners.size(), 4u) << "face " << face;
    }
}

// Each corner of the cube has one colour wherever it appears; only two corners share one.
TEST_F(SceneTest, CornerColoursAreConsistentAndOnlyTwoCornersArePureRed) {
    std::set<std::tuple<float, float, float>> positions, redCorners;
    std::set<std::tuple<float, float, float>> colours;
    for (const ModelTriangle& t : sceneObjects[0].triangles) {
        for (const ModelVertex& v : t.vertex) {
            positions.insert({v.x, v.y, v.z});
            colours.insert({v.r, v.g, v.b});
            if (v.r == 255 && v.g == 0 && v.b == 0) {
                redCorners.insert({v.x, v.y, v.z});
            }
        }
    }
    EXPECT_EQ(positions.size(), 8u);
    EXPECT_EQ(colours.size(), 7u);
    EXPECT_EQ(redCorners, (std::set<std::tuple<float, float, float>>{{0.5f, 0.5f, -0.5f},
                                                                     {-0.5f, -0.5f, 0.5f}}));
}

// KEPT: the light is object 2, which circles object 0 and shows the bare texture
TEST_F(SceneTest, ObjectsStartWhereTheSceneIsLaidOut) {
    const float expected[4][3] = {{0, 120, 20}, {20, 130, -20}, {-30, 100, 20}, {-60, 120, 20}};
    const int modes[4] = {1, 2, 0, 2};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(sceneObjects[i].position.x, expected[i][0]);
        EXPECT_EQ(sceneObjects[i].position.y, expected[i][1]);
        EXPECT_EQ(sceneObjects[i].position.z, expected[i][2]);
        EXPECT_EQ(sceneObjects[i].shadeMode, modes[i]);
    }
    EXPECT_EQ(ambientFactor.red, 0.4f);
    EXPECT_EQ(ambientFactor.green, 0.4f);
    EXPECT_EQ(ambientFactor.blue, 0.4f);
}

// The world is z-up, and the right vector is the normalised forward x up.
TEST_F(SceneTest, CameraStartsAtTheOriginLookingAlongY) {
    // Other tests move the camera; put it back as the set-up does.
    initCamera();
    EXPECT_EQ(std::tie(cameraPosition.x, cameraPosition.y, cameraPosition.z),
              std::make_tuple(0.0f, 0.0f, 0.0f));
    EXPECT_EQ(std::tie(cameraForward.x, cameraForward.y, cameraForward.z),
              std::make_tuple(0.0f, 1.0f, 0.0f));
    EXPECT_EQ(std::tie(cameraUp.x, cameraUp.y, cameraUp.z), std::make_tuple(0.0f, 0.0f, 1.0f));
    Vector3 right;
    vecCross(cameraForward.x, cameraForward.y, cameraForward.z, cameraUp.x, cameraUp.y, cameraUp.z,
             &right);
    EXPECT_EQ(std::tie(cameraRight.x, cameraRight.y, cameraRight.z),
              std::tie(right.x, right.y, right.z));
    EXPECT_EQ(cameraRight.x, 1.0f);
}

}  // namespace
