// The SDL2 display: one SDL window shows the main window's menu bar with its client area below.
//
// Coordinates: the SDL window shows no frame (the window manager draws its own, or none), so
// its pixel (sx, sy) is the shim's screen point (client.left + sx, client.top - bar + sy), where
// client is the client rectangle on the shim's screen and bar the menu bar's height. After
// MoveWindow(hwnd, 0, 0, ...) the client area begins at screen (4, 42) and the SDL window's
// content at (4, 23). The SDL window is also placed there on the real screen, so on an X server
// without a window manager the two screens agree; events are read relative to the window, so
// nothing depends on it.
#include "platform/display/display.h"

#include "platform/display/display_input.h"
#include "platform/win32/backend.h"

#include <SDL.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace shim {

namespace {

// The window shown, the menu's state and what a frame is drawn from.
struct SdlDisplay : DisplayInput {
    SDL_Window* window;
    int clientWidth, clientHeight;
    POINT placed;  // where the SDL window was last put on the real screen
    bool visible;
    int shownWidth, shownHeight;   // the client area's size on the window surface
    bool showWhole;                // the display may have lost what it showed
    std::vector<bool> rowChanged;  // rows of the window surface the display has yet to get
    std::vector<SDL_Rect> changedRuns;
};

SdlDisplay sdl;
int cursorShown = -1;  // as SDL was last told: 1 shown, 0 hidden, -1 not yet

void closeWindow() {
    forgetDisplayMenus(&sdl);
    if (sdl.window) {
        SDL_DestroyWindow(sdl.window);
    }
    sdl = {};
    sdl.openEntry = sdl.hoveredItem = -1;
}

int barHeight() {
    return displayBarHeight(sdl);
}

// What the window side tells the display

void bindWindow(HWND hwnd) {
    bindDisplayInput(&sdl, hwnd);
    sdl.window =
        SDL_CreateWindow(windowTitle(hwnd), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 1, 1,
                         SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
    sdl.clientWidth = sdl.clientHeight = -1;
    sdl.placed = {-1, -1};
}

// The pointer's real place, once the window is on the screen: the shim's cursor starts there.
void adoptPointer() {
    int globalX, globalY, windowX, windowY;
    SDL_GetGlobalMouseState(&globalX, &globalY);
    SDL_GetWindowPosition(sdl.window, &windowX, &windowY);
    POINT screen = displayToScreen(sdl, globalX - windowX, globalY - windowY);
    placeCursor({std::max((LONG)0, std::min(screen.x, (LONG)screenWidth - 1)),
                 std::max((LONG)0, std::min(screen.y, (LONG)screenHeight - 1))});
}

void windowChanged(HWND hwnd) {
    RECT outer, client;
    if (!windowRects(hwnd, &outer, &client)) {
        return;
    }
    if (!sdl.hwnd) {
        bindWindow(hwnd);
    }
    if (hwnd != sdl.hwnd || !sdl.window) {
        return;
    }
    const int width = client.right - client.left, height = client.bottom - client.top;
    if (width != sdl.clientWidth || height != sdl.clientHeight) {
        sdl.clientWidth = width;
        sdl.clientHeight = height;
        SDL_SetWindowSize(sdl.window, std::max(width, 1), std::max(height + barHeight(), 1));
    }
    const POINT place = {client.left, client.top - barHeight()};
    if (place.x != sdl.placed.x || place.y != sdl.placed.y) {
        sdl.placed = place;
        SDL_SetWindowPosition(sdl.window, place.x, place.y);
    }
    const char* title = windowTitle(hwnd);
    if (SDL_strcmp(title, SDL_GetWindowTitle(sdl.window)) != 0) {
        SDL_SetWindowTitle(sdl.window, title);
    }
    const bool visible = windowVisible(hwnd);
    if (visible != sdl.visible) {
        sdl.visible = visible;
        if (sdl.visible) {
            SDL_ShowWindow(sdl.window);
            adoptPointer();
        } else {
            SDL_HideWindow(sdl.window);
        }
    }
    sdl.dirty = true;
}

void windowDestroyed(HWND hwnd) {
    if (hwnd == sdl.hwnd) {
        closeWindow();
    }
}

void surfaceDrawn(HWND hwnd) {
    if (hwnd == sdl.hwnd) {
        sdl.dirty = true;
    }
}

// Confinement is the window side's clamping, with the pointer warped back wherever it strays:
// SDL_SetWindowMouseRect would hold the pointer more firmly, but while it holds, SDL's X11
// driver refuses every warp, and the program re-centres the cursor while it is confined.
void cursorChanged() {
    const int shown = cursorState().displayCount >= 0;
    if (shown != cursorShown) {
        cursorShown = shown;
        SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE);
    }
}

void cursorWarped() {
    if (!sdl.window || !sdl.visible) {
        return;
    }
    int sx, sy, width, height;
    screenToDisplay(sdl, cursorState().position, &sx, &sy);
    SDL_GetWindowSize(sdl.window, &width, &height);
    if (sx >= 0 && sy >= 0 && sx < width && sy < height) {
        SDL_WarpMouseInWindow(sdl.window, sx, sy);
    }
}

bool showMessageBox(const char* caption, const char* text, UINT type) {
    Uint32 flags = (type & MB_ICONERROR) ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
    return SDL_ShowSimpleMessageBox(flags, caption, text, NULL) == 0;
}

// What the user does

WPARAM virtualKey(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) {
        return 'A' + (key - SDLK_a);
    }
    if (key >= SDLK_0 && key <= SDLK_9) {
        return '0' + (key - SDLK_0);
    }
    switch (key) {
        case SDLK_ESCAPE:
            return VK_ESCAPE;
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return VK_RETURN;
        case SDLK_SPACE:
            return VK_SPACE;
        case SDLK_TAB:
            return VK_TAB;
        case SDLK_BACKSPACE:
            return VK_BACK;
        case SDLK_LEFT:
            return VK_LEFT;
        case SDLK_UP:
            return VK_UP;
        case SDLK_RIGHT:
            return VK_RIGHT;
        case SDLK_DOWN:
            return VK_DOWN;
        case SDLK_LSHIFT:
        case SDLK_RSHIFT:
            return VK_SHIFT;
        case SDLK_LCTRL:
        case SDLK_RCTRL:
            return VK_CONTROL;
        default:
            return 0;
    }
}

