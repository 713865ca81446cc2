// The application shell: start-up, the window and its procedure, the frame loop.
#pragma once

#include "platform/win32.h"

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
// Handles messages and renders a frame whenever none waits, until WM_QUIT; returns its wParam.
int runMessageLoop();
// Draws one frame into the back buffer and copies it to the window.
void renderFrame();

void drawHudLine(const char* text, int x);

LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void setWindowTitle(HWND hwnd, const char* name);
void createEditFont(HWND edit);
void initFileDialog(HWND owner);
