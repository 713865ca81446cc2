#include "render/render.h"

#include <climits>

// Window coordinates are truncated toward zero; values beyond the int range (a camera flown
// very far) are held at its ends instead of overflowing.
static int windowCoordinate(float value) {
    if (!(value > (float)INT_MIN)) {
        return INT_MIN;
    }
    if (!(value < (float)INT_MAX)) {
        return INT_MAX;
    }
    return (int)value;
}

static void drawEdge(ScreenVertex from, ScreenVertex to, HDC dc) {
    drawLine(windowCoordinate(from.x), windowCoordinate(from.y), windowCoordinate(to.x),
             windowCoordinate(to.y), dc, from.colour, to.colour);
}

// Lines have no depth test, so edges behind other faces show through.
void drawWireTriangle(ScreenVertex first, ScreenVertex second, ScreenVertex third, HDC dc) {
    drawEdge(first, second, dc);
    drawEdge(second, third, dc);
    drawEdge(third, first, dc);
}

void drawViewportBorder(HDC dc) {
    const Colour red = {255, 0, 0, 0};
    drawLine(viewportLeft, viewportTop, viewportRight, viewportTop, dc, red, red);
    drawLine(viewportLeft, viewportBottom, viewportRight, viewportBottom, dc, red, red);
    drawLine(viewportLeft, viewportTop, viewportLeft, viewportBottom, dc, red, red);
    drawLine(viewportRight, viewportTop, viewportRight, viewportBottom, dc, red, red);
}
