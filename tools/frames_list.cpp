#include "tools/frames_list.h"

#include "tools/tool_files.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unordered_map>

namespace {

// Options the report gives the capture tool itself, or whose answer would change what the
// tool's exit status means.
const char* const reportOwnOptions[] = {"--out",   "--compare",      "--assets",
                                        "--every", "--check-memory", "--help"};

std::vector<std::string> wordsOf(const std::string& line) {
    std::vector<std::string> words;
    std::string::size_type start = line.find_first_not_of(" \t");
    while (start != std::string::npos) {
        std::string::size_type end = line.find_first_of(" \t", start);
        words.push_back(line.substr(start, end - start));
        start = line.find_first_not_of(" \t", end);
    }
    return words;
}

// A name becomes the names of files in the report and an anchor in its page.
std::string checkName(const std::string& name) {
    bool sound = name.size() <= 100 && name[0] != '.' && name[0] != '-';
    for (char c : name) {
        sound = sound && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.');
    }
    if (sound) {
        return "";
    }
    return "'" + name +
           "' cannot name a frame: a name is at most 100 letters, digits, '-', '_' and '.', "
           "and begins with neither '-' nor '.'";
}

std::string checkArguments(const std::vector<std::string>& arguments) {
    for (const std::string& argument : arguments) {
        for (const char* option : reportOwnOptions) {
            if (argument == option) {
                return argument + " is for the report to give; leave it out of the list";
            }
        }
    }
    return "";
}

// "" when the line is a scenario or says nothing; otherwise why not.
// `named` holds the line of every name taken so far.
std::string parseLine(const std::string& line, const std::unordered_map<std::string, int>& named,
                      FrameScenario* scenario) {
    std::vector<std::string> words = wordsOf(line);
    if (words.empty() || words[0][0] == '#') {
        return "";
    }
    if (line.find_first_of("\"'\\") != std::string::npos) {
        return "quotes and backslashes are not read here: a line is a name and words separated "
               "by spaces";
    }
    std::string refusal = checkName(words[0]);
    auto earlier = named.find(words[0]);
    if (refusal.empty() && earlier != named.end()) {
        refusal =
            "'" + words[0] + "' is named on line " + std::to_string(earlier->second) + " already";
    }
    scenario->name = words[0];
    scenario->arguments.assign(words.begin() + 1, words.end());
    return refusal.empty() ? checkArguments(scenario->arguments) : refusal;
}

bool isRegularFile(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

}  // namespace

std::vector<std::string> listLines(const std::string& text) {
    std::vector<std::string> lines;
    // A byte-order mark says the text is UTF-8, which it is either way.
    std::string::size_type start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (start < text.size()) {
        std::string::size_type end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? end : end - start);
        start = end == std::string::npos ? text.size() : end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

std::string parseFrameList(const std::string& text, const std::string& listName,
                           std::vector<FrameScenario>* scenarios) {
    std::string failures;
    std::unordered_map<std::string, int> named;
    const std::vector<std::string> lines = listLines(text);
    for (int number = 1; number <= static_cast<int>(lines.size()); ++number) {
        const std::string& line = lines[number - 1];
        FrameScenario scenario;
        scenario.line = number;
        std::string refusal = parseLine(line, named, &scenario);
        if (!refusal.empty()) {
            failures += listName + ":" + std::to_string(number) + ": " + refusal + "\n";
        } else if (!scenario.name.empty()) {
            named.emplace(scenario.name, number);
            scenarios->push_back(scenario);
        }
    }
    if (failures.empty() && scenarios->empty()) {
        failures = listName + ": the list names no frame\n";
    }
    return failures;
}

std::string readFrameList(const std::string& path, std::vector<FrameScenario>* scenarios) {
    std::vector<unsigned char> bytes;
    std::string failure = readInputFile(path, &bytes);
    if (!failure.empty()) {
        return failure + "\n";
    }
    if (std::memchr(bytes.data(), 0, bytes.size()) != nullptr) {
        return "'" + path + "' is not a list of frames: it holds a zero byte\n";
    }
    return parseFrameList(std::string(bytes.begin(), bytes.end()), path, scenarios);
}

std::string findReferences(const std::string& folder, std::vector<FrameScenario>* scenarios) {
    struct stat status;
    if (stat(folder.c_str(), &status) != 0) {
        return "cannot open the references folder '" + folder + "': " + std::strerror(errno) + "\n";
    }
    if (!S_ISDIR(status.st_mode)) {
        return "the references folder '" + folder + "' is not a folder\n";
    }
    std::string failures;
    for (FrameScenario& scenario : *scenarios) {
        std::string bmp = folder + "/" + scenario.name + ".bmp";
        std::string png = folder + "/" + scenario.name + ".png";
        bool hasBmp = isRegularFile(bmp), hasPng = isRegularFile(png);
        std::string where = "'" + scenario.name + "' (line " + std::to_string(scenario.line) + ")";
        if (hasBmp && hasPng) {
            failures +=
                "two references for " + where + ": '" + bmp + "' and '" + png + "'; keep one\n";
        } else if (!hasBmp && !hasPng) {
            failures += "no reference for " + where + ": neither '" + bmp + "' nor '" + png +
                        "' is a file\n";
        }
        scenario.reference = hasBmp ? bmp : png;
    }
    return failures;
}

std::string joinArguments(const std::vector<std::string>& arguments) {
    std::string joined;
    for (const std::string& argument : arguments) {
        joined += (joined.empty() ? "" : " ") + argument;
    }
    return joined;
}
