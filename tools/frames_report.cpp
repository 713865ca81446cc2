#include "tools/frames_report.h"

#include "bitmap/picture_file.h"
#include "tools/child_process.h"
#include "tools/frames_page.h"
#include "tools/frames_viewer.h"
#include "tools/picture_output.h"
#include "tools/tool_files.h"
#include "tools/tool_paths.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Eight times 80 x 60 pixels of the frame: a crop as large as a frame on the page.
constexpr int cropScale = 8;
constexpr int cropWidth = 80;
constexpr int cropHeight = 60;

// Makes the folder and those above it that are missing; "" when it is there.
std::string makeFolder(const std::string& path) {
    std::string::size_type first = std::max<std::string::size_type>(rootLength(path), 1);
    for (auto slash = path.find_first_of(pathSeparators, first);;
         slash = path.find_first_of(pathSeparators, slash + 1)) {
        std::string part = path.substr(0, slash);
        if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
            return "cannot make the report folder '" + part + "': " + std::strerror(errno);
        }
        if (slash == std::string::npos) {
            break;
        }
    }
    struct stat status;
    if (stat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        return "the report folder '" + path + "' is not a folder";
    }
    return "";
}

std::string realFolder(const std::string& path) {
    char* real = realpath(path.c_str(), nullptr);
    std::string resolved = real != nullptr ? real : path;
    std::free(real);
    return resolved;
}

