#include "tools/frames_viewer.h"

#include "tools/tool_files.h"

#include <cstdio>

namespace {

const char scriptName[] = "frames-viewer.js";
const char dataName[] = "frames-viewer-data.js";

bool differs(const ScenarioOutcome& outcome) {
    return outcome.verdict == ScenarioOutcome::differs && !outcome.referencePicture.empty() &&
           !outcome.framePicture.empty();
}

std::string base64(const std::vector<unsigned char>& bytes) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const unsigned group = (unsigned)bytes[i] << 16 |
                               (i + 1 < bytes.size() ? (unsigned)bytes[i + 1] << 8 : 0) |
                               (i + 2 < bytes.size() ? bytes[i + 2] : 0);
        text += digits[group >> 18 & 63];
        text += digits[group >> 12 & 63];
        text += i + 1 < bytes.size() ? digits[group >> 6 & 63] : '=';
        text += i + 2 < bytes.size() ? digits[group & 63] : '=';
    }
    return text;
}

// A picture the report wrote, as a data address; "" after saying why not in *failure.
std::string pictureAddress(const FramesReportSettings& settings, const std::string& name,
                           std::string* failure) {
    std::vector<unsigned char> bytes;
    *failure = readInputFile(settings.picturesFolder + "/" + name, &bytes);
    return failure->empty() ? "data:image/png;base64," + base64(bytes) : "";
}

std::string writeText(const std::string& path, const std::string& text) {
    return writeOutputFile(path, [&](std::FILE* stream) {
        return std::fwrite(text.data(), 1, text.size(), stream) == text.size();
    });
}

}  // namespace

std::string escapeScriptString(const std::string& text) {
    std::string escaped;
    for (unsigned char c : text) {
        if (c < 0x20 || c == '"' || c == '\\' || c == '<' || c == '>' || c == '&' || c == '\'') {
            char code[8];
            std::snprintf(code, sizeof code, "\\u%04x", c);
            escaped += code;
        } else {
            escaped += (char)c;
        }
    }
    return escaped;
}

std::string writeFramesViewer(const std::vector<ScenarioOutcome>& outcomes,
                              const FramesReportSettings& settings) {
    if (framesViewerTags(outcomes).empty()) {
        return "";
    }
    std::string data = "var quillonFrames = [];\n";
    for (const ScenarioOutcome& outcome : outcomes) {
        if (!differs(outcome)) {
            continue;
        }
        std::string failure;
        const std::string reference = pictureAddress(settings, outcome.referencePicture, &failure);
        const std::string frame =
            failure.empty() ? pictureAddress(settings, outcome.framePicture, &failure) : "";
        if (!failure.empty()) {
            return failure;
        }
        data += "quillonFrames.push({name: \"" + escapeScriptString(outcome.scenario.name) +
                "\", reference: \"" + reference + "\", frame: \"" + frame + "\"});\n";
    }
    std::string failure = writeText(settings.picturesFolder + "/" + dataName, data);
    return failure.empty()
               ? writeText(settings.picturesFolder + "/" + scriptName, framesViewerScript)
               : failure;
}

std::string framesViewerTags(const std::vector<ScenarioOutcome>& outcomes) {
    for (const ScenarioOutcome& outcome : outcomes) {
        if (differs(outcome)) {
            return std::string("<script src=\"") + dataName + "\"></script>\n<script src=\"" +
                   scriptName + "\"></script>\n";
        }
    }
    return "";
}
