// The user's triangle: three left clicks place its corners; between clicks, lines from the
// corners placed so far follow the cursor.
#include "app/app.h"

#include "raster/raster.h"

void setClickColours() {
    clickVertex[0].colour = {255, 0, 0, 0};
    clickVertex[1].colour = {0, 255, 0, 0};
    clickVertex[2].colour = {0, 0, 255, 0};
}

void placeTriangleVertex(int x, int y) {
    if (triangleReady) {
        clickVertex[0].x = (float)x;
        clickVertex[0].y = (float)y;
        triangleReady = 0;
        awaitingSecondClick = 1;
        awaitingThirdClick = 0;
    } else if (awaitingSecondClick) {
        clickVertex[1].x = (float)x;
        clickVertex[1].y = (float)y;
        triangleReady = 0;
        awaitingSecondClick = 0;
        awaitingThirdClick = 1;
    } else if (awaitingThirdClick) {
        clickVertex[2].x = (float)x;
        clickVertex[2].y = (float)y;
        triangleReady = 1;
        awaitingSecondClick = 0;
        awaitingThirdClick = 0;
        noTriangleYet = 0;
    }
}

static void drawClickLine(int from, int toX, int toY, Colour toColour) {
    drawLine((int)clickVertex[from].x, (int)clickVertex[from].y, toX, toY, backBuffer.dc,
             clickVertex[from].colour, toColour);
}

// Where lines share pixels, the later one wins.
void drawRubberBand(int x, int y) {
    if (pixelWrites != nullptr) {
        currentDrawer = {DrawnByRubberBand, 0, 0};
    }
    if (awaitingSecondClick) {
        drawClickLine(0, x, y, clickVertex[1].colour);
    } else if (awaitingThirdClick) {
        drawClickLine(0, (int)clickVertex[1].x, (int)clickVertex[1].y, clickVertex[1].colour);
        drawClickLine(1, x, y, clickVertex[2].colour);
        drawClickLine(0, x, y, clickVertex[2].colour);
    }
}

// KEPT: the three-click triangle lies under the scene and meets last frame's depths
// Drawn before the scene, so it is depth-tested against what the previous frame left.
void drawClickTriangle() {
    if (triangleReady && !noTriangleYet) {
        if (pixelWrites != nullptr) {
            currentDrawer = {DrawnByClickTriangle, 0, 0};
        }
        drawTriangle(clickVertex[0], clickVertex[1], clickVertex[2], backBuffer.dc, 100.0f, 100.0f,
                     100.0f, ShadeColour);
    }
}
