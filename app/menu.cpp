#include "app/menu.h"

#include "platform/win32/win32.h"

const AppMenuItem appMenu[] = {
    {0, "File", 0, true},
    {1, "Exit", commandExit, false},
    {0, "Press F for wireframe mode", commandMenuLabel, false},
};
const int appMenuCount = sizeof(appMenu) / sizeof(appMenu[0]);

#if !defined(_WIN32) || defined(QUILLON_WIN32_SUBSET)
void registerAppMenu() {
    MenuResourceItem items[sizeof(appMenu) / sizeof(appMenu[0])];
    for (int i = 0; i < appMenuCount; ++i) {
        items[i] = {appMenu[i].depth, appMenu[i].text, appMenu[i].commandId, appMenu[i].popup};
    }
    registerMenuResource(menuResourceId, items, appMenuCount);
}
#endif
