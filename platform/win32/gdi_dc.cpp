// Device contexts: memory DCs, the display DC, window DCs; what is selected into them; map modes.
#include "platform/win32/gdi_internal.h"
#include "platform/win32/surface.h"

#include <algorithm>
#include <cctype>

namespace shim::gdi {

DcTable dcTable;

namespace {

bool isDisplayDriver(LPCSTR driver) {
    const char* expected = "display";
    for (; *driver && *expected; ++driver, ++expected) {
        if (std::tolower(static_cast<unsigned char>(*driver)) != *expected) {
            return false;
        }
    }
    return *driver == '\0' && *expected == '\0';
}

int unitsPerInch(int mapMode) {
    switch (mapMode) {
        case MM_LOMETRIC:
        case MM_ISOTROPIC:
            return 254;
        case MM_HIMETRIC:
            return 2540;
        case MM_LOENGLISH:
            return 100;
        case MM_HIENGLISH:
            return 1000;
        case MM_TWIPS:
            return 1440;
        default:
            return 96;
    }
}

// The display has 96 pixels an inch. GDI rounds to the nearest unit, halves upward.
LONG toLogical(LONG device, int units, bool flip) {
    const std::int64_t twice = 2 * std::int64_t{device} * units * (flip ? -1 : 1) + 96;
    std::int64_t logical = twice / 192;
    if (twice % 192 != 0 && twice < 0) {
        --logical;
    }
    return static_cast<LONG>(std::clamp<std::int64_t>(logical, INT32_MIN, INT32_MAX));
}

}  // namespace

HDC createDc(DcKind kind, HGDIOBJ bitmap) {
    ensureStockObjects();
    void* handle;
    Dc* added = dcTable.add(&handle);
    if (!added) {
        return nullptr;
    }
    Dc& dc = *added;
    dc.kind = kind;
    dc.bitmap = bitmap;
    dc.brush = GetStockObject(WHITE_BRUSH);
    dc.font = GetStockObject(SYSTEM_FONT);
    dc.mapMode = MM_TEXT;
    dc.unitsPerInch = 96;
    for (HGDIOBJ held : {dc.bitmap, dc.brush, dc.font}) {
        holdObject(held);
    }
    if (const Bitmap* selected = findBitmap(bitmap)) {
        dc.surface = selected->surface;
    }
    return static_cast<HDC>(handle);
}

}  // namespace shim::gdi

using namespace shim::gdi;

HDC shim::createWindowDC(HBITMAP surface) {
    const GdiObject* object = findObject(surface);
    if (!object || object->kind != ObjectKind::Bitmap || object->deletePending ||
        object->bitmap->dibSection || object->bitmap->bitsPixel != 32) {
        return nullptr;
    }
    return createDc(DcKind::Window, surface);
}

// Only the display driver; it has no pixels of its own here, it is a parent for memory DCs.
HDC CreateDCA(LPCSTR driver, LPCSTR, LPCSTR, const void*) {
    if (!driver || !isDisplayDriver(driver)) {
        return nullptr;
    }
    return createDc(DcKind::Display, nullptr);
}

HDC CreateCompatibleDC(HDC dc) {
    if (dc && !findDc(dc)) {
        return nullptr;
    }
    return createDc(DcKind::Memory, stockBitmap());
}

BOOL DeleteDC(HDC dc) {
    const Dc* d = findDc(dc);
    if (!d) {
        return FALSE;
    }
    const HGDIOBJ held[] = {d->bitmap, d->brush, d->font};
    dcTable.remove(dc);
    for (HGDIOBJ object : held) {
        releaseObject(object);
    }
    return TRUE;
}

// A bitmap goes into a memory DC only, and into one DC at a time; the stock bitmap is shared.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    Dc* d = findDc(dc);
    GdiObject* selected = findObject(object);
    if (!d || !selected || selected->deletePending) {
        return nullptr;
    }
    HGDIOBJ* current = nullptr;
    switch (selected->kind) {
        case ObjectKind::Bitmap:
            if (d->kind != DcKind::Memory ||
                (d->bitmap != object && !selected->stock && selected->selections > 0)) {
                return nullptr;
            }
            current = &d->bitmap;
            break;
        case ObjectKind::Brush:
            current = &d->brush;
            break;
        case ObjectKind::Font:
            current = &d->font;
            break;
    }
    const HGDIOBJ previous = *current;
    if (previous == object) {
        return previous;
    }
    ++selected->selections;
    *current = object;
    if (selected->kind == ObjectKind::Bitmap) {
        d->surface = selected->bitmap->surface;
    }
    releaseObject(previous);
    return previous;
}

// The mode is kept and DPtoLP honours it; drawing calls take device coordinates in any mode,
// which is all the program needs (it never leaves MM_TEXT).
int SetMapMode(HDC dc, int mode) {
    Dc* d = findDc(dc);
    if (!d || mode < MM_TEXT || mode > MM_ANISOTROPIC) {
        return 0;
    }
    const int previous = d->mapMode;
    d->mapMode = mode;
    // MM_ANISOTROPIC keeps the scale it finds until extents are set, and nothing sets them.
    if (mode != MM_ANISOTROPIC) {
        d->unitsPerInch = unitsPerInch(mode);
        d->flipY = mode != MM_TEXT;
    }
    return previous;
}

int GetMapMode(HDC dc) {
    const Dc* d = findDc(dc);
    return d ? d->mapMode : 0;
}

BOOL DPtoLP(HDC dc, LPPOINT points, int count) {
    const Dc* d = findDc(dc);
    if (!d || (count > 0 && !points)) {
        return FALSE;
    }
    for (int i = 0; i < count; ++i) {
        points[i].x = toLogical(points[i].x, d->unitsPerInch, false);
        points[i].y = toLogical(points[i].y, d->unitsPerInch, d->flipY);
    }
    return TRUE;
}
