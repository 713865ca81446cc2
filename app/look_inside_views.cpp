// The depth and overdraw views: while one is shown, the rasterizers note every pixel they write
// in the frame's record, and once the scene is drawn the record is painted over the viewport.
#include "app/app.h"

#include "raster/raster.h"

#include <cstdio>
#include <cstring>

namespace {

PixelWrites frameWrites;

// The farthest depth's grey: far stays apart from the black where nothing was drawn.
const int farGrey = 40;

// Black, then from cold to hot; the last stands for that many writes or more.
const COLORREF heatColours[] = {RGB(0, 0, 0),     RGB(30, 40, 170),  RGB(0, 150, 255),
                                RGB(0, 200, 90),  RGB(230, 220, 0),  RGB(255, 130, 0),
                                RGB(230, 20, 20), RGB(255, 255, 255)};
const int hottest = sizeof heatColours / sizeof heatColours[0] - 1;

struct DepthRange {
    float nearest;
    float farthest;
};

// Over the pixels a triangle wrote last; lines carry no depth. False when there are none.
bool depthRangeOf(const PixelWrites& writes, DepthRange* range) {
    bool any = false;
    for (float depth : writes.lastDepth) {
        if (depth == noDepth) {
            continue;
        }
        if (!any || depth < range->nearest) {
            range->nearest = depth;
        }
        if (!any || depth > range->farthest) {
            range->farthest = depth;
        }
        any = true;
    }
    return any;
}

// Near light, far dark: the frame's own range spans the greys from 255 down to farGrey.
COLORREF depthGrey(float depth, const DepthRange& range) {
    const double span = (double)range.farthest - range.nearest;
    const double share = span > 0 ? ((double)range.farthest - depth) / span : 1.0;
    const int grey = farGrey + (int)(share * (255 - farGrey));
    return RGB(grey, grey, grey);
}

// A pixel that a line wrote last keeps its colour, so wireframe edges, the border and the
// rubber band stay as they are drawn.
void paintDepth(HDC dc, const PixelWrites& writes) {
    DepthRange range = {};
    if (!depthRangeOf(writes, &range)) {
        return;
    }
    for (int y = viewportTop; y <= viewportBottom; ++y) {
        const int row = (y - viewportTop) * viewportColumns;
        for (int x = viewportLeft; x <= viewportRight; ++x) {
            const float depth = writes.lastDepth[row + x - viewportLeft];
            if (depth != noDepth) {
                SetPixelV(dc, x, y, depthGrey(depth, range));
            }
        }
    }
}

COLORREF heatColour(int count) {
    return heatColours[count < hottest ? count : hottest];
}

// Below the viewport: a swatch of each colour with its count, the last one "or more".
void paintOverdrawLegend(HDC dc) {
    const int top = viewportBottom + 3;
    for (int count = 1; count <= hottest; ++count) {
        const int left = viewportLeft + (count - 1) * 48;
        for (int y = top + 1; y < top + 12; ++y) {
            for (int x = left; x < left + 14; ++x) {
                SetPixelV(dc, x, y, heatColour(count));
            }
        }
        char label[8];
        std::snprintf(label, sizeof label, count < hottest ? "%d" : "%d+", count);
        TextOutA(dc, left + 17, top, label, (int)std::strlen(label));
    }
}

void paintOverdraw(HDC dc, const PixelWrites& writes) {
    for (int y = viewportTop; y <= viewportBottom; ++y) {
        const int row = (y - viewportTop) * viewportColumns;
        for (int x = viewportLeft; x <= viewportRight; ++x) {
            const int count = writes.count[row + x - viewportLeft];
            if (count > 0) {
                SetPixelV(dc, x, y, heatColour(count));
            }
        }
    }
    paintOverdrawLegend(dc);
}

}  // namespace

void startFrameRecord() {
    const bool storiesWatched = startPixelStories();
    if (inspectView == ColourView && !storiesWatched) {
        pixelWrites = nullptr;
        return;
    }
    clearPixelWrites(&frameWrites);
    pixelWrites = &frameWrites;
}

void paintInspectedView(HDC dc) {
    if (pixelWrites == nullptr) {
        return;
    }
    if (inspectView == DepthView) {
        paintDepth(dc, *pixelWrites);
    } else if (inspectView == OverdrawView) {
        paintOverdraw(dc, *pixelWrites);
    }
}
