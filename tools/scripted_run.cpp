#include "tools/scripted_run.h"

#include "tools/whole_number.h"

#include <cctype>
#include <cstring>
#include <unordered_map>

namespace shim {

bool parseScriptedNumber(const std::string& text, int minimum, int maximum, int* value) {
    return readWholeNumber(text, minimum, maximum, Sign::refused, value) == NumberReading::number;
}

namespace {

bool parsePair(const std::string& text, int* x, int* y) {
    const std::string::size_type comma = text.find(',');
    return comma != std::string::npos && parseScriptedNumber(text.substr(0, comma), 0, 65535, x) &&
           parseScriptedNumber(text.substr(comma + 1), 0, 65535, y);
}

bool parseKey(const std::string& name, int* key) {
    static const struct {
        const char* name;
        int key;
    } named[] = {{"Escape", VK_ESCAPE}, {"Up", VK_UP},       {"Down", VK_DOWN},
                 {"Left", VK_LEFT},     {"Right", VK_RIGHT}, {"Space", VK_SPACE}};
    for (const auto& entry : named) {
        if (name == entry.name) {
            *key = entry.key;
            return true;
        }
    }
    if (name.size() == 1 && std::isalnum((unsigned char)name[0])) {
        *key = std::toupper((unsigned char)name[0]);
        return true;
    }
    return false;
}

bool startsWith(const std::string& text, const char* prefix, std::string* rest) {
    const size_t length = std::strlen(prefix);
    if (text.compare(0, length, prefix) != 0) {
        return false;
    }
    *rest = text.substr(length);
    return true;
}

// FRAME:EVENT, as the page's address gives it.
bool parseEvent(const std::string& text, ScriptedEvent* event) {
    const std::string::size_type colon = text.find(':');
    return colon != std::string::npos &&
           parseScriptedEvent(text.substr(0, colon), text.substr(colon + 1), event);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = (char)std::tolower((unsigned char)c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// As a browser decodes a query: a '%' without two hex digits after it stands for itself.
std::string percentDecode(const std::string& text) {
    std::string decoded;
    for (size_t i = 0; i < text.size(); ++i) {
        const int high = i + 2 < text.size() ? hexValue(text[i + 1]) : -1;
        const int low = i + 2 < text.size() ? hexValue(text[i + 2]) : -1;
        if (text[i] == '%' && high >= 0 && low >= 0) {
            decoded.push_back((char)(high * 16 + low));
            i += 2;
        } else {
            decoded.push_back(text[i] == '+' ? ' ' : text[i]);
        }
    }
    return decoded;
}

bool parseParameter(const std::string& name, const std::string& value, ScriptedRun* run) {
    if (name == "frames") {
        return parseScriptedNumber(value, 1, 1000000000, &run->frames);
    }
    if (name == "ms") {
        return parseScriptedNumber(value, 0, 1000000, &run->msPerFrame);
    }
    if (name == "inspect") {
        int inspect = 0;
        if (!parseScriptedNumber(value, 0, 1, &inspect)) {
            return false;
        }
        run->inspect = inspect == 1;
        return true;
    }
    if (name == "at") {
        ScriptedEvent event;
        if (!parseEvent(value, &event)) {
            return false;
        }
        run->events.push_back(event);
        return true;
    }
    // Not one of ours: an address may carry other parameters (a tracking one, say).
    return true;
}

int postedMessages(const ScriptedEvent& event) {
    switch (event.kind) {
        case ScriptedEvent::key:
        case ScriptedEvent::click:
            return 2;
        case ScriptedEvent::move:
            return 0;
        case ScriptedEvent::command:
        case ScriptedEvent::close:
            break;
    }
    return 1;
}

// "" when the script fits the run: no event after the last frame, and a queue that holds it.
std::string checkScript(const ScriptedRun& run) {
    for (const ScriptedEvent& event : run.events) {
        if (run.frames > 0 && event.frame >= run.frames) {
            return "script whose event at frame " + std::to_string(event.frame) +
                   " comes after the last frame (" + std::to_string(run.frames - 1) + ")";
        }
    }
    std::string crowded = checkScriptedQueue(run.events, 0);
    return crowded.empty() ? "" : "script whose " + crowded;
}

}  // namespace

std::string checkScriptedQueue(const std::vector<ScriptedEvent>& events, int spare) {
    std::unordered_map<int, int> messages;
    for (const ScriptedEvent& event : events) {
        int& count = messages[event.frame];
        count += postedMessages(event);
        if (count + spare > scriptedMessageLimit) {
            return "events before frame " + std::to_string(event.frame) + " post more than " +
                   std::to_string(scriptedMessageLimit - spare) +
                   " messages, which the message queue cannot hold";
        }
    }
    return "";
}

bool parseScriptedEvent(const std::string& frame, const std::string& what, ScriptedEvent* event) {
    if (!parseScriptedNumber(frame, 0, 1000000000, &event->frame)) {
        return false;
    }
    std::string rest;
    event->a = event->b = 0;
    if (startsWith(what, "key:", &rest)) {
        event->kind = ScriptedEvent::key;
        return parseKey(rest, &event->a);
    }
    if (startsWith(what, "move:", &rest) || startsWith(what, "click:", &rest)) {
        event->kind = what[0] == 'm' ? ScriptedEvent::move : ScriptedEvent::click;
        return parsePair(rest, &event->a, &event->b);
    }
    if (startsWith(what, "command:", &rest)) {
        event->kind = ScriptedEvent::command;
        return parseScriptedNumber(rest, 0, 65535, &event->a);
    }
    event->kind = ScriptedEvent::close;
    return what == "close";
}

bool parseScriptedRun(const std::string& query, ScriptedRun* run, std::string* error) {
    ScriptedRun parsed;
    size_t start = 0;
    while (start < query.size()) {
        size_t end = query.find('&', start);
        if (end == std::string::npos) {
            end = query.size();
        }
        const std::string parameter = query.substr(start, end - start);
        start = end + 1;
        if (parameter.empty()) {
            continue;
        }
        const std::string::size_type equals = parameter.find('=');
        const std::string name = percentDecode(parameter.substr(0, equals));
        const std::string value =
            equals == std::string::npos ? "" : percentDecode(parameter.substr(equals + 1));
        if (!parseParameter(name, value, &parsed)) {
            *error =
                "bad parameter '" + parameter + "' (frames=N, ms=N, at=FRAME:EVENT, inspect=1)";
            return false;
        }
    }
    std::string refusal = checkScript(parsed);
    if (!refusal.empty()) {
        *error = refusal;
        return false;
    }
    *run = parsed;
    return true;
}

void postScriptedEvent(HWND hwnd, const ScriptedEvent& event) {
    switch (event.kind) {
        case ScriptedEvent::key:
            PostMessageA(hwnd, WM_KEYDOWN, (WPARAM)event.a, 1);
            PostMessageA(hwnd, WM_KEYUP, (WPARAM)event.a, (LPARAM)0xC0000001u);
            break;
        case ScriptedEvent::move: {
            POINT point = {event.a, event.b};
            ClientToScreen(hwnd, &point);
            SetCursorPos(point.x, point.y);
            break;
        }
        case ScriptedEvent::click:
            PostMessageA(hwnd, WM_LBUTTONDOWN, 1, MAKELPARAM(event.a, event.b));
            PostMessageA(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(event.a, event.b));
            break;
        case ScriptedEvent::command:
            PostMessageA(hwnd, WM_COMMAND, (WPARAM)event.a, 0);
            break;
        case ScriptedEvent::close:
            PostMessageA(hwnd, WM_CLOSE, 0, 0);
            break;
    }
}

}  // namespace shim
