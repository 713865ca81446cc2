#include "tests/shim/program.h"

#include "app/menu.h"
#include "math/camera.h"

#include <cmath>

namespace {

class InputTest : public ProgramTest {
  protected:
    static void moveMouse(int x, int y) {
        post(WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
        dispatchQueued();
    }

    static void click(int x, int y) {
        post(WM_LBUTTONDOWN, 1, MAKELPARAM(x, y));
        post(WM_LBUTTONUP, 0, MAKELPARAM(x, y));
        dispatchQueued();
    }

    static Vector3 position() { return cameraPosition; }
    static Vector3 forward() { return cameraForward; }
};

void expectVector(Vector3 actual, float x, float y, float z) {
    EXPECT_FLOAT_EQ(actual.x, x);
    EXPECT_FLOAT_EQ(actual.y, y);
    EXPECT_FLOAT_EQ(actual.z, z);
}

TEST_F(InputTest, ForwardKeysMoveAlongTheViewAndBackwardKeysUndoIt) {
    for (int forwardKey : {(int)'W', VK_UP}) {
        pressKey(forwardKey);
        expectVector(position(), 0, 4, 0);
        pressKey(forwardKey == 'W' ? 'S' : VK_DOWN);
        expectVector(position(), 0, 0, 0);
    }
    cameraForward = {0, 3, 4};
    pressKey('W');
    expectVector(position(), 0, 2.4f, 3.2f);
    Vector3 f = forward();
    EXPECT_FLOAT_EQ(vecLength(f.x, f.y, f.z), 1.0f);
    pressKey('S');
    expectVector(position(), 0, 0, 0);
}

TEST_F(InputTest, StrafeKeysMoveAlongTheRightVector) {
    pressKey('A');
    expectVector(position(), 4, 0, 0);
    pressKey('D');
    pressKey('D');
    expectVector(position(), -4, 0, 0);
}

// KEPT: auto-repeat repeats every key's action: a held F or B keeps flipping
TEST_F(InputTest, AutoRepeatRepeatsTheAction) {
    post(WM_KEYDOWN, 'W', 1);
    post(WM_KEYDOWN, 'W', 0x40000001);
    post(WM_KEYDOWN, 'W', 0x40000001);
    dispatchQueued();
    expectVector(position(), 0, 12, 0);
    post(WM_KEYDOWN, 'F', 1);
    post(WM_KEYDOWN, 'F', 0x40000001);
    dispatchQueued();
    EXPECT_EQ(wireframeMode, 0);
}

TEST_F(InputTest, ModeKeysFlipTheirFlags) {
    pressKey('F');
    EXPECT_EQ(wireframeMode, 1);
    pressKey('B');
    EXPECT_EQ(showTexture, 1);
    pressKey('F');
    pressKey('B');
    EXPECT_EQ(wireframeMode, 0);
    EXPECT_EQ(showTexture, 0);
}

// The display count starts at -1 (hidden since the window was created) and pairs up exactly.
TEST_F(InputTest, CursorKeyShowsAndHidesTheCursorInPairs) {
    EXPECT_EQ(shimtest::cursorState().displayCount, -1);
    pressKey('C');
    EXPECT_EQ(cursorFree, 1);
    EXPECT_EQ(shimtest::cursorState().displayCount, 0);
    pressKey('C');
    EXPECT_EQ(cursorFree, 0);
    EXPECT_EQ(shimtest::cursorState().displayCount, -1);
}

TEST_F(InputTest, OtherKeysAndKeyUpsChangeNothing) {
    shimtest::clearDefWindowProcMessages();
    for (int key : {(int)'Q', (int)'E', (int)'1', VK_LEFT, VK_RIGHT, VK_SPACE, VK_RETURN}) {
        pressKey(key);
    }
    post(WM_KEYUP, 'W', 0xC0000001);
    dispatchQueued();
    expectVector(position(), 0, 0, 0);
    expectVector(forward(), 0, 1, 0);
    EXPECT_EQ(wireframeMode + showTexture + cursorFree, 0);
    bool keyDownLogged = false, keyUpLogged = false;
    for (const shimtest::LoggedMessage& logged : shimtest::defWindowProcMessages()) {
        keyDownLogged |= logged.message == WM_KEYDOWN;
        keyUpLogged |= logged.message == WM_KEYUP;
    }
    EXPECT_FALSE(keyDownLogged);
    EXPECT_TRUE(keyUpLogged);
}

TEST_F(InputTest, EscapeDeletesTheBackBufferBitmapAndQuits) {
    post(WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_FALSE(dispatchQueued());
    // Deleted while still selected: it stays usable until deselected, as in GDI.
    EXPECT_NE(GetPixel(backBuffer.dc, 0, 0), CLR_INVALID);
}

// Deleted while still selected, the bitmap goes as soon as the back buffer lets it go.
// KEPT: Escape deletes the back buffer's bitmap while it is still selected
TEST_F(InputTest, EscapeDeletesTheBitmapItDrawsInto) {
    HBITMAP bitmap = backBuffer.bitmap;
    post(WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_FALSE(dispatchQueued());
    HBITMAP standIn = CreateCompatibleBitmap(backBuffer.dc, 4, 4);
    EXPECT_EQ(SelectObject(backBuffer.dc, standIn), (HGDIOBJ)bitmap);
    BITMAP described;
    EXPECT_EQ(GetObjectA(bitmap, sizeof described, &described), 0);
}

// KEPT: the menu bar's "Press F for wireframe mode" is a label that does nothing
TEST_F(InputTest, MenuBarLabelIsOnlyALabel) {
    post(WM_COMMAND, MAKEWPARAM(commandMenuLabel, 0));
    EXPECT_TRUE(dispatchQueued());
    EXPECT_EQ(wireframeMode + showTexture + cursorFree, 0);
}

TEST_F(InputTest, MenuCommandsOtherThanExitDoNothing) {
    for (WPARAM command : {(WPARAM)commandMenuLabel, (WPARAM)1, (WPARAM)40002}) {
        post(WM_COMMAND, command);
        EXPECT_TRUE(dispatchQueued());
    }
    post(WM_COMMAND, MAKEWPARAM(commandExit, 0));
    EXPECT_FALSE(dispatchQueued());
}

// A cursor right of the anchor turns the view about z by a positive angle.
TEST_F(InputTest, FirstMoveTurnsByTheOffsetFromTheCentre) {
    moveMouse(260, 250);
    float s = (float)std::sin((double)0.01f), c = (float)std::cos((double)0.01f);
    expectVector(forward(), -s, c, 0);
    EXPECT_EQ(lookAnchorX, 260);
    EXPECT_EQ(lookAnchorY, 250);
    EXPECT_EQ(lookTimer, startTick);
}

TEST_F(InputTest, MovingUpRaisesTheView) {
    moveMouse(250, 150);
    float s = (float)std::sin((double)0.1f), c = (float)std::cos((double)0.1f);
    expectVector(forward(), 0, c, s);
}

// Turned about the world's x axis, a view along -y would sink: the pitch changes sign.
// KEPT: mouse-look turns about the world's z and x axes; pitch flips towards -y
TEST_F(InputTest, MovingUpRaisesTheViewAlsoWhenItLooksAlongMinusY) {
    cameraForward = {0, -1, 0};
    moveMouse(250, 150);
    float s = (float)std::sin((double)0.1f), c = (float)std::cos((double)0.1f);
    expectVector(forward(), 0, -c, s);
}

// After more than 20 ms the cursor is put back at the centre; the move the warp causes only
// re-anchors.
// KEPT: the cursor is put back at screen (250, 250); the look anchor stays put
TEST_F(InputTest, LateMoveRecentresTheCursorAndKeepsTheAnchor) {
    moveMouse(250, 250);
    shimtest::advanceTickCount(21);
    post(WM_MOUSEMOVE, 0, MAKELPARAM(240, 250));
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));
    DispatchMessageA(&msg);
    shimtest::CursorState cursor = shimtest::cursorState();
    EXPECT_EQ(cursor.position.x, 250);
    EXPECT_EQ(cursor.position.y, 250);
    EXPECT_EQ(skipNextMove, 1);
    EXPECT_EQ(lookAnchorX, 250);
    EXPECT_EQ(lookTimer, startTick + 21);
    float s = (float)std::sin((double)-0.01f), c = (float)std::cos((double)-0.01f);
    expectVector(forward(), -s, c, 0);

    Vector3 turned = forward();
    dispatchQueued();  // the warp's own move, at screen (250, 250)
    EXPECT_EQ(skipNextMove, 0);
    expectVector(forward(), turned.x, turned.y, turned.z);
    EXPECT_EQ(lookAnchorX, 246);
    EXPECT_EQ(lookAnchorY, 208);
}

TEST_F(InputTest, FreeCursorRecordsMovesWithoutTurning) {
    pressKey('C');
    moveMouse(300, 120);
    EXPECT_EQ(mouseX, 300);
    EXPECT_EQ(mouseY, 120);
    expectVector(forward(), 0, 1, 0);
}

class ClickToolTest : public InputTest {
  protected:
    static COLORREF at(int x, int y) { return backBufferPixel(x, y); }
};

TEST_F(ClickToolTest, ClicksStepThroughTheStates) {
    EXPECT_EQ(triangleReady, 1);
    EXPECT_EQ(noTriangleYet, 1);
    click(40, 60);
    EXPECT_EQ(awaitingSecondClick, 1);
    EXPECT_EQ(triangleReady + awaitingThirdClick, 0);
    click(140, 60);
    EXPECT_EQ(awaitingThirdClick, 1);
    EXPECT_EQ(triangleReady + awaitingSecondClick, 0);
    click(40, 60);  // on an earlier corner: still completes the triangle
    EXPECT_EQ(triangleReady, 1);
    EXPECT_EQ(noTriangleYet, 0);
    EXPECT_EQ(clickVertex[2].x, 40);
    EXPECT_EQ(clickVertex[1].x, 140);
}

TEST_F(ClickToolTest, RubberBandFollowsTheCursor) {
    pressKey('C');
    click(40, 60);
    moveMouse(140, 60);
    renderFrame();
    EXPECT_EQ(at(40, 60), RGB(255, 0, 0));
    EXPECT_EQ(at(140, 60), RGB(0, 255, 0));
    EXPECT_EQ(at(90, 60), RGB(127, 127, 0));

    click(140, 60);
    moveMouse(40, 120);
    renderFrame();
    EXPECT_EQ(at(40, 60), RGB(255, 0, 0));
    EXPECT_EQ(at(90, 60), RGB(127, 127, 0));  // corner 0 to corner 1
    EXPECT_EQ(at(40, 90), RGB(127, 0, 127));  // corner 0 to the cursor, red to blue
    EXPECT_EQ(at(40, 120), RGB(0, 0, 255));   // drawn last, over the line from corner 1
}

TEST_F(ClickToolTest, CompletedTriangleBlendsRedGreenAndBlue) {
    // The triangle is depth-tested against what the last frame left; before the first frame
    // the depth buffer is all zero and hides it, so a frame goes first, as in the program.
    renderFrame();
    click(40, 60);
    click(140, 60);
    click(40, 160);
    renderFrame();
    COLORREF nearRed = at(42, 62), nearGreen = at(135, 62), nearBlue = at(42, 155);
    EXPECT_GT(GetRValue(nearRed), 230);
    EXPECT_GT(GetGValue(nearGreen), 200);
    EXPECT_GT(GetBValue(nearBlue), 200);
    EXPECT_LT(GetRValue(nearBlue) + GetGValue(nearBlue), 60);
    // The next click leaves Ready and removes the filled triangle at once.
    click(300, 300);
    renderFrame();
    EXPECT_EQ(at(42, 62), RGB(0, 0, 0));
}

// A depth of 100 that the last frame left at one pixel hides the triangle there for one frame;
// over a cube the triangle is drawn and then covered by the scene.
// KEPT: the three-click triangle lies under the scene and meets last frame's depths
TEST_F(ClickToolTest, TriangleLiesUnderTheSceneAndMeetsTheLastFramesDepths) {
    pressKey('C');
    renderFrame();
    const COLORREF cube = at(250, 170);
    ASSERT_NE(cube, RGB(0, 0, 0));
    click(150, 100);
    click(350, 100);
    click(250, 250);
    renderFrame();
    EXPECT_EQ(at(250, 170), cube);
    const COLORREF triangle = at(171, 105);
    ASSERT_NE(triangle, RGB(0, 0, 0));

    DepthBuffer[171 * depthBufferRows + 105] = 100.0f;
    renderFrame();
    EXPECT_NE(at(170, 105), RGB(0, 0, 0));
    EXPECT_EQ(at(171, 105), RGB(0, 0, 0));
    renderFrame();
    EXPECT_EQ(at(171, 105), triangle);
}

TEST_F(ClickToolTest, TriangleWithEveryCornerOutsideTheViewportIsNeverFilled) {
    click(5, 5);
    click(480, 5);
    click(5, 420);
    renderFrame();
    EXPECT_EQ(at(50, 100), RGB(0, 0, 0));
    EXPECT_EQ(noTriangleYet, 0);
}

}  // namespace
