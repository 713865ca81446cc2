// Stands in for the resource compiler: the program registers its menu resources from the same
// table its Windows resource script is checked against, and a window whose class names a
// registered menu gets that menu bar.
#pragma once

#include "platform/win32.h"

#include <string>
#include <vector>

// One item in the order a resource script lists it: depth 0 in the menu bar, depth 1 inside
// the popup that precedes it. A popup has no command.
struct MenuResourceItem {
    int depth;
    const char* text;
    UINT commandId;
    bool popup;
};

// Copies the items; a later registration of the same id replaces the earlier one. Refuses
// (false) a table that is empty, has no text, nests deeper than one popup or puts an item of
// depth 1 anywhere but after a popup.
bool registerMenuResource(WORD id, const MenuResourceItem* items, int count);

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
