// Whether the program will find its texture. The program goes on without one, silently, and
// draws the textured cubes not at all; the tools say so, and why.
#pragma once

#include <string>

// "" when the program, run in `folder` (which `shownAs` names for the user), reads
// marquetile.bmp; otherwise why it does not.
std::string textureProblem(const std::string& folder, const std::string& shownAs);
