#include "raster/raster.h"

#include "bitmap/nbitmap.h"

// The texture the triangle rasterizer samples. It starts empty; the window fills it when it
// is created and destroys it when it goes away.
NBitmap textureBitmap;
