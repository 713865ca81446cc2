#include "platform/win32/resources.h"

#include <map>

namespace {

// A function-local table, so that a registration from another file's static initializer
// finds it ready.
std::map<WORD, std::vector<shim::MenuResourceEntry>>& menuResources() {
    static std::map<WORD, std::vector<shim::MenuResourceEntry>> table;
    return table;
}

bool validMenu(const MenuResourceItem* items, int count) {
    if (!items || count <= 0 || count > 256) {
        return false;
    }
    bool insidePopup = false;
    for (int i = 0; i < count; ++i) {
        const MenuResourceItem& item = items[i];
        if (!item.text || item.depth < 0 || item.depth > 1) {
            return false;
        }
        if (item.depth == 1 && (!insidePopup || item.popup)) {
            return false;
        }
        if (item.depth == 0) {
            insidePopup = item.popup;
        }
    }
    return true;
}

}  // namespace

bool registerMenuResource(WORD id, const MenuResourceItem* items, int count) {
    if (!validMenu(items, count)) {
        return false;
    }
    std::vector<shim::MenuResourceEntry> entries;
    for (int i = 0; i < count; ++i) {
        entries.push_back({items[i].depth, items[i].text, items[i].commandId, items[i].popup});
    }
    menuResources()[id] = entries;
    return true;
}

namespace shim {

const std::vector<MenuResourceEntry>* findMenuResource(WORD id) {
    auto found = menuResources().find(id);
    return found == menuResources().end() ? nullptr : &found->second;
}

}  // namespace shim
