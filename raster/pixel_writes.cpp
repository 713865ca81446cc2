#include "raster/raster.h"

#include <algorithm>
#include <iterator>

PixelWrites* pixelWrites;

void clearPixelWrites(PixelWrites* writes) {
    std::fill(std::begin(writes->count), std::end(writes->count), 0);
    std::fill(std::begin(writes->lastDepth), std::end(writes->lastDepth), noDepth);
}

void notePixelWrite(PixelWrites* writes, int x, int y, float depth) {
    if (x < viewportLeft || x > viewportRight || y < viewportTop || y > viewportBottom) {
        return;
    }
    const int entry = (y - viewportTop) * viewportColumns + (x - viewportLeft);
    if (writes->count[entry] < 255) {
        writes->count[entry] += 1;
    }
    writes->lastDepth[entry] = depth;
}
