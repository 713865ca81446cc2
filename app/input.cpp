#include "app/app.h"

#include "math/camera.h"
#include "math/vecmath.h"
#include "render/render.h"

static const float moveStep = 4;

static void normalizeInPlace(Vector3* v) {
    vecNormalize(v->x, v->y, v->z, v);
}

static void moveAlong(Vector3 direction, float step) {
    cameraPosition.x += step * direction.x;
    cameraPosition.y += step * direction.y;
    cameraPosition.z += step * direction.z;
}

void moveForward() {
    normalizeInPlace(&cameraForward);
    moveAlong(cameraForward, moveStep);
}

void moveBackward() {
    normalizeInPlace(&cameraForward);
    moveAlong(cameraForward, -moveStep);
}

// KEPT: matLookAt writes cameraRight: the strafe keys follow the last view
// cameraRight is what the last view built: the last frame's, or the last mouse-look's.
void strafeAlongRight() {
    normalizeInPlace(&cameraRight);
    moveAlong(cameraRight, moveStep);
}

void strafeAgainstRight() {
    normalizeInPlace(&cameraRight);
    moveAlong(cameraRight, -moveStep);
}

static void toggleCursor() {
    if (cursorFree) {
        cursorFree = 0;
        ShowCursor(FALSE);
    } else {
        ShowCursor(TRUE);
        cursorFree = 1;
    }
}

// KEPT: auto-repeat repeats every key's action: a held F or B keeps flipping
void handleKey(WPARAM key) {
    switch (key) {
        case VK_ESCAPE:
            // KEPT: Escape deletes the back buffer's bitmap while it is still selected
            DeleteObject(backBuffer.bitmap);
            PostQuitMessage(0);
            break;
        case VK_UP:
        case 'W':
            moveForward();
            break;
        case VK_DOWN:
        case 'S':
            moveBackward();
            break;
        case 'A':
            strafeAlongRight();
            break;
        case 'D':
            strafeAgainstRight();
            break;
        case 'B':
            showTexture = !showTexture;
            break;
        case 'C':
            toggleCursor();
            break;
        case 'F':
            wireframeMode = !wireframeMode;
            break;
        default:
            handleInspectKey(key);
            break;
    }
}

// KEPT: mouse-look turns about the world's z and x axes; pitch flips towards -y
// 1000 pixels turn one radian. A cursor right of the anchor (dx < 0) turns the view left
// about the world's z axis; a cursor above it (dy > 0) raises the view, also when the view
// points towards -y. The result is left unnormalised and the pitch unlimited.
void mouseLook(double dx, double dy) {
    float yaw = (float)(-(dx / 1000));
    float pitch = (float)(dy / 1000);
    if (cameraForward.y < 0) {
        pitch = pitch * -1;
    }
    Vector3 target = {cameraPosition.x + cameraForward.x, cameraPosition.y + cameraForward.y,
                      cameraPosition.z + cameraForward.z};
    Matrix4 unused;
    // Only for its side effect: cameraRight becomes the right vector of the view before the turn.
    matLookAt(&cameraPosition, &target, cameraUp.x, cameraUp.y, cameraUp.z, &unused);
    Matrix4 yawTurn, pitchTurn, turn;
    matRotation(yaw, AxisZ, &yawTurn);
    matRotation(pitch, AxisX, &pitchTurn);
    matMultiply(pitchTurn, yawTurn, &turn);
    Vector4 turned;
    matTransform(turn, {cameraForward.x, cameraForward.y, cameraForward.z, 0}, &turned);
    cameraForward = {turned.x, turned.y, turned.z};
}

// KEPT: the cursor is put back at screen (250, 250); the look anchor stays put
// The cursor is put back at the centre at most every 20 ms; the move that the warp itself
// causes arrives within that time and only re-anchors.
void handleMouseMove(LPARAM position) {
    mouseX = (float)LOWORD(position);
    mouseY = (float)HIWORD(position);
    if (firstMouseMove) {
        lookTimer = GetTickCount();
        firstMouseMove = 0;
    }
    if (cursorFree) {
        return;
    }
    if (GetTickCount() - lookTimer > 20) {
        SetCursorPos(250, 250);
        lookTimer = GetTickCount();
        skipNextMove = 1;
        mouseLook(lookAnchorX - mouseX, lookAnchorY - mouseY);
        return;
    }
    if (skipNextMove) {
        skipNextMove = 0;
    } else {
        mouseLook(lookAnchorX - mouseX, lookAnchorY - mouseY);
    }
    lookAnchorX = mouseX;
    lookAnchorY = mouseY;
}
