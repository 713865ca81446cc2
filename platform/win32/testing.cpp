#include "platform/win32/testing.h"

#include "platform/win32/backend.h"
#include "platform/win32/surface.h"
#include "platform/win32/user_internal.h"

namespace shimtest {

void useHeadlessBackend() {
    shim::useHeadlessBackend();
}

void reset() {
    shim::destroyAllWindows();
    shim::unregisterAllClasses();
    shim::resetQueue();
    shim::resetCursor();
    shim::resetManualClock();
    shim::lastMessageBox = {};
}

void setTickCount(DWORD ticks) {
    shim::setManualTicks(ticks);
}

void advanceTickCount(DWORD milliseconds) {
    shim::advanceManualTicks(milliseconds);
}

namespace {

bool mainSurface(shim::PixelView* view) {
    shim::Window* window = shim::mainWindow();
    return window && window->surface && shim::readBitmapPixels(window->surface, view);
}

}  // namespace

int surfaceWidth() {
    shim::PixelView view;
    return mainSurface(&view) ? view.width : 0;
}

int surfaceHeight() {
    shim::PixelView view;
    return mainSurface(&view) ? view.height : 0;
}

COLORREF surfacePixel(int x, int y) {
    shim::PixelView view;
    if (!mainSurface(&view) || x < 0 || y < 0 || x >= view.width || y >= view.height) {
        return CLR_INVALID;
    }
    const std::uint32_t pixel = view.pixels[y * view.stride + x];
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

std::vector<LoggedMessage> defWindowProcMessages() {
    std::vector<LoggedMessage> messages;
    for (const shim::LoggedMessage& entry : shim::defWindowProcLog) {
        messages.push_back({entry.hwnd, entry.message, entry.wParam, entry.lParam});
    }
    return messages;
}

void clearDefWindowProcMessages() {
    shim::defWindowProcLog.clear();
}

CursorState cursorState() {
    const shim::CursorState& cursor = shim::cursor;
    return {cursor.displayCount, cursor.position, cursor.confined, cursor.confinement};
}

MessageBoxRecord lastMessageBox() {
    const shim::MessageBoxRecord& box = shim::lastMessageBox;
    return {box.shown, box.caption, box.text, box.type};
}

void setIdleHook(void (*hook)(void* context), void* context) {
    shim::idleHook = hook;
    shim::idleHookContext = context;
}

}  // namespace shimtest