void onKey(const SDL_KeyboardEvent& key) {
    displayKey(&sdl, virtualKey(key.keysym.sym), key.type == SDL_KEYDOWN, key.repeat);
}

int popupLeft() {
    return displayPopupLeft(sdl);
}

void onMotion(int sx, int sy) {
    if (displayPointerMoved(&sdl, sx, sy)) {
        cursorWarped();  // confined: pull the pointer back to where the cursor stays
    }
}

void onButton(const SDL_MouseButtonEvent& button) {
    if (button.button == SDL_BUTTON_LEFT &&
        displayLeftButton(&sdl, button.x, button.y, button.type == SDL_MOUSEBUTTONDOWN)) {
        cursorWarped();
    }
}

void onWindowEvent(const SDL_WindowEvent& event) {
    RECT outer, client;
    if (!windowRects(sdl.hwnd, &outer, &client) || event.windowID != SDL_GetWindowID(sdl.window)) {
        return;
    }
    if (event.event == SDL_WINDOWEVENT_CLOSE) {
        PostMessageA(sdl.hwnd, WM_CLOSE, 0, 0);
    } else if (event.event == SDL_WINDOWEVENT_LEAVE && cursorState().confined) {
        cursorWarped();  // it slipped out between two moves: back to where the cursor stays
    } else if (event.event == SDL_WINDOWEVENT_EXPOSED) {
        InvalidateRect(sdl.hwnd, NULL, FALSE);
        sdl.dirty = true;
    } else if (event.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
        const int width = event.data1, height = std::max(event.data2 - barHeight(), 0);
        if (width != sdl.clientWidth || height != sdl.clientHeight) {
            // The user resized the window: the frame keeps its size, the client area takes
            // the rest, as dragging a Windows frame does.
            const int frameWidth = (outer.right - outer.left) - (client.right - client.left);
            const int frameHeight = (outer.bottom - outer.top) - (client.bottom - client.top);
            sdl.clientWidth = width;
            sdl.clientHeight = height;
            MoveWindow(sdl.hwnd, outer.left, outer.top, width + frameWidth, height + frameHeight,
                       TRUE);
        }
    }
}

void onEvent(const SDL_Event& event) {
    switch (event.type) {
        case SDL_QUIT:
            PostMessageA(sdl.hwnd, WM_CLOSE, 0, 0);
            break;
        case SDL_WINDOWEVENT:
            onWindowEvent(event.window);
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            onKey(event.key);
            break;
        case SDL_MOUSEMOTION:
            onMotion(event.motion.x, event.motion.y);
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            onButton(event.button);
            break;
        default:
            break;
    }
}

// Showing what was drawn
//
// The window surface keeps what was shown last, so a frame only copies what changed: the
// client area, row by row, and the menus when they were drawn anew. Only rows that differ from
// what the surface holds are copied and sent to the display; most of a frame (the black
// around the scene, the head-up lines) stays as it was. A surface SDL has just made (its
// userdata still unset) is cleared once, filled in and sent whole.

