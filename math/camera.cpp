#include "math/camera.h"

Vector3 cameraPosition = {0.0f, 0.0f, 0.0f};
Vector3 cameraForward = {0.0f, 0.0f, 0.0f};
Vector3 cameraRight = {0.0f, 0.0f, 0.0f};
Vector3 cameraUp = {0.0f, 0.0f, 0.0f};

void resetCamera() {
    cameraPosition = cameraForward = cameraRight = cameraUp = {0.0f, 0.0f, 0.0f};
}
