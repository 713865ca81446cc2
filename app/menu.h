// The main window's menu: one table, from which the shim builds its menu bar and against which
// a test holds the Windows resource script (app/quillon.rc).
#pragma once

enum : unsigned {
    menuResourceId = 101,
    commandExit = 40001,
    commandMenuLabel = 65535,
};

struct AppMenuItem {
    int depth;  // 0: in the menu bar; 1: inside the popup above it
    const char* text;
    unsigned commandId;  // 0 for a popup
    bool popup;
};

extern const AppMenuItem appMenu[];
extern const int appMenuCount;

#if !defined(_WIN32) || defined(QUILLON_WIN32_SUBSET)
// Windows links the menu in from the resource script; our own platform layer is handed this
// table instead.
void registerAppMenu();
#endif
