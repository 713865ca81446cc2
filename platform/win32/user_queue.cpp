#include "platform/win32/backend.h"
#include "platform/win32/user_internal.h"

#include <algorithm>
#include <deque>

namespace shim {

std::vector<LoggedMessage> defWindowProcLog;
void (*idleHook)(void* context);
void* idleHookContext;

namespace {

// Win32's order of retrieval: posted messages, then the quit flag, then input (keys and mouse,
// where a mouse move replaces one still waiting), then WM_PAINT for a window that needs it.
std::deque<MSG> postedMessages;
std::deque<MSG> inputMessages;
bool quitPending;
WPARAM quitCode;
bool insideIdleHook;

// Windows refuses to post beyond ten thousand messages waiting in one queue.
constexpr size_t queueLimit = 10000;
// The DefWindowProcA log keeps the latest messages only, in storage taken once, so that a
// program running for days does not grow.
constexpr size_t logLimit = 4096;

MSG makeMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return {hwnd, message, wParam, lParam, GetTickCount(), cursor.position};
}

bool matches(const MSG& msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    if (hwnd && msg.hwnd != hwnd) {
        return false;
    }
    return (filterMin == 0 && filterMax == 0) ||
           (msg.message >= filterMin && msg.message <= filterMax);
}

bool takeFrom(std::deque<MSG>& queue, MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax,
              bool remove) {
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        if (matches(*it, hwnd, filterMin, filterMax)) {
            *msg = *it;
            if (remove) {
                queue.erase(it);
            }
            return true;
        }
    }
    return false;
}

// WM_PAINT is not queued: it is made up whenever a visible window needs painting, and keeps
// coming until the window is validated.
bool findPaint(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    for (const std::unique_ptr<Window>& window : windows) {
        const RECT& invalid = window->invalid;
        if (window->visible && !window->destroying && invalid.right > invalid.left &&
            invalid.bottom > invalid.top) {
            MSG paint = makeMessage(window->handle, WM_PAINT, 0, 0);
            if (matches(paint, hwnd, filterMin, filterMax)) {
                *msg = paint;
                return true;
            }
        }
    }
    return false;
}

bool nextMessage(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, bool remove) {
    if (takeFrom(postedMessages, msg, hwnd, filterMin, filterMax, remove)) {
        return true;
    }
    // The quit message passes every filter, as Win32 delivers it.
    if (quitPending) {
        *msg = makeMessage(NULL, WM_QUIT, quitCode, 0);
        quitPending = quitPending && !remove;
        return true;
    }
    return takeFrom(inputMessages, msg, hwnd, filterMin, filterMax, remove) ||
           findPaint(msg, hwnd, filterMin, filterMax);
}

}  // namespace

void postInput(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg = makeMessage(hwnd, message, wParam, lParam);
    if (message == WM_MOUSEMOVE && !inputMessages.empty() &&
        inputMessages.back().message == WM_MOUSEMOVE && inputMessages.back().hwnd == hwnd) {
        inputMessages.back() = msg;
    } else if (inputMessages.size() < queueLimit) {
        inputMessages.push_back(msg);
    }
}

// A destroyed window's messages go with it.
void purgeMessages(HWND hwnd) {
    auto addressedTo = [hwnd](const MSG& msg) { return msg.hwnd == hwnd; };
    postedMessages.erase(std::remove_if(postedMessages.begin(), postedMessages.end(), addressedTo),
                         postedMessages.end());
    inputMessages.erase(std::remove_if(inputMessages.begin(), inputMessages.end(), addressedTo),
                        inputMessages.end());
}

void resetQueue() {
    postedMessages.clear();
    inputMessages.clear();
    quitPending = false;
    quitCode = 0;
    defWindowProcLog.clear();
    idleHook = nullptr;
    idleHookContext = nullptr;
}

}  // namespace shim

using shim::findWindow;

BOOL PeekMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
    if (!msg || (hwnd && !findWindow(hwnd))) {
        return FALSE;
    }
    shim::backend->pumpEvents();
    const bool remove = removeFlags & PM_REMOVE;
    if (shim::nextMessage(msg, hwnd, filterMin, filterMax, remove)) {
        return TRUE;
    }
    shim::backend->idle();
    // A headless caller steps the program from here: it sets the clock, reads the surface and
    // posts the next input whenever the program has nothing left to do.
    if (shim::idleHook && !shim::insideIdleHook) {
        shim::insideIdleHook = true;
        shim::idleHook(shim::idleHookContext);
        shim::insideIdleHook = false;
        return shim::nextMessage(msg, hwnd, filterMin, filterMax, remove);
    }
    return FALSE;
}

BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if ((hwnd && !findWindow(hwnd)) || shim::postedMessages.size() >= shim::queueLimit) {
        return FALSE;
    }
    shim::postedMessages.push_back(shim::makeMessage(hwnd, message, wParam, lParam));
    return TRUE;
}

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    shim::Window* window = findWindow(hwnd);
    if (!window) {
        return 0;
    }
    WNDPROC proc = window->proc;
    return proc(hwnd, message, wParam, lParam);
}

// The shim posts no WM_CHAR: the program reads key-down messages only.
BOOL TranslateMessage(const MSG* msg) {
    return msg && (msg->message == WM_KEYDOWN || msg->message == WM_KEYUP);
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (!msg) {
        return 0;
    }
    return SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

void PostQuitMessage(int exitCode) {
    shim::quitPending = true;
    shim::quitCode = (WPARAM)exitCode;
}

LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    std::vector<shim::LoggedMessage>& log = shim::defWindowProcLog;
    log.reserve(shim::logLimit);
    if (log.size() >= shim::logLimit) {
        log.erase(log.begin(), log.begin() + shim::logLimit / 2);
    }
    log.push_back({hwnd, message, wParam, lParam});
    if (message == WM_CLOSE) {
        DestroyWindow(hwnd);
    } else if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        if (BeginPaint(hwnd, &paint)) {
            EndPaint(hwnd, &paint);
        } else if (shim::Window* window = findWindow(hwnd)) {
            shim::validate(*window);
        }
    }
    return 0;
}
