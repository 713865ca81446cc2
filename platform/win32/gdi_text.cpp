// Text: the DC's defaults, which the program never changes (black on an opaque white
// background), drawn with one embedded bitmap font whatever font is selected.
#include "platform/win32/gdi_internal.h"

#include <algorithm>

namespace shim::gdi {
namespace {

#include "platform/win32/gdi_font.inc"

// One character cell: every pixel is written, the glyph's in the text colour and the rest in
// the background colour, clipped to the surface.
void drawCell(const Surface& surface, std::int64_t left, int top, unsigned char code,
              std::uint32_t ink, std::uint32_t paper) {
    const unsigned char* glyph = fontGlyphs[code];
    for (int row = 0; row < fontCellHeight; ++row) {
        const std::int64_t y = std::int64_t{top} + row;
        if (y < 0 || y >= surface.height) {
            continue;
        }
        for (int column = 0; column < fontCellWidth; ++column) {
            const std::int64_t x = left + column;
            if (x >= 0 && x < surface.width) {
                const bool set = glyph[row] & (0x80 >> column);
                putPixel(surface, static_cast<int>(x), static_cast<int>(y), set ? ink : paper);
            }
        }
    }
}

}  // namespace
}  // namespace shim::gdi

using namespace shim::gdi;

BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length) {
    const Dc* d = findDc(dc);
    if (!d || length < 0 || (length > 0 && !text)) {
        return FALSE;
    }
    const Surface& surface = d->surface;
    const std::uint32_t ink = encodePixel(surface, RGB(0, 0, 0));
    const std::uint32_t paper = encodePixel(surface, RGB(255, 255, 255));
    // Only the cells that can touch the surface are drawn, however long the text.
    int first = 0;
    if (x < 0) {
        first = static_cast<int>(std::min<std::int64_t>(-std::int64_t{x} / fontCellWidth, length));
    }
    for (int i = first; i < length; ++i) {
        const std::int64_t left = x + std::int64_t{i} * fontCellWidth;
        if (left >= surface.width) {
            break;
        }
        drawCell(surface, left, y, static_cast<unsigned char>(text[i]), ink, paper);
    }
    return TRUE;
}
