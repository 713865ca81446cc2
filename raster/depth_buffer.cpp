#include "raster/raster.h"

float DepthBuffer[depthBufferColumns * depthBufferRows];

const int nearDepth = 5;
const double blendFactor = 0.5;
