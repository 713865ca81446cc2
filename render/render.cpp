#include "render/render.h"

#include "math/camera.h"
#include "math/vecmath.h"
#include "scene/scene.h"

#include <functional>

unsigned char wireframeMode;
double orbitStep = 0.04;
int objectScale = 10;

unsigned char animationPaused;

namespace {

// The animation clock: the tick of the last step, started by the first frame, which never
// animates.
DWORD lastAnimationTick;
bool animationClockStarted;

const float angleStep = 0.02f;
const float angleLimit = 6.2831855f;  // 2 pi as a float; an angle above it restarts at 0
const float screenOffset = 250;
const float textureDepthScale = 5;

// KEPT: the depth buffer is cleared over 500 x 500 of its 1000 x 1000 entries
// The depth buffer is cleared over the 500 x 500 entries that hold the viewport.
void clearDepthBuffer() {
    for (int x = 0; x < 500; x++) {
        for (int y = 0; y < 500; y++) {
            DepthBuffer[x * depthBufferRows + y] = 500.0f;
        }
    }
}

// KEPT: an angle above 2 pi restarts at 0, not at 2 pi less
float wrapAngle(float angle) {
    return angle > angleLimit ? 0.0f : angle;
}

Vector3 transformPoint(const Matrix4& m, Vector3 p) {
    Vector4 result;
    matTransform(m, {p.x, p.y, p.z, 1}, &result);
    return {result.x, result.y, result.z};
}

struct FrameMatrices {
    Matrix4 view;
    Matrix4 projection;
};

// KEPT: every object turns by the first object's angles
// Every object turns by the first object's angles.
void buildObjectRotation(Matrix4* rotation) {
    const SceneObject& first = sceneObjects[0];
    Matrix4 rx, ry, rz, ryz;
    matRotation(first.angleX, AxisX, &rx);
    matRotation(first.angleY, AxisY, &ry);
    matRotation(first.angleZ, AxisZ, &rz);
    matMultiply(ry, rz, &ryz);
    matMultiply(rx, ryz, rotation);
}

// Both builders deliver their matrix transposed; the transpose here brings it back into
// column-vector form. matLookAt also refreshes cameraRight.
void buildViewAndProjection(FrameMatrices* frame) {
    Vector3 target = {cameraPosition.x + cameraForward.x, cameraPosition.y + cameraForward.y,
                      cameraPosition.z + cameraForward.z};
    Matrix4 transposed;
    matLookAt(&cameraPosition, &target, cameraUp.x, cameraUp.y, cameraUp.z, &transposed);
    matTranspose(transposed, &frame->view);
    matPerspective(0.01f, 0.01f, 5, 500, &transposed);
    matTranspose(transposed, &frame->projection);
}

Vector3 difference(Vector3 a, Vector3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

// A zero vector normalises to zero here: the fresh storage starts at zero.
Vector3 normalized(Vector3 v) {
    Vector3 out = {0, 0, 0};
    vecNormalize(v.x, v.y, v.z, &out);
    return out;
}

Vector3 faceNormal(const Vector3 world[3]) {
    Vector3 a = normalized(difference(world[2], world[0]));
    Vector3 b = normalized(difference(world[1], world[0]));
    Vector3 cross;
    vecCross(a.x, a.y, a.z, b.x, b.y, b.z, &cross);
    return normalized(cross);
}

// KEPT: nothing is clipped: a triangle reaching behind the eye is dropped whole
// Drawn only when the face turns towards the camera and every corner lies in front of the
// plane through the eye: nothing is clipped, a triangle reaching behind it is dropped whole.
bool isVisible(const Vector3 world[3], Vector3 normal) {
    // Exercise camera: drop a face that turns away from the camera.
    Vector3 toEye = normalized(difference(cameraPosition, world[2]));
    if (!(vecDot(normal.x, normal.y, normal.z, toEye.x, toEye.y, toEye.z) > 0)) {
        return false;
    }
    // End of exercise camera
    for (int k = 0; k < 3; k++) {
        Vector3 ahead = difference(world[k], cameraPosition);
        float distanceAhead =
            vecDot(ahead.x, ahead.y, ahead.z, cameraForward.x, cameraForward.y, cameraForward.z);
        if (!(distanceAhead > 0)) {
            return false;
        }
    }
    return true;
}

// Ambient, plus a diffuse term from the point light when the face turns towards it.
// Exercise lighting: light a corner: ambient, plus the diffuse light of the point light.
Colour lightCorner(const ModelVertex& base, Vector3 world, Vector3 normal, Vector3 light) {
    Colour colour = {ambientFactor.red * base.r, ambientFactor.green * base.g,
                     ambientFactor.blue * base.b, 0};
    Vector3 fromLight = normalized(difference(world, light));
    float facing = -vecDot(fromLight.x, fromLight.y, fromLight.z, normal.x, normal.y, normal.z);
    if (facing > 0) {
        colour.r += facing * base.r;
        colour.g += facing * base.g;
        colour.b += facing * base.b;
        colour.r = colour.r > 255 ? 255 : colour.r;
        colour.g = colour.g > 255 ? 255 : colour.g;
        colour.b = colour.b > 255 ? 255 : colour.b;
    }
    return colour;
}
// End of exercise lighting

// A frame someone looks inside tells the rasterizers which object's triangle they draw: the
// object whose triangles hold this one. Out of the plain path's way, so that it stays as it is.
[[gnu::noinline]] void noteDrawer(const ModelTriangle& triangle) {
    const std::less_equal<const ModelTriangle*> notAfter;
    for (int object = 0; object < sceneObjectCount; ++object) {
        const std::vector<ModelTriangle>& triangles = sceneObjects[object].triangles;
        if (!triangles.empty() && notAfter(&triangles.front(), &triangle) &&
            notAfter(&triangle, &triangles.back())) {
            const int index = (int)(&triangle - &triangles.front());
            currentDrawer = {wireframeMode ? DrawnByWireframeEdge : DrawnByObject, object, index};
        }
    }
}

void drawModelTriangle(const ModelTriangle& triangle, const Matrix4& model,
                       const FrameMatrices& frame, int shadeMode, HDC dc) {
    Vector3 world[3];
    ScreenVertex screen[3];
    float depth[3];
    for (int k = 0; k < 3; k++) {
        const ModelVertex& corner = triangle.vertex[k];
        world[k] = transformPoint(model, {corner.x, corner.y, corner.z});
        Vector3 eye = transformPoint(frame.view, world[k]);
        Vector3 clip = transformPoint(frame.projection, eye);
        // KEPT: divided by the third component: the picture is mirrored left to right
        // Divided by the third component, not the fourth; window rows grow downward.
        screen[k].x = clip.x / clip.z + screenOffset;
        screen[k].y = clip.y / clip.z + screenOffset;
        depth[k] = -eye.z;
        // Perspective-weighted texture values, interpolated linearly on screen.
        screen[k].uq = corner.u / (depth[k] / textureDepthScale);
        screen[k].vq = corner.v / (depth[k] / textureDepthScale);
        screen[k].q = textureDepthScale / depth[k];
    }
    Vector3 normal = faceNormal(world);
    if (!isVisible(world, normal)) {
        return;
    }
    // KEPT: the light is object 2, which circles object 0 and shows the bare texture
    Vector3 light = sceneObjects[2].position;
    for (int k = 0; k < 3; k++) {
        screen[k].colour = lightCorner(triangle.vertex[k], world[k], normal, light);
    }
    if (pixelWrites != nullptr) {
        noteDrawer(triangle);
    }
    if (wireframeMode) {
        drawWireTriangle(screen[0], screen[1], screen[2], dc);
    } else {
        drawTriangle(screen[0], screen[1], screen[2], dc, depth[0], depth[1], depth[2], shadeMode);
    }
}

// Model space to world: turned, then scaled, then moved to the object's position.
void drawObject(const SceneObject& object, const Matrix4& scale, const Matrix4& rotation, HDC dc) {
    Matrix4 translation, translatedScale, model;
    matTranslation(object.position.x, object.position.y, object.position.z, &translation);
    matMultiply(translation, scale, &translatedScale);
    matMultiply(translatedScale, rotation, &model);
    FrameMatrices frame;
    buildViewAndProjection(&frame);
    for (const ModelTriangle& triangle : object.triangles) {
        drawModelTriangle(triangle, model, frame, object.shadeMode, dc);
    }
}

}  // namespace

// KEPT: the light is object 2, which circles object 0 and shows the bare texture
// One step: the cubes turn, and the light cube circles the first about the vertical line
// through its centre, keeping its height and distance.
void advanceAnimation() {
    SceneObject& first = sceneObjects[0];
    first.angleX = wrapAngle(first.angleX + angleStep);
    first.angleY = wrapAngle(first.angleY + angleStep);
    first.angleZ = wrapAngle(first.angleZ + angleStep);

    Matrix4 toCentre, turn, fromCentre, turnFromCentre, orbit;
    matTranslation(first.position.x, first.position.y, first.position.z, &toCentre);
    matRotation((float)orbitStep, AxisZ, &turn);
    matInverseTranslation(toCentre, &fromCentre);
    matMultiply(turn, fromCentre, &turnFromCentre);
    matMultiply(toCentre, turnFromCentre, &orbit);
    sceneObjects[2].position = transformPoint(orbit, sceneObjects[2].position);
}

void renderScene(HDC dc) {
    if (!animationClockStarted) {
        lastAnimationTick = GetTickCount();
        animationClockStarted = true;
    }
    clearDepthBuffer();
    // KEPT: at most one animation step a frame: the speed follows the frame rate
    // At most one step a frame, however long the gap: the animation follows the frame rate.
    if (!animationPaused && GetTickCount() - lastAnimationTick > 10) {
        advanceAnimation();
        lastAnimationTick = GetTickCount();
    }
    Matrix4 scale, rotation;
    float s = (float)objectScale;
    matScale(s, s, s, &scale);
    buildObjectRotation(&rotation);
    for (const SceneObject& object : sceneObjects) {
        drawObject(object, scale, rotation, dc);
    }
    drawViewportBorder(dc);
}

void resetRenderer() {
    wireframeMode = 0;
    animationPaused = 0;
    lastAnimationTick = 0;
    animationClockStarted = false;
}
