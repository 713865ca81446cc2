// quillon-frames: renders every scenario of a list of frames with the capture tool, compares
// each frame with its reference and writes a report of pictures a person can look at.
#include "tools/whole_number.h"
#include "tools/frames_report.h"
#include "tools/tool_paths.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char usage[] =
    "usage: quillon-frames [OPTION]...\n"
    "Renders each scenario of a list of frames with the capture tool, compares every frame\n"
    "with its reference and writes a report: REPORT/index.html and its PNG pictures.\n"
    "The defaults are the project's, for a run from its top folder.\n"
    "\n"
    "  --frames-list FILE   the scenarios, one a line: a name, then the capture tool's\n"
    "                       arguments (default tests/golden/frames.list)\n"
    "  --references FOLDER  where NAME.bmp or NAME.png is each scenario's reference\n"
    "                       (default the list's folder)\n"
    "  --report DIR         where the report goes (default frames-report beside this tool)\n"
    "  --capture PATH       the capture tool (default quillon-capture beside this tool)\n"
    "  --assets DIR         the program's assets folder (default assets)\n"
    "  --time-limit SECONDS for each scenario, after which it counts as not rendered\n"
    "                       (default 60)\n"
    "  --known-mistakes FILE  the frames known mistakes render, one a line: the scenario,\n"
    "                       the frame's path, the mistake's title and its hint, separated\n"
    "                       by tabs. A differing frame identical to one is named so; else\n"
    "                       the closest is named when it differs in at most a quarter of\n"
    "                       the pixels the reference does\n"
    "  --help               this text\n"
    "\n"
    "Prints one line a scenario and the report's path.\n"
    "Exit status: 0 every frame identical, 1 any differs or was not rendered, 2 the report\n"
    "cannot be made (a bad list line, a missing reference, a bad argument).\n";

const char* const options[] = {"--frames-list", "--references", "--report",        "--capture",
                               "--assets",      "--time-limit", "--known-mistakes"};

bool isOption(const std::string& text) {
    for (const char* option : options) {
        if (text == option) {
            return true;
        }
    }
    return false;
}

// Whole seconds, from one to a day.
bool parseSeconds(const std::string& text, int* seconds) {
    return shim::readWholeNumber(text, 1, 86400, shim::Sign::refused, seconds) ==
           shim::NumberReading::number;
}

// "" when the option's value is taken; otherwise why not.
std::string takeOption(const std::string& option, const std::string& value,
                       FramesReportSettings* settings) {
    if (option == "--time-limit") {
        return parseSeconds(value, &settings->timeLimitSeconds)
                   ? ""
                   : "--time-limit takes whole seconds from 1 to 86400, not '" + value + "'";
    }
    std::string* path = option == "--frames-list"      ? &settings->listPath
                        : option == "--references"     ? &settings->referencesFolder
                        : option == "--report"         ? &settings->reportFolder
                        : option == "--capture"        ? &settings->capturePath
                        : option == "--known-mistakes" ? &settings->knownMistakesPath
                                                       : &settings->assetsFolder;
    *path = value;
    return value.empty() ? option + " needs a path" : "";
}

// 0 when the arguments parse; 1 after --help; otherwise says why and returns 2.
int parseArguments(int argc, char** argv, FramesReportSettings* settings) {
    for (int i = 1; i < argc; i += 2) {
        std::string option = argv[i], failure;
        if (option == "--help") {
            std::fputs(usage, stdout);
            return 1;
        }
        if (!isOption(option)) {
            failure = "unknown argument '" + option + "' (try --help)";
        } else if (i + 1 >= argc) {
            failure = option + " needs a value";
        } else {
            failure = takeOption(option, argv[i + 1], settings);
        }
        if (!failure.empty()) {
            std::fprintf(stderr, "quillon-frames: %s\n", terminalText(failure).c_str());
            return 2;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    FramesReportSettings settings;
    settings.listPath = "tests/golden/frames.list";
    settings.reportFolder = programFolder() + "/frames-report";
    settings.capturePath = programFolder() + "/quillon-capture" + executableSuffix;
    settings.assetsFolder = "assets";
    int parsed = parseArguments(argc, argv, &settings);
    if (parsed != 0) {
        return parsed == 1 ? 0 : 2;
    }
    return writeFramesReport(settings, stdout);
}
