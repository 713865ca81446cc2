// The camera: where it stands and its three axes. They start at zero here; the scene set-up
// gives them their start values, the input handlers move and turn them, and matLookAt
// rewrites cameraRight every time it builds a view.
#pragma once

#include "math/vecmath.h"

extern Vector3 cameraPosition;
extern Vector3 cameraForward;
extern Vector3 cameraRight;
extern Vector3 cameraUp;

// All four back at zero, as a fresh process has them.
void resetCamera();
