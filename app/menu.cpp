#include "app/menu.h"

const AppMenuItem appMenu[] = {
    {0, "File", 0, true},
    {1, "Exit", commandExit, false},
    {0, "Press F for wireframe mode", commandMenuLabel, false},
};
const int appMenuCount = sizeof(appMenu) / sizeof(appMenu[0]);
