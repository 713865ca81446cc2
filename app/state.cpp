// The application's globals, with their start values, and the reset that puts the program back
// as a fresh process has it, so that a test or a tool that starts the program again finds it so.
// A global of the application belongs here and in resetProgramState below; a global private to
// one file is reset by that file, and each layer below resets its own.
#include "app/app.h"

#include "math/camera.h"
#include "raster/raster.h"
#include "render/render.h"
#include "scene/scene.h"

#include <algorithm>
#include <iterator>

HINSTANCE appInstance;
HWND mainWindow;
HDC windowDC;
RECT clientRect;
RECT cursorClipRect;
BackBuffer backBuffer;

int frameCount;
int framesPerSecond;
DWORD fpsIntervalStart;

HWND editControl;
HFONT editFont;
UINT findReplaceMessage;
char fileName[260];
OPENFILENAMEA openFileName;

unsigned char cursorFree;
unsigned char showTexture;

// Mouse-look measures from the point the cursor is put back to until the first move.
static constexpr double startLookAnchor = 250;
float mouseX;
float mouseY;
double lookAnchorX = startLookAnchor;
double lookAnchorY = startLookAnchor;
DWORD lookTimer;
unsigned char firstMouseMove = 1;
unsigned char skipNextMove;

// The user's triangle: three left clicks place its corners; between clicks, lines from the
// corners placed so far follow the cursor. Exactly one of the first three flags is set at any
// time.
ScreenVertex clickVertex[3];
unsigned char triangleReady = 1;
unsigned char awaitingSecondClick;
unsigned char awaitingThirdClick;
unsigned char noTriangleYet = 1;

unsigned char inspecting;
InspectView inspectView;
unsigned char magnifierShown;

void resetProgramState() {
    // The bitmap is selected into the DC, so it goes when the DC goes.
    DeleteObject(backBuffer.bitmap);
    DeleteDC(backBuffer.dc);
    DeleteObject(editFont);
    appInstance = NULL;
    mainWindow = NULL;
    windowDC = NULL;
    clientRect = cursorClipRect = {};
    backBuffer = {};
    frameCount = framesPerSecond = 0;
    fpsIntervalStart = 0;
    resetFrameLoop();
    editControl = NULL;
    editFont = NULL;
    findReplaceMessage = 0;
    std::fill(std::begin(fileName), std::end(fileName), '\0');
    openFileName = {};
    cursorFree = showTexture = 0;
    mouseX = mouseY = 0;
    lookAnchorX = lookAnchorY = startLookAnchor;
    lookTimer = 0;
    firstMouseMove = 1;
    skipNextMove = 0;
    std::fill(std::begin(clickVertex), std::end(clickVertex), ScreenVertex{});
    triangleReady = 1;
    awaitingSecondClick = awaitingThirdClick = 0;
    noTriangleYet = 1;
    inspecting = 0;
    inspectView = ColourView;
    magnifierShown = 0;
    forgetAskedPixels();
    // What the program set below app/: the scene it built, the camera it moved, the renderer's
    // mode and clock, the texture it loaded and the depths of the last frame.
    resetScene();
    resetCamera();
    resetRenderer();
    resetRaster();
}
