#include "app/app.h"

#include "raster/raster.h"
#include "render/render.h"

#include <cstdio>
#include <cstring>

// KEPT: the copy to the window is 50 rows taller than the back buffer
// Fifty rows more than the back buffer holds: the copy reaches past its bottom edge.
void copyBackBufferTo(HDC target) {
    BitBlt(target, 0, 0, clientRect.right, clientRect.bottom + 50, backBuffer.dc, 0, 0, SRCCOPY);
}

void drawHudLine(const char* text, int x) {
    TextOutA(backBuffer.dc, x, 10, text, (int)std::strlen(text));
}

// The rate is published once an interval of more than a second has closed; the difference is
// taken unsigned so that the tick count's wrap-around does not stall it.
static void countFrame() {
    frameCount += 1;
    if (GetTickCount() - fpsIntervalStart > 1000) {
        framesPerSecond = frameCount;
        frameCount = 0;
        fpsIntervalStart = GetTickCount();
    }
}

static void drawHud() {
    char rate[20];
    std::snprintf(rate, sizeof rate, "%d FPS", framesPerSecond);
    drawHudLine(rate, 10);
    drawHudLine("Press ESC to exit", 70);
    const char* inspection = inspectionHeadUpText();
    drawHudLine(inspection != nullptr ? inspection : "Press B to see texture bitmap", 200);
}

namespace {

// Cleared until the first frame, which starts the frame-rate interval.
bool frameLoopStarted;

}  // namespace

void resetFrameLoop() {
    frameLoopStarted = false;
}

void renderFrame() {
    if (!frameLoopStarted) {
        fpsIntervalStart = GetTickCount();
        frameLoopStarted = true;
    }
    windowDC = GetDC(mainWindow);
    startFrameRecord();
    FillRect(backBuffer.dc, &clientRect, (HBRUSH)GetStockObject(BLACK_BRUSH));
    countFrame();
    drawHud();
    // KEPT: the three-click triangle lies under the scene and meets last frame's depths
    drawRubberBand((int)mouseX, (int)mouseY);
    drawClickTriangle();
    // The scene covers what was drawn before it; the texture overlay lies on top.
    renderScene(backBuffer.dc);
    ClipCursor(cursorFree ? NULL : &cursorClipRect);
    paintInspectedView(backBuffer.dc);
    if (showTexture) {
        textureBitmap.draw(backBuffer.dc);
    }
    paintMagnifier(backBuffer.dc);
    copyBackBufferTo(windowDC);
    ReleaseDC(mainWindow, windowDC);
}
