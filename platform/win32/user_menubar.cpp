#include "platform/win32/resources.h"
#include "platform/win32/surface.h"
#include "platform/win32/user_internal.h"

#include <algorithm>

namespace shim {

namespace {

constexpr int barPadding = 7;      // left and right of a title in the bar
constexpr int popupTextLeft = 20;  // where a popup keeps its check marks
constexpr int popupTextRight = 20;
constexpr int popupBorder = 3;

struct Canvas {
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ previous;
};

Canvas openCanvas(int width, int height) {
    HDC display = CreateDCA("Display", NULL, NULL, NULL);
    Canvas canvas;
    canvas.dc = CreateCompatibleDC(display);
    canvas.bitmap = CreateCompatibleBitmap(display, width, height);
    canvas.previous = SelectObject(canvas.dc, canvas.bitmap);
    DeleteDC(display);
    return canvas;
}

HBITMAP closeCanvas(Canvas canvas) {
    SelectObject(canvas.dc, canvas.previous);
    DeleteDC(canvas.dc);
    return canvas.bitmap;
}

void fill(HDC dc, RECT rect, int stockBrush) {
    FillRect(dc, &rect, (HBRUSH)GetStockObject(stockBrush));
}

void frame(HDC dc, RECT r) {
    fill(dc, {r.left, r.top, r.right, r.top + 1}, BLACK_BRUSH);
    fill(dc, {r.left, r.bottom - 1, r.right, r.bottom}, BLACK_BRUSH);
    fill(dc, {r.left, r.top, r.left + 1, r.bottom}, BLACK_BRUSH);
    fill(dc, {r.right - 1, r.top, r.right, r.bottom}, BLACK_BRUSH);
}

// TextOutA paints an opaque white cell behind the text, so on black the cell shows the
// extent of the text in the default font, whatever font that is.
void measureText(const std::string& text, int* width, int* height) {
    const int canvasWidth = 16 * (int)text.size() + 16, canvasHeight = 64;
    Canvas canvas = openCanvas(canvasWidth, canvasHeight);
    fill(canvas.dc, {0, 0, canvasWidth, canvasHeight}, BLACK_BRUSH);
    TextOutA(canvas.dc, 0, 0, text.c_str(), (int)text.size());
    HBITMAP bitmap = closeCanvas(canvas);
    *width = *height = 0;
    PixelView view;
    if (readBitmapPixels(bitmap, &view)) {
        for (int y = 0; y < view.height; ++y) {
            for (int x = 0; x < view.width; ++x) {
                if (view.pixels[y * view.stride + x] != 0) {
                    *width = std::max(*width, x + 1);
                    *height = std::max(*height, y + 1);
                }
            }
        }
    }
    DeleteObject(bitmap);
}

int itemHeight(const MenuBar& bar) {
    return bar.textHeight + 4;
}

}  // namespace

bool buildMenuBar(WORD menuId, MenuBar* bar) {
    const std::vector<MenuResourceEntry>* items = findMenuResource(menuId);
    if (!items) {
        return false;
    }
    *bar = {};
    int x = 0;
    for (const MenuResourceEntry& item : *items) {
        int width, height;
        measureText(item.text, &width, &height);
        bar->textHeight = std::max(bar->textHeight, height);
        if (item.depth == 0) {
            bar->entries.push_back(
                {item.text, item.commandId, item.popup, x, x + width + 2 * barPadding, 0, {}});
            x = bar->entries.back().end;
        } else {
            MenuBarEntry& popup = bar->entries.back();
            popup.children.push_back({item.text, item.commandId, false, 0, 0, 0, {}});
            popup.popupWidth = std::max(popup.popupWidth, popupTextLeft + width + popupTextRight);
        }
    }
    for (MenuBarEntry& entry : bar->entries) {
        int y = popupBorder;
        for (MenuBarEntry& child : entry.children) {
            child.start = y;
            child.end = y += itemHeight(*bar);
        }
    }
    return true;
}

int menuBarEntryAt(const MenuBar& bar, int x) {
    for (size_t i = 0; i < bar.entries.size(); ++i) {
        if (x >= bar.entries[i].start && x < bar.entries[i].end) {
            return (int)i;
        }
    }
    return -1;
}

int popupHeight(const MenuBar& bar, int entry) {
    return 2 * popupBorder + (int)bar.entries[entry].children.size() * itemHeight(bar);
}

int popupItemAt(const MenuBar& bar, int entry, int x, int y) {
    const MenuBarEntry& popup = bar.entries[entry];
    if (x < 0 || x >= popup.popupWidth) {
        return -1;
    }
    for (size_t i = 0; i < popup.children.size(); ++i) {
        if (y >= popup.children[i].start && y < popup.children[i].end) {
            return (int)i;
        }
    }
    return -1;
}

HBITMAP drawMenuBar(const MenuBar& bar, int width, int openEntry) {
    Canvas canvas = openCanvas(std::max(width, 1), menuBarHeight);
    fill(canvas.dc, {0, 0, width, menuBarHeight}, WHITE_BRUSH);
    const int textTop = (menuBarHeight - bar.textHeight) / 2;
    for (size_t i = 0; i < bar.entries.size(); ++i) {
        const MenuBarEntry& entry = bar.entries[i];
        TextOutA(canvas.dc, entry.start + barPadding, textTop, entry.text.c_str(),
                 (int)entry.text.size());
        if ((int)i == openEntry) {
            frame(canvas.dc, {entry.start, 0, entry.end, menuBarHeight});
        }
    }
    return closeCanvas(canvas);
}

HBITMAP drawPopup(const MenuBar& bar, int entry, int hoveredItem) {
    const MenuBarEntry& popup = bar.entries[entry];
    const int height = popupHeight(bar, entry);
    Canvas canvas = openCanvas(popup.popupWidth, height);
    fill(canvas.dc, {0, 0, popup.popupWidth, height}, WHITE_BRUSH);
    frame(canvas.dc, {0, 0, popup.popupWidth, height});
    for (size_t i = 0; i < popup.children.size(); ++i) {
        const MenuBarEntry& item = popup.children[i];
        TextOutA(canvas.dc, popupTextLeft, item.start + 2, item.text.c_str(),
                 (int)item.text.size());
        if ((int)i == hoveredItem) {
            frame(canvas.dc, {2, item.start, popup.popupWidth - 2, item.end});
        }
    }
    return closeCanvas(canvas);
}

}  // namespace shim
