// GDI objects: the handle table, the stock objects, and the calls that work on any object.
#include "platform/gdi_internal.h"

#include <algorithm>

namespace shim::gdi {

ObjectSlot objectSlots[maxObjects];

namespace {

std::uint32_t objectsUsed;      // slots ever handed out; those above are untouched
std::uint32_t firstFreeObject;  // 1 + index of the first freed slot, 0 for none

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

HGDIOBJ handleOf(const ObjectSlot* slot) {
    return reinterpret_cast<HGDIOBJ>(
        makeHandle(slot->generation, objectTag, static_cast<std::uint32_t>(slot - objectSlots)));
}

HGDIOBJ makeStock(ObjectKind kind, ObjectSlot** slot) {
    HGDIOBJ handle = allocateObject(kind, slot);
    (*slot)->stock = true;
    return handle;
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

HGDIOBJ allocateObject(ObjectKind kind, ObjectSlot** slot) {
    ensureStockObjects();
    *slot = nullptr;
    std::uint32_t index;
    if (firstFreeObject != 0) {
        index = firstFreeObject - 1;
        firstFreeObject = objectSlots[index].nextFree;
    } else if (objectsUsed < maxObjects) {
        index = objectsUsed++;
    } else {
        return nullptr;
    }
    ObjectSlot& s = objectSlots[index];
    const std::uint32_t generation = s.generation == 0 ? 1 : s.generation;
    s = ObjectSlot{};
    s.generation = generation;
    s.kind = kind;
    *slot = &s;
    return handleOf(&s);
}

void freeObject(ObjectSlot* slot) {
    if (slot->kind == ObjectKind::Bitmap) {
        destroyBitmap(slot->bitmap);
    }
    const std::uint32_t generation = slot->generation + 1;
    *slot = ObjectSlot{};
    slot->generation = generation == 0 ? 1 : generation;
    slot->nextFree = firstFreeObject;
    firstFreeObject = static_cast<std::uint32_t>(slot - objectSlots) + 1;
}

void holdObject(HGDIOBJ handle) {
    if (ObjectSlot* slot = findObject(handle)) {
        ++slot->selections;
    }
}

// A DC lets go of an object; one whose deletion was asked for goes now that nothing holds it.
void releaseObject(HGDIOBJ handle) {
    ObjectSlot* slot = findObject(handle);
    if (!slot) {
        return;
    }
    --slot->selections;
    if (slot->selections == 0 && slot->deletePending) {
        freeObject(slot);
    }
}

// The stock objects take the first slots, before anything else can fill the table.
void ensureStockObjects() {
    static bool made = false;
    if (made) {
        return;
    }
    made = true;
    ObjectSlot* slot;
    for (int i = 0; i < stockBrushCount; ++i) {
        stockBrushes[i] = makeStock(ObjectKind::Brush, &slot);
        slot->brushColour = stockBrushColours[i];
        slot->hollowBrush = i == nullBrush;
    }
    systemFont = makeStock(ObjectKind::Font, &slot);
    slot->font = systemFontDescription();
    makeMonoBitmap();
    defaultBitmap = makeStock(ObjectKind::Bitmap, &slot);
    slot->bitmap = &monoBitmap;
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
BOOL DeleteObject(HGDIOBJ object) {
    ObjectSlot* slot = findObject(object);
    if (!slot) {
        return DeleteDC(static_cast<HDC>(object));
    }
    if (slot->stock) {
        return TRUE;
    }
    if (slot->selections > 0) {
        slot->deletePending = true;
    } else {
        freeObject(slot);
    }
    return TRUE;
}

int GetObjectA(HGDIOBJ object, int size, LPVOID buffer) {
    const ObjectSlot* slot = findObject(object);
    if (!slot) {
        return 0;
    }
    switch (slot->kind) {
        case ObjectKind::Bitmap:
            return describeBitmap(*slot->bitmap, size, buffer);
        case ObjectKind::Font: {
            if (!buffer) {
                return sizeof(LOGFONTA);
            }
            const int count = std::clamp(size, 0, static_cast<int>(sizeof(LOGFONTA)));
            std::memcpy(buffer, &slot->font, count);
            return count;
        }
        case ObjectKind::Brush:
        case ObjectKind::Free:
            break;
    }
    return 0;
}

// A font is only its description: text is always drawn with the one embedded font.
HFONT CreateFontIndirectA(const LOGFONTA* font) {
    if (!font) {
        return nullptr;
    }
    ObjectSlot* slot;
    HGDIOBJ handle = allocateObject(ObjectKind::Font, &slot);
    if (handle) {
        slot->font = *font;
        slot->font.lfFaceName[LF_FACESIZE - 1] = '\0';
    }
    return static_cast<HFONT>(handle);
}
