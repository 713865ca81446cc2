// The stories of single pixels: which pixels a frame watches, and their events as text for the
// capture tool and the magnifier.
#include "app/app.h"

#include "raster/raster.h"

#include <cstdio>

namespace {

PixelStories frameStories;
int askedCount;
int askedX[maxAskedPixels];
int askedY[maxAskedPixels];

// "object 1 triangle 4", or "o1 t4" shortly.
void describeDrawer(const Drawer& drawer, bool shortly, char* text, int size) {
    const char* format = "%s";
    const char* name = "";
    switch (drawer.kind) {
        case DrawnByObject:
            format = shortly ? "o%d t%d" : "object %d triangle %d";
            break;
        case DrawnByWireframeEdge:
            format = shortly ? "edge o%d t%d" : "wireframe edge of object %d triangle %d";
            break;
        case DrawnByClickTriangle:
            name = shortly ? "click" : "three-click triangle";
            break;
        case DrawnByBorder:
            name = "border";
            break;
        case DrawnByRubberBand:
            name = shortly ? "band" : "rubber band";
            break;
    }
    if (drawer.kind == DrawnByObject || drawer.kind == DrawnByWireframeEdge) {
        std::snprintf(text, size, format, drawer.object, drawer.triangle);
    } else {
        std::snprintf(text, size, format, name);
    }
}

// Red is the low byte of a COLORREF.
void describeColour(COLORREF colour, char* text, int size) {
    std::snprintf(text, size, "#%02x%02x%02x", (unsigned)(colour & 0xff),
                  (unsigned)(colour >> 8 & 0xff), (unsigned)(colour >> 16 & 0xff));
}

}  // namespace

bool askPixelStory(int x, int y) {
    if (askedCount == maxAskedPixels) {
        return false;
    }
    askedX[askedCount] = x;
    askedY[askedCount] = y;
    ++askedCount;
    return true;
}

void forgetAskedPixels() {
    askedCount = 0;
}

bool startPixelStories() {
    const bool magnifying = inspecting && magnifierShown;
    if (askedCount == 0 && !magnifying) {
        pixelStories = nullptr;
        return false;
    }
    clearPixelStories(&frameStories);
    for (int k = 0; k < askedCount; ++k) {
        watchPixel(&frameStories, askedX[k], askedY[k]);
    }
    if (magnifying) {
        watchPixel(&frameStories, (int)mouseX, (int)mouseY);
    }
    pixelStories = &frameStories;
    return true;
}

const WatchedPixel* lastPixelStory(int x, int y) {
    if (pixelStories == nullptr) {
        return nullptr;
    }
    for (int k = 0; k < frameStories.count; ++k) {
        if (frameStories.pixels[k].x == x && frameStories.pixels[k].y == y) {
            return &frameStories.pixels[k];
        }
    }
    return nullptr;
}

// Depths print in full, so that a refused write's depth can be told from the one it lost to.
void describePixelEvent(const PixelEvent& event, bool shortly, char* text, int size) {
    char drawer[64], depth[32], colour[8];
    describeDrawer(event.drawer, shortly, drawer, sizeof drawer);
    if (event.depth == noDepth) {
        std::snprintf(depth, sizeof depth, shortly ? "z-" : "depth none");
    } else {
        std::snprintf(depth, sizeof depth, shortly ? "z%.6g" : "depth %.9g", event.depth);
    }
    describeColour(event.colour, colour, sizeof colour);
    const char* kind = event.refused ? (shortly ? "r" : "refused") : (shortly ? "w" : "write");
    std::snprintf(text, size, "%s %s %s %s", kind, drawer, depth, colour);
}

void describeFinalPixel(int x, int y, char* text, int size) {
    char colour[8];
    describeColour(GetPixel(backBuffer.dc, x, y), colour, sizeof colour);
    if (x >= 0 && x < depthBufferColumns && y >= 0 && y < depthBufferRows) {
        std::snprintf(text, size, "final %s depth %.9g", colour,
                      DepthBuffer[x * depthBufferRows + y]);
    } else {
        std::snprintf(text, size, "final %s", colour);
    }
}