void markRows(int top, int count) {
    std::fill_n(sdl.rowChanged.begin() + top, count, true);
}

// Rows whose pixels are already there are skipped, so that they need not be sent again.
void copyChangedRows(SDL_Surface* target, const std::uint32_t* from, int stride, std::uint8_t* to,
                     int top, int w, int h) {
    const size_t rowBytes = (size_t)w * 4;
    for (int row = 0; row < h; ++row, from += stride, to += target->pitch) {
        if (std::memcmp(to, from, rowBytes) != 0) {
            std::memcpy(to, from, rowBytes);
            sdl.rowChanged[top + row] = true;
        }
    }
}

// Copies the w x h pixels at (sx, sy) of `source` to (dx, dy) on the target, clipped to both.
void copyRect(SDL_Surface* target, const PixelView& source, int sx, int sy, int dx, int dy, int w,
              int h) {
    const int skipLeft = std::max({0, -sx, -dx}), skipTop = std::max({0, -sy, -dy});
    sx += skipLeft, dx += skipLeft, w -= skipLeft;
    sy += skipTop, dy += skipTop, h -= skipTop;
    w = std::min({w, source.width - sx, target->w - dx});
    h = std::min({h, source.height - sy, target->h - dy});
    if (w <= 0 || h <= 0) {
        return;
    }
    const std::uint32_t* from = source.pixels + (size_t)sy * source.stride + sx;
    auto* to = (std::uint8_t*)target->pixels + (size_t)dy * target->pitch +
               (size_t)dx * target->format->BytesPerPixel;
    if (target->format->format == SDL_PIXELFORMAT_RGB888) {
        copyChangedRows(target, from, source.stride, to, dy, w, h);
        return;
    }
    SDL_ConvertPixels(w, h, SDL_PIXELFORMAT_RGB888, from, source.stride * 4, target->format->format,
                      to, target->pitch);
    markRows(dy, h);
}

// Sends the changed rows to the display, runs of them as one rectangle each.
void showChangedRows(int width) {
    sdl.changedRuns.clear();
    const int height = (int)sdl.rowChanged.size();
    for (int row = 0; row < height; ++row) {
        if (!sdl.rowChanged[row]) {
            continue;
        }
        const int first = row;
        while (row < height && sdl.rowChanged[row]) {
            sdl.rowChanged[row++] = false;
        }
        sdl.changedRuns.push_back({0, first, width, row - first});
    }
    if (!sdl.changedRuns.empty()) {
        SDL_UpdateWindowSurfaceRects(sdl.window, sdl.changedRuns.data(),
                                     (int)sdl.changedRuns.size());
    }
}

// The open popup's pixels and where they lie on the window; empty when none is open.
bool openPopup(PixelView* popup, SDL_Point* place) {
    if (!sdl.hasMenu || sdl.openEntry < 0 || !readBitmapPixels(sdl.popupBitmap, popup)) {
        return false;
    }
    *place = {popupLeft(), barHeight()};
    return true;
}

// The client area below the bar, all but what the open popup covers.
void copyClient(SDL_Surface* target, const PixelView& client, const PixelView* popup,
                SDL_Point place) {
    const int top = barHeight();
    if (!popup) {
        copyRect(target, client, 0, 0, 0, top, client.width, client.height);
        return;
    }
    const int popupTop = place.y - top, popupBottom = popupTop + popup->height;
    const int popupRight = place.x + popup->width;
    copyRect(target, client, 0, 0, 0, top, client.width, popupTop);
    copyRect(target, client, 0, popupTop, 0, place.y, place.x, popup->height);
    copyRect(target, client, popupRight, popupTop, popupRight, place.y, client.width - popupRight,
             popup->height);
    copyRect(target, client, 0, popupBottom, 0, top + popupBottom, client.width,
             client.height - popupBottom);
}

// A new surface, a client area of another size than the one shown, or menus drawn anew (a
// popup may have hung past the client area): what no copy covers must be black, as it is on a
// fresh window.
bool startOver(SDL_Surface* target, const PixelView& client, bool menusRedrawn) {
    if (target->userdata == &sdl && client.width == sdl.shownWidth &&
        client.height == sdl.shownHeight && !menusRedrawn) {
        return false;
    }
    SDL_FillRect(target, NULL, SDL_MapRGB(target->format, 0, 0, 0));
    target->userdata = &sdl;
    sdl.rowChanged.assign(target->h, false);
    sdl.changedRuns.reserve(target->h);
    sdl.shownWidth = client.width;
    sdl.shownHeight = client.height;
    return true;
}

