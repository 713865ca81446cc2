#include "app/app.h"

#include <cstdio>

void setWindowTitle(HWND hwnd, const char* name) {
    char title[64 + 260];
    std::snprintf(title, sizeof title, "%s - %s", appName, name[0] ? name : "Assignment 2");
    SetWindowTextA(hwnd, title);
}

void createEditFont(HWND edit) {
    LOGFONTA font;
    GetObjectA(GetStockObject(SYSTEM_FONT), sizeof font, &font);
    editFont = CreateFontIndirectA(&font);
    SendMessageA(edit, WM_SETFONT, (WPARAM)editFont, 0);
}

// KEPT: an edit control of no size, a file dialog and a message nothing uses
// Prepared once; nothing in the program opens the dialog, so the title keeps "Assignment 2".
void initFileDialog(HWND owner) {
    static const char filter[] = "TextFiles (*.txt)\0*.txt\0";
    openFileName = {};
    openFileName.lStructSize = 76;
    openFileName.hwndOwner = owner;
    openFileName.lpstrFilter = filter;
    openFileName.nMaxFile = 260;
    openFileName.nMaxFileTitle = 260;
    openFileName.lpstrDefExt = "txt";
}
