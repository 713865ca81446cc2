// The magnifier, for a program started to inspect: the pixels around the cursor, magnified with
// a grid, in the viewport's corner away from the cursor, and below the viewport the story of
// the pixel under the cursor, as much of it as fits.
#include "app/app.h"

#include "raster/raster.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

const int cellsAcross = 11;  // odd: the cursor's pixel is the middle cell
const int cellPitch = 9;     // eight pixels of colour and one of grid
const int panelSize = cellsAcross * cellPitch + 1;
const int panelMargin = 4;
const COLORREF gridColour = RGB(90, 90, 90);
const COLORREF cursorCellColour = RGB(255, 214, 0);
// Where the frame has no pixel, left of or below the client area.
const COLORREF outsideColour = RGB(48, 48, 48);

const int storyLineHeight = 16;
const int eventsPerLine = 2;

struct Panel {
    int left;
    int top;
};

// The corner diagonally opposite the cursor's quarter of the viewport never holds the cursor.
Panel panelAwayFrom(int x, int y) {
    const int middleX = (viewportLeft + viewportRight) / 2;
    const int middleY = (viewportTop + viewportBottom) / 2;
    Panel panel;
    panel.left = x < middleX ? viewportRight - panelMargin - panelSize : viewportLeft + panelMargin;
    panel.top = y < middleY ? viewportBottom - panelMargin - panelSize : viewportTop + panelMargin;
    return panel;
}

void fillBox(HDC dc, int left, int top, int width, int height, COLORREF colour) {
    for (int y = top; y < top + height; ++y) {
        for (int x = left; x < left + width; ++x) {
            SetPixelV(dc, x, y, colour);
        }
    }
}

// Read whole before any cell is painted: the panel may cover pixels it shows.
void readCells(HDC dc, int x, int y, COLORREF cells[cellsAcross][cellsAcross]) {
    for (int row = 0; row < cellsAcross; ++row) {
        for (int column = 0; column < cellsAcross; ++column) {
            const COLORREF colour =
                GetPixel(dc, x + column - cellsAcross / 2, y + row - cellsAcross / 2);
            cells[row][column] = colour == CLR_INVALID ? outsideColour : colour;
        }
    }
}

void paintCells(HDC dc, const Panel& panel, const COLORREF cells[cellsAcross][cellsAcross]) {
    fillBox(dc, panel.left, panel.top, panelSize, panelSize, gridColour);
    const int middle = cellsAcross / 2;
    fillBox(dc, panel.left + middle * cellPitch, panel.top + middle * cellPitch, cellPitch + 1,
            cellPitch + 1, cursorCellColour);
    for (int row = 0; row < cellsAcross; ++row) {
        for (int column = 0; column < cellsAcross; ++column) {
            fillBox(dc, panel.left + column * cellPitch + 1, panel.top + row * cellPitch + 1,
                    cellPitch - 1, cellPitch - 1, cells[row][column]);
        }
    }
}

void writeStoryLine(HDC dc, int line, const char* text) {
    TextOutA(dc, viewportLeft, viewportBottom + 1 + line * storyLineHeight, text,
             (int)std::strlen(text));
}

// The first line names the pixel, its final colour and how many events it had; the lines
// below hold its last events, as many as fit.
void writeStory(HDC dc, int x, int y) {
    const int lines = (clientRect.bottom - viewportBottom - 1) / storyLineHeight;
    if (lines < 1) {
        return;
    }
    const WatchedPixel* story = lastPixelStory(x, y);
    const int events = story != nullptr ? (int)story->events.size() : 0;
    char final[64], text[160];
    describeFinalPixel(x, y, final, sizeof final);
    const int shown = std::min(events, (lines - 1) * eventsPerLine);
    if (events == 0) {
        std::snprintf(text, sizeof text, "(%d, %d) %s, no writes", x, y, final);
    } else {
        std::snprintf(text, sizeof text, "(%d, %d) %s, %d events%s", x, y, final, events,
                      shown < events ? ", the last:" : ":");
    }
    writeStoryLine(dc, 0, text);
    for (int k = 0; k < shown; k += eventsPerLine) {
        text[0] = '\0';
        for (int e = k; e < std::min(k + eventsPerLine, shown); ++e) {
            char event[64];
            describePixelEvent(story->events[events - shown + e], true, event, sizeof event);
            std::snprintf(text + std::strlen(text), sizeof text - std::strlen(text), "%s%s",
                          e > k ? "   " : "", event);
        }
        writeStoryLine(dc, 1 + k / eventsPerLine, text);
    }
}

}  // namespace

void paintMagnifier(HDC dc) {
    if (!inspecting || !magnifierShown) {
        return;
    }
    const int x = (int)mouseX;
    const int y = (int)mouseY;
    COLORREF cells[cellsAcross][cellsAcross];
    readCells(dc, x, y, cells);
    paintCells(dc, panelAwayFrom(x, y), cells);
    writeStory(dc, x, y);
}
