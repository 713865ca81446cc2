// GDI objects: the handle table, the stock objects, and the calls that work on any object.
#include "platform/win32/gdi_internal.h"

#include <algorithm>

namespace shim::gdi {

ObjectTable objectTable;

namespace {

constexpr int stockBrushCount = 6;
constexpr int nullBrush = 5;
const COLORREF stockBrushColours[stockBrushCount] = {
    RGB(255, 255, 255), RGB(192, 192, 192), RGB(128, 128, 128),
    RGB(64, 64, 64),    RGB(0, 0, 0),       RGB(0, 0, 0),
};

HGDIOBJ stockBrushes[stockBrushCount];
HGDIOBJ systemFont;
HGDIOBJ defaultBitmap;

// The 1 x 1 monochrome bitmap every new memory DC holds; all of them share it.
Bitmap monoBitmap;
std::uint32_t monoPixel;

HGDIOBJ makeStock(ObjectKind kind, GdiObject** object) {
    HGDIOBJ handle = allocateObject(kind, object);
    (*object)->stock = true;
    return handle;
}

void freeObject(HGDIOBJ handle, GdiObject* object) {
    if (object->kind == ObjectKind::Bitmap) {
        destroyBitmap(object->bitmap);
    }
    objectTable.remove(handle);
}

void makeMonoBitmap() {
    monoBitmap.memory = &monoPixel;
    monoBitmap.rowBytes = 2;
    monoBitmap.bitsPixel = 1;
    monoBitmap.colours[1] = RGBQUAD{255, 255, 255, 0};
    Surface& surface = monoBitmap.surface;
    surface.top = reinterpret_cast<std::uint8_t*>(&monoPixel);
    surface.stride = 4;
    surface.width = 1;
    surface.height = 1;
    surface.format = PixelFormat::Indexed8;
    surface.palette = monoBitmap.colours;
    surface.paletteSize = 2;
}

// What GDI reports for its own System font; the program copies it for the edit control.
LOGFONTA systemFontDescription() {
    LOGFONTA font{};
    font.lfHeight = 16;
    font.lfWidth = 7;
    font.lfWeight = 700;
    font.lfPitchAndFamily = 0x22;  // variable pitch, Swiss
    std::strcpy(font.lfFaceName, "System");
    return font;
}

}  // namespace

HGDIOBJ allocateObject(ObjectKind kind, GdiObject** object) {
    ensureStockObjects();
    void* handle;
    *object = objectTable.add(&handle);
    if (*object) {
        (*object)->kind = kind;
    }
    return static_cast<HGDIOBJ>(handle);
}

void holdObject(HGDIOBJ handle) {
    if (GdiObject* object = findObject(handle)) {
        ++object->selections;
    }
}

// A DC lets go of an object; one whose deletion was asked for goes now that nothing holds it.
void releaseObject(HGDIOBJ handle) {
    GdiObject* object = findObject(handle);
    if (!object) {
        return;
    }
    --object->selections;
    if (object->selections == 0 && object->deletePending) {
        freeObject(handle, object);
    }
}

// The stock objects take the first slots, before anything else can fill the table.
void ensureStockObjects() {
    static bool made = false;
    if (made) {
        return;
    }
    made = true;
    GdiObject* object;
    for (int i = 0; i < stockBrushCount; ++i) {
        stockBrushes[i] = makeStock(ObjectKind::Brush, &object);
        object->brushColour = stockBrushColours[i];
        object->hollowBrush = i == nullBrush;
    }
    systemFont = makeStock(ObjectKind::Font, &object);
    object->font = systemFontDescription();
    makeMonoBitmap();
    defaultBitmap = makeStock(ObjectKind::Bitmap, &object);
    object->bitmap = &monoBitmap;
}

HGDIOBJ stockBitmap() {
    ensureStockObjects();
    return defaultBitmap;
}

}  // namespace shim::gdi

using namespace shim::gdi;

HGDIOBJ GetStockObject(int index) {
    ensureStockObjects();
    if (index >= 0 && index < stockBrushCount) {
        return stockBrushes[index];
    }
    return index == SYSTEM_FONT ? systemFont : nullptr;
}

// GDI keeps an object that a DC still holds until the DC lets go of it, and says TRUE now.
BOOL DeleteObject(HGDIOBJ handle) {
    GdiObject* object = findObject(handle);
    if (!object) {
        return DeleteDC(static_cast<HDC>(handle));
    }
    if (object->stock) {
        return TRUE;
    }
    if (object->selections > 0) {
        object->deletePending = true;
    } else {
        freeObject(handle, object);
    }
    return TRUE;
}

int GetObjectA(HGDIOBJ handle, int size, LPVOID buffer) {
    const GdiObject* object = findObject(handle);
    if (!object) {
        return 0;
    }
    switch (object->kind) {
        case ObjectKind::Bitmap:
            return describeBitmap(*object->bitmap, size, buffer);
        case ObjectKind::Font: {
            if (!buffer) {
                return sizeof(LOGFONTA);
            }
            const int count = std::clamp(size, 0, static_cast<int>(sizeof(LOGFONTA)));
            std::memcpy(buffer, &object->font, count);
            return count;
        }
        case ObjectKind::Brush:
            break;
    }
    return 0;
}

// A font is only its description: text is always drawn with the one embedded font.
HFONT CreateFontIndirectA(const LOGFONTA* font) {
    if (!font) {
        return nullptr;
    }
    GdiObject* object;
    HGDIOBJ handle = allocateObject(ObjectKind::Font, &object);
    if (handle) {
        object->font = *font;
        object->font.lfFaceName[LF_FACESIZE - 1] = '\0';
    }
    return static_cast<HFONT>(handle);
}
