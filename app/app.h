// The application shell: start-up, the window and its procedure, the frame loop.
#pragma once

#include "platform/win32/win32.h"
#include "raster/raster.h"

// The off-screen target every frame is drawn into; one block copy a frame puts it on the window.
struct BackBuffer {
    HDC dc;
    HBITMAP bitmap;
};

extern const char appName[];
extern HINSTANCE appInstance;
extern HWND mainWindow;
extern HDC windowDC;
extern RECT clientRect;
extern RECT cursorClipRect;
extern BackBuffer backBuffer;

extern int frameCount;
extern int framesPerSecond;
extern DWORD fpsIntervalStart;

extern HWND editControl;
extern HFONT editFont;
extern UINT findReplaceMessage;
extern char fileName[260];
extern OPENFILENAMEA openFileName;

// Mode flags, each 0 or 1, all clear at start.
extern unsigned char cursorFree;
extern unsigned char showTexture;

// Registers the class, creates the window (whose WM_CREATE builds the back buffer) and builds
// the scene; false when the class cannot be registered (the user has been told).
bool startApplication(HINSTANCE instance, int cmdShow);
// Handles every queued message; false once WM_QUIT was taken, with its wParam in exitCode.
bool dispatchMessages(int* exitCode);
// Handles messages and renders a frame whenever none waits, until WM_QUIT; returns its wParam.
int runMessageLoop();
// Draws one frame into the back buffer and copies it to the window.
void renderFrame();
// Puts the back buffer on a window's DC; the frame loop and WM_PAINT both show it this way.
void copyBackBufferTo(HDC target);
// The next frame is taken for the first: it starts the frame-rate interval.
void resetFrameLoop();
// Puts every global the program changes back to the value a fresh process starts with (the
// application's own, and through each layer's reset those of the layers below), and lets go of
// the back buffer, the edit font and the texture: for tests and tools that start the program
// more than once in one process.
void resetProgramState();

void drawHudLine(const char* text, int x);

// Keyboard and mouse.
extern float mouseX;  // cursor position in client coordinates from the last mouse move
extern float mouseY;
extern double lookAnchorX;  // where the next mouse-look delta is taken from
extern double lookAnchorY;
extern DWORD lookTimer;  // tick of the last re-centring of the cursor
extern unsigned char firstMouseMove;
extern unsigned char skipNextMove;  // the cursor was just re-centred: the next move re-anchors

void handleKey(WPARAM virtualKey);
void handleMouseMove(LPARAM position);
void moveForward();
void moveBackward();
void strafeAlongRight();
void strafeAgainstRight();
void mouseLook(double dx, double dy);

// The three-click triangle tool.
extern ScreenVertex clickVertex[3];
extern unsigned char triangleReady;
extern unsigned char awaitingSecondClick;
extern unsigned char awaitingThirdClick;
extern unsigned char noTriangleYet;

void setClickColours();
void placeTriangleVertex(int x, int y);
void drawRubberBand(int x, int y);
void drawClickTriangle();

// Looking inside a frame. The keys P, N, Z, O and I work only in a program started to inspect.
extern unsigned char inspecting;
enum InspectView { ColourView, DepthView, OverdrawView };
extern InspectView inspectView;
// Set: the magnifier follows the cursor (the I key flips it).
extern unsigned char magnifierShown;

// Whether "--inspect" is one of the command line's words.
bool commandLineAsksToInspect(const char* commandLine);
void handleInspectKey(WPARAM virtualKey);
// What the head-up line says of the view and the pause; null when neither is on.
const char* inspectionHeadUpText();
// Before anything is drawn: a frame in the depth or overdraw view keeps a record of its writes.
void startFrameRecord();
// After the scene: the view is painted over the viewport from that record.
void paintInspectedView(HDC dc);
// Before anything is drawn: the frame watches the asked pixels and the magnifier's; false when
// it watches none.
bool startPixelStories();
// No pixel asked: for resetProgramState.
void forgetAskedPixels();
// Last of all: the pixels around the cursor, magnified, and the story of the one under it.
void paintMagnifier(HDC dc);

// The stories of pixels: every write and refused write each receives in a frame. Asked pixels
// are watched in every frame from the next one on, and the magnifier watches the cursor's.
// False when maxAskedPixels are asked.
constexpr int maxAskedPixels = 64;
bool askPixelStory(int x, int y);
// The last frame's story of (x, y), or null when that frame did not watch it.
const WatchedPixel* lastPixelStory(int x, int y);
// One event as a line: "write object 1 triangle 4 depth 61.2345 #a0b0c0". Short, for the
// magnifier: "w o1 t4 z61.2345 #a0b0c0".
void describePixelEvent(const PixelEvent& event, bool shortly, char* text, int size);
// The back buffer's colour at (x, y) and the depth the buffer holds there:
// "final #a0b0c0 depth 500".
void describeFinalPixel(int x, int y, char* text, int size);

LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void setWindowTitle(HWND hwnd, const char* name);
void createEditFont(HWND edit);
void initFileDialog(HWND owner);
