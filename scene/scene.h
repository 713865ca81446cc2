// The scene: four textured, vertex-coloured cubes, the ambient light factor, and the set-up
// that fills them once at start. The camera vectors live in math/camera.h.
#pragma once

#include "math/camera.h"
#include "math/vecmath.h"

#include <vector>

struct ModelVertex {
    float x, y, z;  // model units; the cube spans -0.5 to 0.5 on each axis
    float r, g, b;  // 0 to 255
    float u, v;     // texture coordinates, 0 to 1
};

// Wound so that (third - first) x (second - first) points out of the cube.
struct ModelTriangle {
    ModelVertex vertex[3];
};

struct SceneObject {
    std::vector<ModelTriangle> triangles;
    Vector3 position;  // world position of the centre
    float angleY;
    float angleX;
    float angleZ;
    int shadeMode;  // how the rasterizer fills the object's triangles
};

struct AmbientFactor {
    float red, green, blue;
};

constexpr int sceneObjectCount = 4;

// Only the first object's angles are advanced, and every object turns by them; the third
// object circles the first and carries the point light.
extern SceneObject sceneObjects[sceneObjectCount];
extern AmbientFactor ambientFactor;

// Fills the four objects and the camera. Called once: a second call would append a second
// set of triangles to every object.
void initScene();
// Puts the camera at its start; part of initScene.
void initCamera();
// Empties the four objects and clears the ambient factor, as a fresh process has them, so that
// initScene may fill them again.
void resetScene();
