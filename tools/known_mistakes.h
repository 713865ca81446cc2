// The frames known mistakes render, so that a report can tell a student which mistake a frame
// shows. A list of them holds one frame a line, four fields separated by tabs:
//   SCENARIO  FRAME  TITLE  HINT
// the scenario's name, the path of the frame the mistake renders for it (relative to the list's
// folder unless it begins with '/'), the mistake's title and the hint the teacher wrote for it.
// Blank lines and lines beginning with '#' say nothing.
#pragma once

#include <string>
#include <vector>

struct KnownMistakeFrame {
    std::string scenario;
    std::string framePath;
    std::string title;
    std::string hint;
};

// The frames of the list's text; "" when every line holds, otherwise one reason a line, each
// beginning "LISTNAME:LINE: ". `folder` is where relative frame paths start.
std::string parseKnownMistakes(const std::string& text, const std::string& listName,
                               const std::string& folder, std::vector<KnownMistakeFrame>* frames);

// Reads and parses the list, a regular file, at `path`.
std::string readKnownMistakes(const std::string& path, std::vector<KnownMistakeFrame>* frames);

// A frame against the known mistakes' frames of its scenario: the one it is identical to, or
// the closest when that is much closer than the reference, at most a quarter of the
// reference's differing pixels; otherwise none.
struct MistakeMatch {
    int index = -1;  // into the candidates, -1 for none
    long differing = 0;
};
MistakeMatch chooseMistake(int closest, long closestDiffering, long referenceDiffering);

// "Known mistake: TITLE; hint: HINT" for an identical frame, otherwise
// "Closest known mistake: TITLE (N pixels differ from its frame, M from the reference); hint:
// HINT".
std::string describeMistake(const KnownMistakeFrame& mistake, long differing,
                            long referenceDiffering);
