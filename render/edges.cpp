#include "render/render.h"

#include "raster/float_to_int.h"

static void drawEdge(ScreenVertex from, ScreenVertex to, HDC dc) {
    drawLine(windowCoordinate(from.x), windowCoordinate(from.y), windowCoordinate(to.x),
             windowCoordinate(to.y), dc, from.colour, to.colour);
}

// KEPT: wireframe edges have no depth test; back faces stay culled
// Lines have no depth test, so edges behind other faces show through.
void drawWireTriangle(ScreenVertex first, ScreenVertex second, ScreenVertex third, HDC dc) {
    drawEdge(first, second, dc);
    drawEdge(second, third, dc);
    drawEdge(third, first, dc);
}

void drawViewportBorder(HDC dc) {
    const Colour red = {255, 0, 0, 0};
    if (pixelWrites != nullptr) {
        currentDrawer = {DrawnByBorder, 0, 0};
    }
    drawLine(viewportLeft, viewportTop, viewportRight, viewportTop, dc, red, red);
    drawLine(viewportLeft, viewportBottom, viewportRight, viewportBottom, dc, red, red);
    drawLine(viewportLeft, viewportTop, viewportLeft, viewportBottom, dc, red, red);
    drawLine(viewportRight, viewportTop, viewportRight, viewportBottom, dc, red, red);
}
