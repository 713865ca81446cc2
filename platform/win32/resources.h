// Stands in for the resource compiler: the menus the program registered (registerMenuResource,
// in win32.h), from which a window whose class names a registered menu gets its menu bar.
#pragma once

#include "platform/win32/win32.h"

#include <string>
#include <vector>

namespace shim {

struct MenuResourceEntry {
    int depth;
    std::string text;
    UINT commandId;
    bool popup;
};

// The items of a registered menu; NULL when `id` names none.
const std::vector<MenuResourceEntry>* findMenuResource(WORD id);

}  // namespace shim
