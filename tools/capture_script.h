// The input script of a capture: events posted to the program's main window just before
// given frames, as the real backend posts what the user does, and a seeded restless user.
#pragma once

#include <cstdint>

enum EventKind { KeyEvent, MoveEvent, ClickEvent, CommandEvent, CloseEvent };

struct ScriptEvent {
    int frame;
    EventKind kind;
    int a;  // the virtual key, the command, or x
    int b;  // y
};

// The whole of `text` as a whole number from `minimum` to 1,000,000,000.
bool parseScriptNumber(const char* text, int minimum, int* value);

// One `--at FRAME EVENT`: EVENT is key:NAME, move:X,Y, click:X,Y, command:ID or close, where
// NAME is a letter, a digit, Escape, Up, Down, Left, Right or Space.
bool parseScriptEvent(const char* frame, const char* text, ScriptEvent* event);

void postScriptEvent(const ScriptEvent& event);

// A generator of its own, so that a seed gives the same input on every machine.
class RandomScript {
  public:
    explicit RandomScript(unsigned seed);
    // What a restless user does in one frame, or false for nothing: every key but Escape,
    // moves, clicks and menu commands but Exit.
    bool next(int frame, ScriptEvent* event);

  private:
    int below(int n);
    std::uint32_t state;
};
