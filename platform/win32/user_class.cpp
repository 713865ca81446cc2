#include "platform/win32/user_internal.h"

#include <cctype>

namespace {

std::vector<shim::WindowClass> classes;
ATOM nextClassAtom = 0xC000;

std::vector<std::string> windowMessages;  // the value of entry i is 0xC000 + i

// Class names and registered message names compare without regard to case, as atoms do.
bool sameName(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        if (std::tolower((unsigned char)a[i]) != std::tolower((unsigned char)b[i])) {
            return false;
        }
    }
    return i == a.size() && !b[i];
}

// The program's one edit control has no size and nobody reads its text: the built-in class
// takes every message (EM_LIMITTEXT, WM_SETFONT, ...) and does nothing with it.
LRESULT CALLBACK editProc(HWND hwnd, UINT message, WPARAM, LPARAM) {
    if (message == WM_PAINT) {
        if (shim::Window* window = shim::findWindow(hwnd)) {
            shim::validate(*window);
        }
    }
    return 0;
}

const shim::WindowClass editClass = {"edit", 0, editProc, NULL, 0};

}  // namespace

namespace shim {

const WindowClass* findClass(LPCSTR name) {
    if (!name) {
        return nullptr;
    }
    for (const WindowClass& windowClass : classes) {
        if (IS_INTRESOURCE(name) ? windowClass.atom == (ATOM)(std::uintptr_t)name
                                 : sameName(windowClass.name, name)) {
            return &windowClass;
        }
    }
    if (!IS_INTRESOURCE(name) && sameName(editClass.name, name)) {
        return &editClass;
    }
    return nullptr;
}

void unregisterAllClasses() {
    classes.clear();
    nextClassAtom = 0xC000;
}

}  // namespace shim

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
    if (!windowClass || !windowClass->lpfnWndProc || !windowClass->lpszClassName ||
        IS_INTRESOURCE(windowClass->lpszClassName) || !windowClass->lpszClassName[0]) {
        return 0;
    }
    for (const shim::WindowClass& known : classes) {
        if (sameName(known.name, windowClass->lpszClassName)) {
            return 0;
        }
    }
    if (nextClassAtom == 0xFFFF) {
        return 0;
    }
    // Only numbered menu resources exist here; a menu named by a string is never found.
    LPCSTR menu = windowClass->lpszMenuName;
    WORD menuId = menu && IS_INTRESOURCE(menu) ? (WORD)(std::uintptr_t)menu : 0;
    classes.push_back({windowClass->lpszClassName, nextClassAtom++, windowClass->lpfnWndProc,
                       windowClass->hbrBackground, menuId});
    return classes.back().atom;
}

UINT RegisterWindowMessageA(LPCSTR name) {
    if (!name || IS_INTRESOURCE(name) || !name[0]) {
        return 0;
    }
    for (size_t i = 0; i < windowMessages.size(); ++i) {
        if (sameName(windowMessages[i], name)) {
            return 0xC000 + (UINT)i;
        }
    }
    if (windowMessages.size() >= 0x4000) {
        return 0;
    }
    windowMessages.push_back(name);
    return 0xC000 + (UINT)(windowMessages.size() - 1);
}

// Stock handles: nothing in the shim draws icons or cursor shapes, so any distinct non-null
// value serves.
HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
    return !instance && name == IDI_APPLICATION ? (HICON)(std::uintptr_t)0x7F00 : NULL;
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
    return !instance && name == IDC_ARROW ? (HCURSOR)(std::uintptr_t)0x7F01 : NULL;
}
