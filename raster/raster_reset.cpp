#include "raster/raster.h"

#include "bitmap/nbitmap.h"

#include <algorithm>
#include <iterator>

void resetRaster() {
    textureBitmap.destroy();
    textureBitmap.clear();
    pixelWrites = nullptr;
    pixelStories = nullptr;
    currentDrawer = {};
    std::fill(std::begin(DepthBuffer), std::end(DepthBuffer), 0.0f);
}
