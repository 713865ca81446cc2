// A list of frames to check: one scenario a line, its name and then the capture tool's arguments
// that render it, as in tests/golden/frames.list. Blank lines and lines whose first word begins
// with '#' say nothing. The reference of scenario NAME is NAME.bmp or NAME.png in a folder.
#pragma once

#include <string>
#include <vector>

struct FrameScenario {
    std::string name;
    std::vector<std::string> arguments;
    int line = 0;
    std::string reference;  // the reference's path, once found
};

// The lines of a list's text, without a leading byte-order mark or the CR of CRLF endings.
std::vector<std::string> listLines(const std::string& text);

// The scenarios of the list's text; "" when every line holds, otherwise one reason a line,
// each beginning "LISTNAME:LINE: ".
std::string parseFrameList(const std::string& text, const std::string& listName,
                           std::vector<FrameScenario>* scenarios);

// Reads and parses the list at `path` ("-" is standard input).
std::string readFrameList(const std::string& path, std::vector<FrameScenario>* scenarios);

// Finds every scenario's reference in `folder`; "" when each has exactly one, otherwise one
// reason a scenario.
std::string findReferences(const std::string& folder, std::vector<FrameScenario>* scenarios);

// The arguments as they stand in the list, separated by spaces.
std::string joinArguments(const std::vector<std::string>& arguments);
