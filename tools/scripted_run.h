// A run of the program on a simulated clock with scripted input, as the web page takes it from
// its address: `frames=N` stops after N frames, `ms=N` makes every frame last N simulated
// milliseconds, and each `at=FRAME:EVENT` posts EVENT just before frame FRAME (from 0). EVENT
// is the capture tool's: key:NAME, move:X,Y, click:X,Y, command:ID or close, where NAME is a
// letter, a digit, Escape, Up, Down, Left, Right or Space, and X,Y are client coordinates.
// `inspect=1` starts the program to inspect, as `quillon --inspect` (`inspect=0` plainly).
#pragma once

#include "platform/win32/win32.h"

#include <string>
#include <vector>

namespace shim {

struct ScriptedEvent {
    enum Kind { key, move, click, command, close };
    int frame;
    Kind kind;
    int a;  // the virtual key, the command, or x
    int b;  // y
};

struct ScriptedRun {
    int frames = 0;       // 0: runs until the program ends
    int msPerFrame = -1;  // -1: the real clock
    std::vector<ScriptedEvent> events;
    bool inspect = false;
};

// The whole of `text` as a number from `minimum` to `maximum`: digits only, no sign or space.
bool parseScriptedNumber(const std::string& text, int minimum, int maximum, int* value);

// One event of a script: FRAME, then EVENT as above. The capture tool's `--at FRAME EVENT` and
// the page's `at=FRAME:EVENT` both come here.
bool parseScriptedEvent(const std::string& frame, const std::string& text, ScriptedEvent* event);

// The posted messages one frame's events may make: as many as a Windows queue holds waiting.
constexpr int scriptedMessageLimit = 10000;

// "" when the events of each frame, with `spare` more messages a frame, fit the queue; otherwise
// why not. A queue that is full drops the rest without a word.
std::string checkScriptedQueue(const std::vector<ScriptedEvent>& events, int spare);

// Parses a query string without its '?' (parameters separated by '&', percent-escapes
// allowed). Parameters of other names than the above are left alone; an address without ours
// is the real program on the real clock. On a bad parameter of ours, an event after the last
// frame or a script the message queue cannot hold returns false, names it
// in `error`, and leaves `run` as it was.
bool parseScriptedRun(const std::string& query, ScriptedRun* run, std::string* error);

// Posts the event to the window as the capture tool does: a key goes down and up, a move goes
// through the cursor (so it is confined as a real mouse is), a click goes down and up.
void postScriptedEvent(HWND hwnd, const ScriptedEvent& event);

}  // namespace shim
