#include "raster/raster.h"

#include <algorithm>
#include <iterator>

Drawer currentDrawer;
PixelStories* pixelStories;

namespace {

bool insideViewport(int x, int y) {
    return x >= viewportLeft && x <= viewportRight && y >= viewportTop && y <= viewportBottom;
}

int entryOf(int x, int y) {
    return (y - viewportTop) * viewportColumns + (x - viewportLeft);
}

}  // namespace

void clearPixelStories(PixelStories* stories) {
    for (WatchedPixel& pixel : stories->pixels) {
        pixel = WatchedPixel{};
    }
    stories->count = 0;
    std::fill(std::begin(stories->slotOf), std::end(stories->slotOf), 0);
}

int watchPixel(PixelStories* stories, int x, int y) {
    for (int k = 0; k < stories->count; ++k) {
        if (stories->pixels[k].x == x && stories->pixels[k].y == y) {
            return k;
        }
    }
    if (stories->count == maxWatchedPixels) {
        return -1;
    }
    const int k = stories->count++;
    stories->pixels[k] = WatchedPixel{x, y, {}, 0};
    if (insideViewport(x, y)) {
        stories->slotOf[entryOf(x, y)] = (unsigned char)(k + 1);
    }
    return k;
}

void restartPixelStories(PixelStories* stories) {
    for (int k = 0; k < stories->count; ++k) {
        stories->pixels[k].events.clear();
        stories->pixels[k].uncounted = 0;
    }
}

void notePixelEvent(int x, int y, bool refused, float depth, COLORREF colour) {
    if (pixelStories == nullptr || !insideViewport(x, y)) {
        return;
    }
    const int slot = pixelStories->slotOf[entryOf(x, y)];
    if (slot == 0) {
        return;
    }
    WatchedPixel& pixel = pixelStories->pixels[slot - 1];
    if (pixel.events.size() < (size_t)maxPixelEvents) {
        pixel.events.push_back({refused, currentDrawer, depth, colour});
    } else {
        ++pixel.uncounted;
    }
}