// What must hold before any scenario is rendered; "" when it does.
std::string checkSettings(const FramesReportSettings& settings) {
    if (access(settings.capturePath.c_str(), X_OK) != 0) {
        return "cannot run the capture tool '" + settings.capturePath +
               "': " + std::strerror(errno) + "; give its path with --capture";
    }
    struct stat status;
    std::string texture = settings.assetsFolder + "/marquetile.bmp";
    if (stat(texture.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return "no marquetile.bmp in the assets folder '" + settings.assetsFolder +
               "'; give the program's assets folder with --assets";
    }
    std::string failure = makeFolder(settings.reportFolder);
    if (!failure.empty()) {
        return failure;
    }
    std::string report = realFolder(settings.reportFolder);
    if (report == realFolder(settings.referencesFolder) ||
        report == realFolder(folderOfPath(settings.listPath))) {
        return "the report folder '" + settings.reportFolder +
               "' holds the list or the references; write the report elsewhere";
    }
    return "";
}

std::string firstLine(const std::string& text) {
    std::string::size_type start = text.find_first_not_of("\n");
    if (start == std::string::npos) {
        return "";
    }
    return text.substr(start, text.find('\n', start) - start);
}

// Runs the capture tool for the scenario; false, with the verdict and its reason, when no
// frame came of it.
bool renderScenario(const FramesReportSettings& settings, ScenarioOutcome* outcome) {
    const FrameScenario& scenario = outcome->scenario;
    std::vector<std::string> command = {settings.capturePath};
    command.insert(command.end(), scenario.arguments.begin(), scenario.arguments.end());
    outcome->framePicture = scenario.name + "-frame.png";
    command.insert(command.end(), {"--assets", settings.assetsFolder, "--out",
                                   settings.reportFolder + "/" + outcome->framePicture});
    ChildRun run = runChild(command, settings.timeLimitSeconds);
    if (run.outcome == ChildRun::exited && run.status == 0) {
        return true;
    }
    outcome->framePicture.clear();
    outcome->captureOutput = run.outcome == ChildRun::notStarted ? "" : run.output;
    // Status 2 is the capture tool's refusal of its arguments or files; anything else is the
    // program failing.
    bool refused = run.outcome == ChildRun::exited && run.status == 2;
    outcome->verdict = refused ? ScenarioOutcome::cannotRun : ScenarioOutcome::notRendered;
    outcome->reason = "the capture tool " + describeChildRun(run, settings.timeLimitSeconds);
    std::string said = firstLine(outcome->captureOutput);
    if (!said.empty()) {
        outcome->reason += ": " + said;
    }
    return false;
}

// Reads a picture as 24 bits a pixel; "" when read, otherwise why not.
std::string readTrueColour(const std::string& path, NBitmap* picture) {
    OwnedBitmap imported;
    PictureImport import = importPictureFile(&imported.picture, path.c_str());
    if (!import.read()) {
        return "cannot read '" + path + "': " + import.failure;
    }
    if (!toTrueColour(imported.picture, picture)) {
        return "cannot read '" + path + "': out of memory";
    }
    return "";
}

// Writes a picture into the report folder; false, with the scenario unable to run, when that
// fails.
bool writePicture(const FramesReportSettings& settings, const NBitmap& picture,
                  const std::string& name, std::string* written, ScenarioOutcome* outcome) {
    std::string failure = writePictureOutput(picture, false, settings.reportFolder + "/" + name);
    if (!failure.empty()) {
        outcome->verdict = ScenarioOutcome::cannotRun;
        outcome->reason = failure;
        return false;
    }
    *written = name;
    return true;
}

// The pictures of a frame that differs: the difference and both crops.
void showDifferences(const FramesReportSettings& settings, const NBitmap& reference,
                     const NBitmap& frame, ScenarioOutcome* outcome) {
    const std::string& name = outcome->scenario.name;
    outcome->crop =
        chooseCrop(outcome->differences, frame.width(), frame.height(), cropWidth, cropHeight);
    outcome->cropScale = cropScale;
    OwnedBitmap difference, referenceCrop, frameCrop;
    bool made =
        makeDifferencePicture(reference, frame, outcome->crop, &difference.picture) &&
        makeMagnifiedCrop(reference, reference, frame, outcome->crop, cropScale,
                          &referenceCrop.picture) &&
        makeMagnifiedCrop(frame, reference, frame, outcome->crop, cropScale, &frameCrop.picture);
    if (!made) {
        outcome->verdict = ScenarioOutcome::cannotRun;
        outcome->reason = "out of memory for the difference pictures";
        return;
    }
    if (writePicture(settings, difference.picture, name + "-difference.png",
                     &outcome->differencePicture, outcome) &&
        writePicture(settings, referenceCrop.picture, name + "-reference-crop.png",
                     &outcome->referenceCrop, outcome)) {
        writePicture(settings, frameCrop.picture, name + "-frame-crop.png", &outcome->frameCrop,
                     outcome);
    }
}

void compareScenario(const FramesReportSettings& settings, ScenarioOutcome* outcome) {
    OwnedBitmap reference, frame;
    outcome->reason = readTrueColour(outcome->scenario.reference, &reference.picture);
    if (outcome->reason.empty()) {
        outcome->reason =
            readTrueColour(settings.reportFolder + "/" + outcome->framePicture, &frame.picture);
    }
    if (!outcome->reason.empty()) {
        outcome->verdict = ScenarioOutcome::cannotRun;
        return;
    }
    outcome->width = frame.picture.width();
    outcome->height = frame.picture.height();
    outcome->referenceWidth = reference.picture.width();
    outcome->referenceHeight = reference.picture.height();
    if (outcome->width != outcome->referenceWidth || outcome->height != outcome->referenceHeight) {
        outcome->verdict = ScenarioOutcome::sizesDiffer;
        outcome->reason = "the frame is " + std::to_string(outcome->width) + " x " +
                          std::to_string(outcome->height) + " pixels, the reference " +
                          std::to_string(outcome->referenceWidth) + " x " +
                          std::to_string(outcome->referenceHeight);
    } else {
        outcome->differences = compareFrames(reference.picture, frame.picture);
        outcome->kinds = classifyDifferences(reference.picture, frame.picture);
        outcome->verdict =
            outcome->differences.count == 0 ? ScenarioOutcome::identical : ScenarioOutcome::differs;
    }
    if (outcome->verdict == ScenarioOutcome::identical ||
        !writePicture(settings, reference.picture, outcome->scenario.name + "-reference.png",
                      &outcome->referencePicture, outcome)) {
        return;
    }
    if (outcome->verdict == ScenarioOutcome::differs) {
        showDifferences(settings, reference.picture, frame.picture, outcome);
    }
}

std::string verdictLine(const ScenarioOutcome& outcome) {
    const FrameDifferences& d = outcome.differences;
    switch (outcome.verdict) {
        case ScenarioOutcome::identical:
            return "identical";
        case ScenarioOutcome::differs:
            return std::to_string(d.count) + (d.count == 1 ? " pixel differs" : " pixels differ") +
                   ", the first at (" + std::to_string(d.firstX) + ", " + std::to_string(d.firstY) +
                   ")";
        case ScenarioOutcome::sizesDiffer:
            return outcome.reason;
        case ScenarioOutcome::notRendered:
            return "not rendered: " + outcome.reason;
        case ScenarioOutcome::cannotRun:
            break;
    }
    return "cannot run: " + outcome.reason;
}

int exitStatusOf(const std::vector<ScenarioOutcome>& outcomes) {
    int status = 0;
    for (const ScenarioOutcome& outcome : outcomes) {
        if (outcome.verdict == ScenarioOutcome::cannotRun) {
            return 2;
        }
        if (outcome.verdict != ScenarioOutcome::identical) {
            status = 1;
        }
    }
    return status;
}

// Every scenario, its line printed as soon as it is known.
std::vector<ScenarioOutcome> checkScenarios(const FramesReportSettings& settings,
                                            const std::vector<FrameScenario>& scenarios,
                                            std::FILE* out) {
    std::vector<ScenarioOutcome> outcomes;
    for (const FrameScenario& scenario : scenarios) {
        ScenarioOutcome outcome;
        outcome.scenario = scenario;
        if (renderScenario(settings, &outcome)) {
            compareScenario(settings, &outcome);
        }
        std::fprintf(out, "%s: %s\n", scenario.name.c_str(), verdictLine(outcome).c_str());
        if (outcome.verdict == ScenarioOutcome::differs) {
            std::fprintf(out, "  %s\n", describeDifferenceKinds(outcome.kinds).c_str());
        }
        std::fflush(out);
        outcomes.push_back(outcome);
    }
    return outcomes;
}

// One line of stderr for each line of `reasons`.
void printReasons(const std::string& reasons) {
    std::string::size_type start = 0;
    while (start < reasons.size()) {
        std::string::size_type end = std::min(reasons.find('\n', start), reasons.size());
        std::fprintf(stderr, "quillon-frames: %s\n", reasons.substr(start, end - start).c_str());
        start = end + 1;
    }
}

}  // namespace

