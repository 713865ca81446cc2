#include "platform/win32/backend.h"
#include "platform/win32/user_internal.h"

#include <cstdio>

namespace shim {

MessageBoxRecord lastMessageBox;

}  // namespace shim

// Every box the program shows has one button, so the answer is always IDOK.
int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type) {
    const char* shownCaption = caption ? caption : "Error";  // Windows' default caption
    const char* shownText = text ? text : "";
    shim::lastMessageBox = {true, shownCaption, shownText, type};
    if (!shim::backend->showMessageBox(shownCaption, shownText, type)) {
        std::fprintf(stderr, "%s: %s\n", shownCaption, shownText);
        std::fflush(stderr);
    }
    return IDOK;
}