// True when the surface was filled in whole.
bool compose(SDL_Surface* target, const PixelView& client) {
    const bool menusRedrawn = sdl.hasMenu && redrawDisplayMenus(&sdl, target->w);
    const bool whole = startOver(target, client, menusRedrawn);
    PixelView popup = {}, bar = {};
    SDL_Point place = {};
    const bool popupOpen = openPopup(&popup, &place);
    copyClient(target, client, popupOpen ? &popup : nullptr, place);
    if (!whole) {
        return false;
    }
    if (sdl.hasMenu && readBitmapPixels(sdl.barBitmap, &bar)) {
        copyRect(target, bar, 0, 0, 0, 0, bar.width, bar.height);
    }
    if (popupOpen) {
        copyRect(target, popup, 0, 0, place.x, place.y, popup.width, popup.height);
    }
    return true;
}

void present() {
    RECT frame, clientArea;
    if (!windowRects(sdl.hwnd, &frame, &clientArea) || !sdl.window || !sdl.visible) {
        return;
    }
    sdl.dirty = false;
    SDL_Surface* target = SDL_GetWindowSurface(sdl.window);
    if (!target || (SDL_MUSTLOCK(target) && SDL_LockSurface(target) != 0)) {
        return;
    }
    PixelView client = {};
    if (!windowPixels(sdl.hwnd, &client)) {
        client = {};
    }
    const bool whole = compose(target, client);
    if (SDL_MUSTLOCK(target)) {
        SDL_UnlockSurface(target);
    }
    if (whole || sdl.showWhole) {
        sdl.showWhole = false;
        std::fill(sdl.rowChanged.begin(), sdl.rowChanged.end(), false);
        SDL_UpdateWindowSurface(sdl.window);
    } else {
        showChangedRows(target->w);
    }
}

void pumpEvents() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_EXPOSED) {
            sdl.showWhole = true;
        }
        if (sdl.hwnd) {
            onEvent(event);
        }
    }
    if (sdl.dirty) {
        present();
    }
}

void shutdown() {
    closeWindow();
    SDL_Quit();
}

void ignoreIdle() {}

constexpr Backend sdlTable() {
    Backend table = {};
    table.manualClock = false;
    table.windowChanged = windowChanged;
    table.windowDestroyed = windowDestroyed;
    table.surfaceDrawn = surfaceDrawn;
    table.pumpEvents = pumpEvents;
    table.idle = ignoreIdle;
    table.cursorChanged = cursorChanged;
    table.cursorWarped = cursorWarped;
    table.showMessageBox = showMessageBox;
    table.shutdown = shutdown;
    return table;
}

constexpr Backend sdlBackend = sdlTable();

// Drivers that open no window a person could see; SDL 2 falls back on them by itself.
bool showsNothing(const char* driver) {
    return !SDL_strcmp(driver, "offscreen") || !SDL_strcmp(driver, "dummy") ||
           !SDL_strcmp(driver, "evdev");
}

// The video drivers in SDL's order of preference, but none that shows nothing, and not Wayland
// where it cannot be running (libwayland would complain on stderr). A driver the user names in
// SDL_VIDEODRIVER is taken as it is.
bool initVideo(std::string* reason) {
    if (SDL_getenv("SDL_VIDEODRIVER")) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {
            return true;
        }
        *reason = SDL_GetError();
        return false;
    }
    for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
        const char* driver = SDL_GetVideoDriver(i);
        if (showsNothing(driver) ||
            (!SDL_strcmp(driver, "wayland") && !SDL_getenv("XDG_RUNTIME_DIR"))) {
            continue;
        }
        SDL_SetHint(SDL_HINT_VIDEODRIVER, driver);
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {
            return true;
        }
        if (reason->empty()) {
            *reason = SDL_GetError();
        }
    }
    if (reason->empty()) {
        *reason = "no video driver";
    }
    return false;
}

}  // namespace

bool startSdlBackend(std::string* reason) {
    if (backend == &sdlBackend) {
        return true;
    }
    useHeadlessBackend();
    // A click that brings the window forward is also a click, as on Windows.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    std::string failure;
    if (!initVideo(&failure)) {
        if (reason) {
            *reason = failure;
        }
        SDL_Quit();
        return false;
    }
    SDL_EventState(SDL_TEXTINPUT, SDL_IGNORE);
    // On X11 SDL backs the window surface with a texture of its OpenGL renderer by default;
    // where OpenGL runs in software (Xvfb, virtual machines) that costs several times what
    // X11's own shared-memory image does. The offscreen driver (the tests') has a plain image
    // too, and its OpenGL would load the system's graphics drivers for nothing. Other drivers
    // may have no such image: without the texture their window surface would not exist.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!SDL_strcmp(driver, "x11") || !SDL_strcmp(driver, "offscreen")) {
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    }
    closeWindow();
    cursorShown = -1;
    backend = &sdlBackend;
    return true;
}

}  // namespace shim