int writeFramesReport(FramesReportSettings settings, std::FILE* out) {
    if (settings.referencesFolder.empty()) {
        settings.referencesFolder = folderOfPath(settings.listPath);
    }
    std::vector<FrameScenario> scenarios;
    std::string failures = readFrameList(settings.listPath, &scenarios);
    if (failures.empty()) {
        failures = findReferences(settings.referencesFolder, &scenarios);
    }
    if (failures.empty()) {
        failures = checkSettings(settings);
    }
    if (!failures.empty()) {
        printReasons(failures);
        return 2;
    }
    std::vector<ScenarioOutcome> outcomes = checkScenarios(settings, scenarios, out);
    std::string page = framesReportPage(outcomes, settings);
    std::string path = settings.reportFolder + "/index.html";
    std::string failure = writeFramesViewer(outcomes, settings);
    if (failure.empty()) {
        failure = writeOutputFile(path, [&](std::FILE* stream) {
            return std::fwrite(page.data(), 1, page.size(), stream) == page.size();
        });
    }
    if (!failure.empty()) {
        std::fprintf(stderr, "quillon-frames: %s\n", failure.c_str());
        return 2;
    }
    std::fprintf(out, "%s\nreport: %s\n", framesSummary(outcomes).c_str(), path.c_str());
    return exitStatusOf(outcomes);
}
