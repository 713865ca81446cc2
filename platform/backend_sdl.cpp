// The SDL2 display: one SDL window shows the main window's menu bar with its client area below.
//
// Coordinates: the SDL window shows no frame (the window manager draws its own, or none), so
// its pixel (sx, sy) is the shim's screen point (client.left + sx, client.top - bar + sy), where
// client is the client rectangle on the shim's screen and bar the menu bar's height. After
// MoveWindow(hwnd, 0, 0, ...) the client area begins at screen (4, 42) and the SDL window's
// content at (4, 23). The SDL window is also placed there on the real screen, so on an X server
// without a window manager the two screens agree; events are read relative to the window, so
// nothing depends on it.
#include "platform/backend.h"
#include "platform/display_input.h"
#include "platform/surface.h"
#include "platform/user_internal.h"

#include <SDL.h>

#include <algorithm>
#include <cstdint>

namespace shim {

namespace {

// The window shown, the menu's state and what a frame is drawn from.
struct SdlDisplay : DisplayInput {
    SDL_Window* window;
    int clientWidth, clientHeight;
    POINT placed;  // where the SDL window was last put on the real screen
    bool visible;
    HBITMAP barBitmap, popupBitmap;  // drawn for the state below; NULL when out of date
    int barWidth, barOpenEntry, popupEntry, popupHovered;
    std::vector<std::uint32_t> frame;
};

SdlDisplay sdl;
int cursorShown = -1;  // as SDL was last told: 1 shown, 0 hidden, -1 not yet

void forgetBitmaps() {
    DeleteObject(sdl.barBitmap);
    DeleteObject(sdl.popupBitmap);
    sdl.barBitmap = sdl.popupBitmap = NULL;
}

void closeWindow() {
    forgetBitmaps();
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

void bindWindow(HWND hwnd, const Window& window) {
    bindDisplayInput(&sdl, hwnd, window);
    sdl.window =
        SDL_CreateWindow(window.text.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 1,
                         1, SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
    sdl.clientWidth = sdl.clientHeight = -1;
    sdl.placed = {-1, -1};
}

// The pointer's real place, once the window is on the screen: the shim's cursor starts there.
void adoptPointer() {
    int globalX, globalY, windowX, windowY;
    SDL_GetGlobalMouseState(&globalX, &globalY);
    SDL_GetWindowPosition(sdl.window, &windowX, &windowY);
    POINT screen = displayToScreen(sdl, globalX - windowX, globalY - windowY);
    cursor.position = {std::max((LONG)0, std::min(screen.x, (LONG)screenWidth - 1)),
                       std::max((LONG)0, std::min(screen.y, (LONG)screenHeight - 1))};
}

void windowChanged(HWND hwnd) {
    Window* window = findWindow(hwnd);
    if (!window) {
        return;
    }
    if (!sdl.hwnd) {
        bindWindow(hwnd, *window);
    }
    if (hwnd != sdl.hwnd || !sdl.window) {
        return;
    }
    RECT client = clientRectOnScreen(*window);
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
    if (window->text != SDL_GetWindowTitle(sdl.window)) {
        SDL_SetWindowTitle(sdl.window, window->text.c_str());
    }
    if (window->visible != sdl.visible) {
        sdl.visible = window->visible;
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
    const int shown = cursor.displayCount >= 0;
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
    screenToDisplay(sdl, cursor.position, &sx, &sy);
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
    Window* window = findWindow(sdl.hwnd);
    if (!window || event.windowID != SDL_GetWindowID(sdl.window)) {
        return;
    }
    if (event.event == SDL_WINDOWEVENT_CLOSE) {
        PostMessageA(sdl.hwnd, WM_CLOSE, 0, 0);
    } else if (event.event == SDL_WINDOWEVENT_LEAVE && cursor.confined) {
        cursorWarped();  // it slipped out between two moves: back to where the cursor stays
    } else if (event.event == SDL_WINDOWEVENT_EXPOSED) {
        InvalidateRect(sdl.hwnd, NULL, FALSE);
        sdl.dirty = true;
    } else if (event.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
        const int width = event.data1, height = std::max(event.data2 - barHeight(), 0);
        if (width != sdl.clientWidth || height != sdl.clientHeight) {
            // The user resized the window: the frame keeps its size, the client area takes
            // the rest, as dragging a Windows frame does.
            RECT outer = window->rect;
            RECT client = clientRectOnScreen(*window);
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

void copyPixels(HBITMAP bitmap, int left, int top, int width, int height) {
    PixelView view;
    if (!bitmap || !readBitmapPixels(bitmap, &view)) {
        return;
    }
    for (int y = std::max(0, -top); y < view.height && top + y < height; ++y) {
        for (int x = std::max(0, -left); x < view.width && left + x < width; ++x) {
            sdl.frame[(top + y) * width + left + x] = view.pixels[y * view.stride + x];
        }
    }
}

void redrawMenus(int width) {
    if (!sdl.barBitmap || sdl.barWidth != width || sdl.barOpenEntry != sdl.openEntry) {
        DeleteObject(sdl.barBitmap);
        sdl.barBitmap = drawMenuBar(sdl.menu, width, sdl.openEntry);
        sdl.barWidth = width;
        sdl.barOpenEntry = sdl.openEntry;
    }
    if (sdl.openEntry >= 0 && (!sdl.popupBitmap || sdl.popupEntry != sdl.openEntry ||
                               sdl.popupHovered != sdl.hoveredItem)) {
        DeleteObject(sdl.popupBitmap);
        sdl.popupBitmap = drawPopup(sdl.menu, sdl.openEntry, sdl.hoveredItem);
        sdl.popupEntry = sdl.openEntry;
        sdl.popupHovered = sdl.hoveredItem;
    }
}

void present() {
    Window* window = findWindow(sdl.hwnd);
    if (!window || !sdl.window || !sdl.visible) {
        return;
    }
    sdl.dirty = false;
    SDL_Surface* target = SDL_GetWindowSurface(sdl.window);
    if (!target) {
        return;
    }
    const int width = target->w, height = target->h;
    sdl.frame.assign((size_t)width * height, 0);
    if (sdl.hasMenu) {
        redrawMenus(width);
        copyPixels(sdl.barBitmap, 0, 0, width, height);
    }
    copyPixels(window->surface, 0, barHeight(), width, height);
    if (sdl.hasMenu && sdl.openEntry >= 0) {
        copyPixels(sdl.popupBitmap, popupLeft(), barHeight(), width, height);
    }
    if (SDL_MUSTLOCK(target) && SDL_LockSurface(target) != 0) {
        return;
    }
    SDL_ConvertPixels(width, height, SDL_PIXELFORMAT_RGB888, sdl.frame.data(), width * 4,
                      target->format->format, target->pixels, target->pitch);
    if (SDL_MUSTLOCK(target)) {
        SDL_UnlockSurface(target);
    }
    SDL_UpdateWindowSurface(sdl.window);
}

void pumpEvents() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
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

const Backend sdlBackend = {
    false,         windowChanged, windowDestroyed, surfaceDrawn, pumpEvents,
    cursorChanged, cursorWarped,  showMessageBox,  shutdown,
};

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
    closeWindow();
    cursorShown = -1;
    backend = &sdlBackend;
    return true;
}

}  // namespace shim
