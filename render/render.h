// The frame renderer: the road of every scene triangle from model space to the rasterizers.
#pragma once

#include "platform/win32/win32.h"
#include "raster/raster.h"

// Set: triangles are drawn as their three edges instead of filled (the F key flips it).
extern unsigned char wireframeMode;
// The light's orbit per animation step, in radians, and the uniform size of every cube.
extern double orbitStep;
extern int objectScale;
// Set: the clock no longer advances the animation; only advanceAnimation moves it on.
extern unsigned char animationPaused;

// One step of the animation: the cubes turn and the light cube circles on. The clock takes one
// every frame that begins more than 10 ms after the last.
void advanceAnimation();

// Draws the scene and the viewport border into dc, advancing the animation when it is due.
void renderScene(HDC dc);
void drawWireTriangle(ScreenVertex first, ScreenVertex second, ScreenVertex third, HDC dc);
void drawViewportBorder(HDC dc);

// The renderer as a fresh process has it: filled triangles, the animation running, and its
// clock not yet started.
void resetRenderer();
