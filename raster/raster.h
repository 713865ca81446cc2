// The rasterizers: lines and triangles written pixel by pixel into a device context, and the
// records they exchange.
#pragma once

#include "bitmap/nbitmap.h"
#include "platform/win32/win32.h"
#include "raster/float_to_int.h"

#include <vector>

// Channels run from 0 to 255 until the pixel is written. reserved is never read.
struct Colour {
    float r;
    float g;
    float b;
    float reserved;
};

// A vertex in window coordinates: column x from the left edge of the client area, row y
// from the top, growing downward. uq, vq and q are the texture coordinates multiplied by the
// perspective weight q, and the weight itself; the line rasterizer leaves them unused.
struct ScreenVertex {
    float x;
    float y;
    Colour colour;
    float uq;
    float vq;
    float q;
};

// The viewport rectangle, all four bounds inclusive. No rasterizer writes outside it.
constexpr int viewportLeft = 10;
constexpr int viewportRight = 470;
constexpr int viewportTop = 30;
constexpr int viewportBottom = 390;

// Packs the channels as a COLORREF, red in the low byte: each channel truncated toward zero,
// its low 8 bits kept (so -1 gives 255). A channel too large for an int, or NaN, gives 0.
// Inline: the triangle and line rasterizers call it for every pixel.
inline COLORREF packColour(Colour c) {
    return channelByte(c.r) | channelByte(c.g) << 8 | channelByte(c.b) << 16;
}

// Sets p's r, g and b from a's and b's by t = |p - a| / |b - a| (a ratio of distances, never
// negative), capping each channel at 255. When a and b coincide, p takes a's colour.
void interpolateColour(ScreenVertex a, ScreenVertex b, ScreenVertex* p);

// Draws the line from (x0, y0) in colour c0 to (x1, y1) in colour c1 with SetPixelV, both end
// points included, writing only pixels inside the viewport. Callers holding float positions
// truncate them toward zero first.
void drawLine(int x0, int y0, int x1, int y1, HDC dc, Colour c0, Colour c1);

// The texture the triangle rasterizer samples; the window fills it when it is created.
extern NBitmap textureBitmap;

// Depths of the last frame's pixels, smaller is nearer: the entry for column x and row y is at
// x * depthBufferRows + y, so one column's entries are contiguous. The frame renderer clears
// it; the triangle rasterizer reads and writes only entries inside the viewport.
constexpr int depthBufferColumns = 1000;
constexpr int depthBufferRows = 1000;
extern float DepthBuffer[depthBufferColumns * depthBufferRows];

// A pixel is drawn only when its depth is strictly greater than this.
extern const int nearDepth;
// The texel's weight in ShadeBlend.
extern const double blendFactor;

// How drawTriangle makes a pixel's colour from the texel and the interpolated colour.
enum ShadeMode : int {
    ShadeTexture = 0,
    ShadeBlend = 1,
    ShadeModulate = 2,
    ShadeColour = 3,
};

// What the rasterizers wrote into the viewport in one frame, for a look inside it: how many
// times each pixel was written (255 stands for 255 or more), and the depth of its last write,
// or noDepth when a line wrote it last. Pixel (x, y) is entry (y - viewportTop) *
// viewportColumns + (x - viewportLeft).
constexpr int viewportColumns = viewportRight - viewportLeft + 1;
constexpr int viewportRows = viewportBottom - viewportTop + 1;
constexpr float noDepth = -1.0f;
struct PixelWrites {
    unsigned char count[viewportColumns * viewportRows];
    float lastDepth[viewportColumns * viewportRows];
};

// Null unless someone looks inside the frame. While it is set, every pixel the rasterizers write
// is noted in it too; the rasterizers take a path of their own for that, so that a frame nobody
// inspects costs what it always did.
extern PixelWrites* pixelWrites;

// No pixel written yet.
void clearPixelWrites(PixelWrites* writes);
// Pixel (x, y), inside the viewport, was written at depth (noDepth for a line).
void notePixelWrite(PixelWrites* writes, int x, int y, float depth);

// What the rasterizers are drawing, for the story of a pixel. The rasterizers know only
// corners; the code that calls them says which object's triangle, or which line, it hands over,
// and only while pixelWrites is set.
enum DrawerKind {
    DrawnByObject,
    DrawnByClickTriangle,
    DrawnByWireframeEdge,
    DrawnByBorder,
    DrawnByRubberBand,
};
struct Drawer {
    DrawerKind kind;
    int object;    // 0 to 3, for an object's triangle and its wireframe edge
    int triangle;  // its index in the object's triangles
};
extern Drawer currentDrawer;

// One write, or one write the depth test refused (carrying the colour it would have written).
struct PixelEvent {
    bool refused;
    Drawer drawer;
    float depth;  // noDepth for a line
    COLORREF colour;
};

// The pixels whose stories are kept, every event each received in the frame in order. A pixel
// takes at most maxPixelEvents; the rest are only counted.
constexpr int maxWatchedPixels = 64;
constexpr int maxPixelEvents = 1000;
struct WatchedPixel {
    int x;
    int y;
    std::vector<PixelEvent> events;
    long uncounted;
};
struct PixelStories {
    int count;
    WatchedPixel pixels[maxWatchedPixels];
    // 0 for a pixel nobody watches, k + 1 for pixels[k]; entries as in PixelWrites.
    unsigned char slotOf[viewportColumns * viewportRows];
};

// Null unless some pixel's story is asked; read only while pixelWrites is set too.
extern PixelStories* pixelStories;

// No pixel watched.
void clearPixelStories(PixelStories* stories);
// Watches (x, y); its index in stories->pixels, the one it has when it is watched already, or
// -1 when maxWatchedPixels are. A pixel outside the viewport is watched but never written.
int watchPixel(PixelStories* stories, int x, int y);
// Every watched pixel's events are forgotten; the pixels stay watched.
void restartPixelStories(PixelStories* stories);
// (x, y) received a write, or a refused one, from currentDrawer.
void notePixelEvent(int x, int y, bool refused, float depth, COLORREF colour);

// The rasterizers' globals as a fresh process has them: no texture (its surface let go), no
// record of writes, the depth buffer zero.
void resetRaster();

// Fills the triangle a, b, c pixel by pixel with SetPixelV, testing and storing depths
// (depthA at a, and so on) in DepthBuffer, sampling textureBitmap perspective-correctly and
// combining texel and colour by mode (a ShadeMode; any other value stores depths only). Only
// pixels inside the viewport are written, and only when a corner lies strictly inside it.
void drawTriangle(ScreenVertex a, ScreenVertex b, ScreenVertex c, HDC dc, float depthA,
                  float depthB, float depthC, int mode);
