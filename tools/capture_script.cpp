#include "tools/capture_script.h"

#include "app/app.h"
#include "app/menu.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool parsePair(const char* text, int* x, int* y) {
    const char* comma = std::strchr(text, ',');
    if (comma == nullptr) {
        return false;
    }
    std::string first(text, comma);
    return parseScriptNumber(first.c_str(), 0, x) && parseScriptNumber(comma + 1, 0, y) &&
           *x <= 65535 && *y <= 65535;
}

bool parseKey(const char* name, int* key) {
    static const struct {
        const char* name;
        int key;
    } named[] = {{"Escape", VK_ESCAPE}, {"Up", VK_UP},       {"Down", VK_DOWN},
                 {"Left", VK_LEFT},     {"Right", VK_RIGHT}, {"Space", VK_SPACE}};
    for (const auto& entry : named) {
        if (std::strcmp(name, entry.name) == 0) {
            *key = entry.key;
            return true;
        }
    }
    if (std::strlen(name) == 1 && std::isalnum((unsigned char)name[0])) {
        *key = std::toupper((unsigned char)name[0]);
        return true;
    }
    return false;
}

}  // namespace

bool parseScriptNumber(const char* text, int minimum, int* value) {
    char* end = nullptr;
    errno = 0;
    long parsed = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || parsed < minimum || parsed > 1000000000) {
        return false;
    }
    *value = (int)parsed;
    return true;
}

bool parseScriptEvent(const char* frame, const char* text, ScriptEvent* event) {
    *event = {0, CloseEvent, 0, 0};
    if (!parseScriptNumber(frame, 0, &event->frame)) {
        return false;
    }
    if (std::strncmp(text, "key:", 4) == 0) {
        event->kind = KeyEvent;
        return parseKey(text + 4, &event->a);
    }
    if (std::strncmp(text, "move:", 5) == 0) {
        event->kind = MoveEvent;
        return parsePair(text + 5, &event->a, &event->b);
    }
    if (std::strncmp(text, "click:", 6) == 0) {
        event->kind = ClickEvent;
        return parsePair(text + 6, &event->a, &event->b);
    }
    if (std::strncmp(text, "command:", 8) == 0) {
        event->kind = CommandEvent;
        return parseScriptNumber(text + 8, 0, &event->a) && event->a <= 65535;
    }
    return std::strcmp(text, "close") == 0;
}

// A move goes through the cursor, so it is confined as a real mouse is, and arrives as the
// WM_MOUSEMOVE of the cursor's new place.
void postScriptEvent(const ScriptEvent& event) {
    switch (event.kind) {
        case KeyEvent:
            PostMessageA(mainWindow, WM_KEYDOWN, (WPARAM)event.a, 1);
            PostMessageA(mainWindow, WM_KEYUP, (WPARAM)event.a, (LPARAM)0xC0000001u);
            break;
        case MoveEvent: {
            POINT point = {event.a, event.b};
            ClientToScreen(mainWindow, &point);
            SetCursorPos(point.x, point.y);
            break;
        }
        case ClickEvent:
            PostMessageA(mainWindow, WM_LBUTTONDOWN, 1, MAKELPARAM(event.a, event.b));
            PostMessageA(mainWindow, WM_LBUTTONUP, 0, MAKELPARAM(event.a, event.b));
            break;
        case CommandEvent:
            PostMessageA(mainWindow, WM_COMMAND, (WPARAM)event.a, 0);
            break;
        case CloseEvent:
            PostMessageA(mainWindow, WM_CLOSE, 0, 0);
            break;
    }
}

RandomScript::RandomScript(unsigned seed) : state(seed * 2654435761u + 0x9E3779B9u) {
    if (state == 0) {
        state = 1;
    }
}

int RandomScript::below(int n) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return (int)(state % (std::uint32_t)n);
}

bool RandomScript::next(int frame, ScriptEvent* event) {
    static const int keys[] = {'W', 'S', 'A', 'D', VK_UP,    VK_DOWN, 'B',      'C',      'F',
                               'Q', 'E', 'Z', '1', VK_SPACE, VK_LEFT, VK_RIGHT, VK_RETURN};
    static const int commands[] = {commandMenuLabel, 1, 40002};
    *event = {frame, KeyEvent, 0, 0};
    switch (below(8)) {
        case 0:
        case 1:
            event->a = keys[below(sizeof keys / sizeof keys[0])];
            return true;
        case 2:
        case 3:
            event->kind = MoveEvent;
            break;
        case 4:
            event->kind = ClickEvent;
            break;
        case 5:
            event->kind = CommandEvent;
            event->a = commands[below(3)];
            return true;
        default:
            return false;
    }
    event->a = below(clientRect.right);
    event->b = below(clientRect.bottom);
    return true;
}
