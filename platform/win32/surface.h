// Inside the shim: what the window side (USER) needs of the drawing side (GDI). The displays
// see its pixel view through backend.h; nothing outside platform/ includes this.
#pragma once

#include "platform/win32/win32.h"

#include <cstdint>

namespace shim {

// A bitmap's pixels as 32-bit values 0x00RRGGBB, top row first.
struct PixelView {
    const std::uint32_t* pixels;
    int width;
    int height;
    int stride;  // in pixels, from one row to the next row down
};

// A device context of the kind a window hands out: it draws into `surface`, a compatible
// bitmap that the window owns, and refuses to have another bitmap selected into it.
// Released with DeleteDC.
HDC createWindowDC(HBITMAP surface);

// The pixels of a compatible bitmap; false for anything else.
bool readBitmapPixels(HBITMAP bitmap, PixelView* view);

}  // namespace shim
