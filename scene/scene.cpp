#include "scene/scene.h"

#include "raster/raster.h"

SceneObject sceneObjects[sceneObjectCount];
AmbientFactor ambientFactor;

namespace {

struct CubeCorner {
    float x, y, z;
    float r, g, b;
};

// clang-format off
const CubeCorner cubeCorners[8] = {
    { 0.5f,  0.5f, -0.5f, 255,   0,   0},  // P0
    { 0.5f, -0.5f, -0.5f,   0, 255,   0},  // P1
    { 0.5f, -0.5f,  0.5f,   0,   0, 255},  // P2
    { 0.5f,  0.5f,  0.5f, 255, 255,   0},  // P3
    {-0.5f, -0.5f,  0.5f, 255,   0,   0},  // P4
    {-0.5f,  0.5f,  0.5f, 120, 120,   0},  // P5
    {-0.5f, -0.5f, -0.5f, 255,   0, 255},  // P6
    {-0.5f,  0.5f, -0.5f,   0, 120, 120},  // P7
};

struct CubeVertexRef {
    int corner;
    float u, v;
};

// Two triangles a face, sharing a diagonal; together they map the whole texture onto it.
const CubeVertexRef cubeTriangles[12][3] = {
    {{0, 0, 1}, {1, 1, 1}, {2, 1, 0}},  // x = +0.5
    {{0, 0, 1}, {2, 1, 0}, {3, 0, 0}},
    {{3, 0, 1}, {2, 1, 1}, {4, 1, 0}},  // z = +0.5
    {{3, 0, 1}, {4, 1, 0}, {5, 0, 0}},
    {{5, 0, 1}, {4, 1, 1}, {6, 1, 0}},  // x = -0.5
    {{5, 0, 1}, {6, 1, 0}, {7, 0, 0}},
    {{7, 0, 1}, {6, 1, 1}, {1, 1, 0}},  // z = -0.5
    {{7, 0, 1}, {1, 1, 0}, {0, 0, 0}},
    {{0, 0, 1}, {3, 1, 1}, {5, 1, 0}},  // y = +0.5
    {{0, 0, 1}, {5, 1, 0}, {7, 0, 0}},
    {{1, 1, 0}, {4, 0, 1}, {2, 1, 1}},  // y = -0.5
    {{1, 1, 0}, {6, 0, 0}, {4, 0, 1}},
};
// clang-format on

ModelVertex cubeVertex(CubeVertexRef ref) {
    const CubeCorner& c = cubeCorners[ref.corner];
    return {c.x, c.y, c.z, c.r, c.g, c.b, ref.u, ref.v};
}

void appendCube(SceneObject* object) {
    for (const auto& corners : cubeTriangles) {
        object->triangles.push_back(
            {{cubeVertex(corners[0]), cubeVertex(corners[1]), cubeVertex(corners[2])}});
    }
}

}  // namespace

// The world is z-up; the camera starts at the origin looking along +y.
void initCamera() {
    cameraPosition = {0, 0, 0};
    cameraForward = {0, 1, 0};
    cameraRight = {1, 0, 0};
    cameraUp = {0, 0, 1};
    vecNormalize(cameraForward.x, cameraForward.y, cameraForward.z, &cameraForward);
    vecNormalize(cameraRight.x, cameraRight.y, cameraRight.z, &cameraRight);
    vecNormalize(cameraUp.x, cameraUp.y, cameraUp.z, &cameraUp);
}

void initScene() {
    for (SceneObject& object : sceneObjects) {
        appendCube(&object);
        object.angleY = 0;
        object.angleX = 0;
        object.angleZ = 0;
    }
    sceneObjects[0].position = {0, 120, 20};
    sceneObjects[1].position = {20, 130, -20};
    sceneObjects[2].position = {-30, 100, 20};
    sceneObjects[3].position = {-60, 120, 20};

    initCamera();

    ambientFactor = {0.4f, 0.4f, 0.4f};

    // The light cube shows the bare texture.
    sceneObjects[0].shadeMode = ShadeBlend;
    sceneObjects[1].shadeMode = ShadeModulate;
    sceneObjects[2].shadeMode = ShadeTexture;
    sceneObjects[3].shadeMode = ShadeModulate;
}

void resetScene() {
    for (SceneObject& object : sceneObjects) {
        object.triangles.clear();
        object.position = {0, 0, 0};
        object.angleX = object.angleY = object.angleZ = 0;
        object.shadeMode = 0;
    }
    ambientFactor = {};
}
