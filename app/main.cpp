#include "app/app.h"

#include "app/menu.h"

#include "scene/scene.h"

const char appName[] = "Velmora's Quillon Framework";

static bool registerWindowClass(HINSTANCE instance) {
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = WndProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(NULL, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    windowClass.lpszMenuName = MAKEINTRESOURCEA(menuResourceId);
    windowClass.lpszClassName = appName;
    return RegisterClassA(&windowClass) != 0;
}

bool startApplication(HINSTANCE instance, int cmdShow) {
#if !defined(_WIN32) || defined(QUILLON_WIN32_SUBSET)
    registerAppMenu();
#endif
    if (!registerWindowClass(instance)) {
        MessageBoxA(NULL, "This program requires Windows NT", appName, MB_ICONERROR);
        return false;
    }
    // WM_CREATE runs inside this call: the back buffer, the title and the texture exist after it.
    mainWindow =
        CreateWindowExA(0, appName, "Velmora's Quillon Framework", WS_OVERLAPPEDWINDOW,
                        CW_USEDEFAULT, CW_USEDEFAULT, 500, 500, NULL, NULL, instance, NULL);
    initScene();
    cursorClipRect = {10, 45, 400, 400};
    setClickColours();
    ShowWindow(mainWindow, cmdShow);
    UpdateWindow(mainWindow);
    return true;
}

bool dispatchMessages(int* exitCode) {
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            *exitCode = (int)msg.wParam;
            return false;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return true;
}

// The loop never waits: whenever no message is queued, it renders.
int runMessageLoop() {
    int exitCode = 0;
    while (dispatchMessages(&exitCode)) {
        renderFrame();
    }
    return exitCode;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int cmdShow) {
    inspecting = commandLineAsksToInspect(commandLine);
    if (!startApplication(instance, cmdShow)) {
        return 0;
    }
    return runMessageLoop();
}
