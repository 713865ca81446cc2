// The browser display: the main window's menu bar with its client area below goes to the
// page's canvas once a frame, and what the page reports (keys, pointer, buttons) becomes the
// messages the SDL backend posts. The program's own loop keeps running: when it has rendered a
// frame, the next PeekMessageA shows the frame and sleeps until the browser's next animation
// frame (Asyncify unwinds the stack to the browser and rewinds it afterwards).
//
// The page's side is platform/display/web/display.js; it queues what the user does until the next
// frame reads it.
#include "platform/display/display.h"

#include "platform/display/display_input.h"
#include "platform/win32/backend.h"

#include <emscripten.h>
#ifdef __wasm_simd128__
#include <wasm_simd128.h>
#endif

#include <algorithm>
#include <cstdint>

namespace shim {

namespace {

struct WebDisplay : DisplayInput {
    bool visible;
    int width, height;  // the canvas: the client area and the bar above it
    std::string title;
    int captureShown;                  // as the page was last told: 1 captured, 0 free, -1 not yet
    std::vector<std::uint32_t> frame;  // RGBA, as the canvas takes it
};

struct FramePacing {
    WebPacing asked;
    bool frameRendered;  // the loop ran out of messages, so it has rendered since
    int framesShown;
    bool finished;      // all the frames the run asked for are shown
    int preparedFrame;  // the frame the caller has been told of
};

WebDisplay web;
FramePacing pacing;

// clang-format off
EM_JS(void, pageSetTitle, (const char* title), { Module.display.setTitle(UTF8ToString(title)); });
EM_JS(void, pageShowFrame, (const void* rgba, int width, int height, int bar, int menuOpen), {
    Module.display.showFrame(HEAPU8.subarray(rgba, rgba + width * height * 4), width, height,
                             bar, menuOpen != 0);
});
EM_JS(void, pageSetCapture, (int captured, int hidden),
      { Module.display.setCapture(captured != 0, hidden != 0); });
EM_JS(int, pageNextEvent, (int* fields), {
    const event = Module.display.nextEvent();
    if (!event) {
        return 0;
    }
    HEAP32[fields >> 2] = event[1] || 0;
    HEAP32[(fields >> 2) + 1] = event[2] || 0;
    return event[0];
});
EM_JS(void, pageMessageBox, (const char* caption, const char* text),
      { alert(UTF8ToString(caption) + "\n\n" + UTF8ToString(text)); });
EM_ASYNC_JS(void, waitForAnimationFrame, (),
            { await new Promise(resolve => requestAnimationFrame(resolve)); });
// clang-format on

// What the page queues; platform/display/web/display.js uses the same numbers.
enum PageEvent {
    noEvent,
    keyDown,      // virtual key, repeating
    keyUp,        // virtual key
    pointerAt,    // x, y on the canvas
    pointerBy,    // dx, dy while the pointer is locked
    buttonDown,   // x, y on the canvas; -1, -1 while locked
    buttonUp,     // as buttonDown
    pageExposed,  // the canvas has to be drawn again
};

void closeDisplay() {
    forgetDisplayMenus(&web);
    web = {};
    web.openEntry = web.hoveredItem = -1;
    web.captureShown = -1;
}

// What the window side tells the display

void windowChanged(HWND hwnd) {
    RECT outer, client;
    if (!windowRects(hwnd, &outer, &client)) {
        return;
    }
    if (!web.hwnd) {
        bindDisplayInput(&web, hwnd);
    }
    if (hwnd != web.hwnd) {
        return;
    }
    const char* title = windowTitle(hwnd);
    if (web.title != title) {
        web.title = title;
        pageSetTitle(title);
    }
    web.visible = windowVisible(hwnd);
    web.dirty = true;
}

void windowDestroyed(HWND hwnd) {
    if (hwnd == web.hwnd) {
        closeDisplay();
    }
}

void surfaceDrawn(HWND hwnd) {
    if (hwnd == web.hwnd) {
        web.dirty = true;
    }
}

// A hidden, confined cursor is the page's locked pointer; the page takes the lock at the next
// click on the canvas, as browsers allow it only then.
void cursorChanged() {
    const CursorState& cursor = cursorState();
    const int captured = cursor.confined && cursor.displayCount < 0;
    if (captured != web.captureShown) {
        web.captureShown = captured;
        pageSetCapture(captured, cursor.displayCount < 0);
    }
}

// The page's pointer cannot be put anywhere: while locked it has no place, and while free it is
// the user's.
void cursorWarped() {}

bool showMessageBox(const char* caption, const char* text, UINT) {
    pageMessageBox(caption, text);
    return true;
}

// What the user does

// While the pointer is locked it moves the cursor by what it reports, so the program sees what
// a confined cursor that it re-centres would report.
void pointerMovedBy(int dx, int dy) {
    int x, y;
    const POINT position = cursorState().position;
    screenToDisplay(web, {position.x + dx, position.y + dy}, &x, &y);
    displayPointerMoved(&web, x, y);
}

void buttonChanged(int x, int y, bool down) {
    if (x < 0) {
        screenToDisplay(web, cursorState().position, &x, &y);
    }
    displayLeftButton(&web, x, y, down);
}

void readPageEvents() {
    int fields[2];
    while (int event = pageNextEvent(fields)) {
        switch (event) {
            case keyDown:
            case keyUp:
                displayKey(&web, (WPARAM)fields[0], event == keyDown, fields[1] != 0);
                break;
            case pointerAt:
                displayPointerMoved(&web, fields[0], fields[1]);
                break;
            case pointerBy:
                pointerMovedBy(fields[0], fields[1]);
                break;
            case buttonDown:
            case buttonUp:
                buttonChanged(fields[0], fields[1], event == buttonDown);
                break;
            case pageExposed:
                InvalidateRect(web.hwnd, NULL, FALSE);
                web.dirty = true;
                break;
            default:
                break;
        }
    }
}

// Showing what was drawn

// Win32's 0x00RRGGBB, which is B, G, R, unused in memory, as the canvas's R, G, B, A (opaque).
void toCanvasPixels(const std::uint32_t* source, std::uint32_t* target, int count) {
    int x = 0;
#ifdef __wasm_simd128__
    const v128_t opaque = wasm_i32x4_splat((int)0xFF000000u);
    for (; x + 4 <= count; x += 4) {
        const v128_t pixels = wasm_v128_load(source + x);
        const v128_t swapped = wasm_i8x16_shuffle(pixels, pixels, 2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8,
                                                  11, 14, 13, 12, 15);
        wasm_v128_store(target + x, wasm_v128_or(swapped, opaque));
    }
#endif
    for (; x < count; ++x) {
        const std::uint32_t pixel = source[x];
        target[x] =
            0xFF000000u | ((pixel & 0xFF) << 16) | (pixel & 0xFF00) | ((pixel >> 16) & 0xFF);
    }
}

// A bitmap's pixels; none for a bitmap that is not there.
PixelView bitmapView(HBITMAP bitmap) {
    PixelView view = {};
    if (!bitmap || !readBitmapPixels(bitmap, &view)) {
        view = {};
    }
    return view;
}

// The canvas rows from `top` to `bottom` show the pixels from `left`; whatever they do not
// cover is black. With `overlay`, only the pixels' own are written.
void paste(const PixelView& view, int left, int top, int bottom, bool overlay = false) {
    left = std::max(0, std::min(left, web.width));
    const int columns = std::max(0, std::min(view.width, web.width - left));
    for (int y = top; y < bottom; ++y) {
        std::uint32_t* row = &web.frame[(size_t)y * web.width];
        const int rowColumns = y - top < view.height ? columns : 0;
        if (rowColumns > 0) {
            toCanvasPixels(view.pixels + (size_t)(y - top) * view.stride, row + left, rowColumns);
        }
        if (!overlay) {
            std::fill(row, row + left, 0xFF000000u);
            std::fill(row + left + rowColumns, row + web.width, 0xFF000000u);
        }
    }
}

void present() {
    RECT outer, client;
    web.dirty = false;
    if (!windowRects(web.hwnd, &outer, &client) || !web.visible) {
        return;
    }
    const int bar = displayBarHeight(web);
    web.width = std::max(1, (int)(client.right - client.left));
    web.height = std::max(1, (int)(client.bottom - client.top) + bar);
    web.frame.resize((size_t)web.width * web.height);
    if (web.hasMenu) {
        redrawDisplayMenus(&web, web.width);
    }
    paste(bitmapView(web.hasMenu ? web.barBitmap : NULL), 0, 0, std::min(bar, web.height));
    PixelView surface = {};
    windowPixels(web.hwnd, &surface);
    paste(surface, 0, std::min(bar, web.height), web.height);
    if (web.hasMenu && web.openEntry >= 0) {
        paste(bitmapView(web.popupBitmap), displayPopupLeft(web), bar, web.height, true);
    }
    pageShowFrame(web.frame.data(), web.width, web.height, bar, web.openEntry >= 0);
}

// The frame that has just been rendered is shown and counted, the simulated clock moves on,
// and the browser has the thread until its next animation frame. Once the run has rendered
// all the frames it asked for, the program is told to quit and hears nothing more.
void finishFrame() {
    present();
    pacing.framesShown += 1;
    if (pacing.asked.msPerFrame >= 0) {
        advanceManualTicks((DWORD)pacing.asked.msPerFrame);
    }
    if (pacing.asked.frames > 0 && pacing.framesShown >= pacing.asked.frames) {
        PostQuitMessage(0);
        pacing.finished = true;
        return;
    }
    waitForAnimationFrame();
}

void prepareFrame() {
    if (pacing.preparedFrame == pacing.framesShown || !web.hwnd) {
        return;
    }
    pacing.preparedFrame = pacing.framesShown;
    if (pacing.asked.beforeFrame) {
        pacing.asked.beforeFrame(web.hwnd, pacing.framesShown);
    }
}

void pumpEvents() {
    if (pacing.frameRendered) {
        pacing.frameRendered = false;
        finishFrame();
    }
    if (pacing.finished) {
        return;
    }
    if (web.hwnd) {
        readPageEvents();
    }
    prepareFrame();
    if (web.dirty && pacing.framesShown == 0) {
        present();  // what start-up painted, until the first frame
    }
}

// PeekMessageA calls this when it has nothing to return: the loop renders next.
void loopIdle() {
    pacing.frameRendered = true;
}

void shutdown() {
    closeDisplay();
}

// The page on the machine's clock, or on the caller's: a scripted run's simulated milliseconds.
constexpr Backend webBackend(bool manualClock) {
    Backend table = {};
    table.manualClock = manualClock;
    table.windowChanged = windowChanged;
    table.windowDestroyed = windowDestroyed;
    table.surfaceDrawn = surfaceDrawn;
    table.pumpEvents = pumpEvents;
    table.idle = loopIdle;
    table.cursorChanged = cursorChanged;
    table.cursorWarped = cursorWarped;
    table.showMessageBox = showMessageBox;
    table.shutdown = shutdown;
    return table;
}

const Backend realClockBackend = webBackend(false);
const Backend manualClockBackend = webBackend(true);

}  // namespace

void startWebBackend(const WebPacing& asked) {
    useHeadlessBackend();
    closeDisplay();
    pacing = {};
    pacing.asked = asked;
    pacing.preparedFrame = -1;
    backend = asked.msPerFrame >= 0 ? &manualClockBackend : &realClockBackend;
}

}  // namespace shim
