#include "tools/known_mistakes.h"

#include "tools/frames_list.h"
#include "tools/tool_files.h"
#include "tools/tool_paths.h"

namespace {

// A list of a few hundred frames is a large class's; more is no list of these.
constexpr std::size_t mostFrames = 10000;

std::vector<std::string> fieldsOf(const std::string& line) {
    std::vector<std::string> fields;
    std::string::size_type start = 0;
    for (;;) {
        std::string::size_type end = line.find('\t', start);
        fields.push_back(line.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) {
            return fields;
        }
        start = end + 1;
    }
}

bool holdsControlCharacters(const std::string& text) {
    for (char c : text) {
        if ((unsigned char)c < 0x20 || c == 0x7f) {
            return true;
        }
    }
    return false;
}

// "" when the line is a mistake's frame or says nothing; otherwise why not.
std::string parseLine(const std::string& line, const std::string& folder,
                      KnownMistakeFrame* frame) {
    if (line.empty() || line[0] == '#') {
        return "";
    }
    std::vector<std::string> fields = fieldsOf(line);
    if (fields.size() != 4) {
        return "a line is four fields separated by tabs (scenario, frame, title, hint), not " +
               std::to_string(fields.size());
    }
    for (const std::string& field : fields) {
        if (holdsControlCharacters(field)) {
            return "a field holds a control character";
        }
    }
    if (fields[0].empty() || fields[1].empty() || fields[2].empty()) {
        return "the scenario, the frame and the title are never empty";
    }
    frame->scenario = fields[0];
    frame->framePath = rootLength(fields[1]) > 0 ? fields[1] : folder + "/" + fields[1];
    frame->title = fields[2];
    frame->hint = fields[3];
    return "";
}

}  // namespace

std::string parseKnownMistakes(const std::string& text, const std::string& listName,
                               const std::string& folder, std::vector<KnownMistakeFrame>* frames) {
    std::string failures;
    const std::vector<std::string> lines = listLines(text);
    for (int number = 1; number <= static_cast<int>(lines.size()); ++number) {
        const std::string& line = lines[number - 1];
        KnownMistakeFrame frame;
        std::string refusal = parseLine(line, folder, &frame);
        if (refusal.empty() && !frame.scenario.empty() && frames->size() >= mostFrames) {
            refusal = "more than " + std::to_string(mostFrames) + " frames";
        }
        if (!refusal.empty()) {
            failures += listName + ":" + std::to_string(number) + ": " + refusal + "\n";
        } else if (!frame.scenario.empty()) {
            frames->push_back(frame);
        }
    }
    return failures;
}

std::string readKnownMistakes(const std::string& path, std::vector<KnownMistakeFrame>* frames) {
    std::vector<unsigned char> bytes;
    std::string failure = readRegularFile(path, &bytes);
    if (!failure.empty()) {
        return failure + "\n";
    }
    return parseKnownMistakes(std::string(bytes.begin(), bytes.end()), path, folderOfPath(path),
                              frames);
}

MistakeMatch chooseMistake(int closest, long closestDiffering, long referenceDiffering) {
    MistakeMatch match;
    if (closest >= 0 && (closestDiffering == 0 || closestDiffering * 4 <= referenceDiffering)) {
        match.index = closest;
        match.differing = closestDiffering;
    }
    return match;
}

std::string describeMistake(const KnownMistakeFrame& mistake, long differing,
                            long referenceDiffering) {
    std::string hint = mistake.hint.empty() ? "" : "; hint: " + mistake.hint;
    if (differing == 0) {
        return "Known mistake: " + mistake.title + hint;
    }
    auto pixels = [](long count) {
        return std::to_string(count) + (count == 1 ? " pixel differs" : " pixels differ");
    };
    return "Closest known mistake: " + mistake.title + " (" + pixels(differing) +
           " from its frame, " + std::to_string(referenceDiffering) + " from the reference)" + hint;
}
