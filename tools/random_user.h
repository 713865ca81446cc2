// A seeded restless user for long runs: every frame it may press a key, move, click or choose
// a menu command, as the real backend would post them. A generator of its own, so that a seed
// gives the same input on every machine.
#pragma once

#include "tools/scripted_run.h"

#include <cstdint>

class RandomUser {
  public:
    explicit RandomUser(unsigned seed);
    // What the user does in one frame, or false for nothing: every key but Escape, moves,
    // clicks and menu commands but Exit.
    bool next(int frame, shim::ScriptedEvent* event);

  private:
    int below(int n);
    std::uint32_t state;
};
