#include "tools/frames_report.h"

#include "bitmap/picture_file.h"
#include "tools/child_process.h"
#include "tools/frames_folder.h"
#include "tools/frames_page.h"
#include "tools/frames_viewer.h"
#include "tools/interruptions.h"
#include "tools/picture_output.h"
#include "tools/texture_check.h"
#include "tools/tool_files.h"
#include "tools/tool_paths.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sys/stat.h>

namespace {

// Eight times 80 x 60 pixels of the frame: a crop as large as a frame on the page.
constexpr int cropScale = 8;
constexpr int cropWidth = 80;
constexpr int cropHeight = 60;

// "" when the capture tool is a program the system can start; otherwise the refusal.
std::string checkCaptureTool(const std::string& path) {
    std::string problem = programProblem(path);
    return problem.empty() ? ""
                           : "cannot run the capture tool '" + path + "': " + problem +
                                 "; give its path with --capture";
}

// What must hold before any scenario is rendered; "" when it does. A texture the program would
// not read is said, and the run goes on: the frames then show the program as it is.
std::string checkSettings(const FramesReportSettings& settings) {
    std::string failure = checkCaptureTool(settings.capturePath);
    if (!failure.empty()) {
        return failure;
    }
    struct stat status;
    std::string texture = settings.assetsFolder + "/marquetile.bmp";
    if (stat(texture.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return "no marquetile.bmp in the assets folder '" + settings.assetsFolder +
               "'; give the program's assets folder with --assets";
    }
    std::string problem = textureProblem(settings.assetsFolder, settings.assetsFolder);
    if (!problem.empty()) {
        std::fprintf(stderr, "quillon-frames: the texture is not read, so the frames lack it: %s\n",
                     terminalText(problem).c_str());
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
                                   settings.picturesFolder + "/" + outcome->framePicture});
    ChildRun run = runChild(command, settings.timeLimitSeconds,
                            [] { return pendingInterruption() != nullptr; });
    struct stat frame;
    std::string framePath = settings.picturesFolder + "/" + outcome->framePicture;
    if (run.outcome == ChildRun::exited && run.status == 0 &&
        lstat(framePath.c_str(), &frame) == 0 && S_ISREG(frame.st_mode)) {
        return true;
    }
    outcome->framePicture.clear();
    if (run.outcome == ChildRun::stopped || run.outcome == ChildRun::notStarted) {
        outcome->verdict = ScenarioOutcome::stopped;
        outcome->reason = "cannot run the capture tool '" + settings.capturePath +
                          "': " + run.output + "; give its path with --capture";
        return false;
    }
    outcome->captureOutput = run.outcome == ChildRun::notStarted ? "" : run.output;
    // Status 2 is the capture tool's refusal of its arguments or files; anything else is the
    // program failing.
    bool refused = run.outcome == ChildRun::exited && run.status == 2;
    outcome->verdict = refused ? ScenarioOutcome::cannotRun : ScenarioOutcome::notRendered;
    outcome->reason =
        "the capture tool " + describeChildRun(run, settings.timeLimitSeconds) +
        (run.outcome == ChildRun::exited && run.status == 0 ? " and made no frame" : "");
    std::string said = firstLine(outcome->captureOutput);
    if (!said.empty()) {
        outcome->reason += ": " + said;
    }
    return false;
}

// The lines of the capture tool's output from "pixel X,Y" to the "final" line after it; "" when
// it holds none.
std::string storyLines(const std::string& output, const std::string& heading) {
    std::string::size_type start = output.find(heading);
    if (start == std::string::npos || (start > 0 && output[start - 1] != '\n')) {
        return "";
    }
    start += heading.size();
    std::string::size_type final = output.find("\nfinal ", start - 1);
    if (final == std::string::npos) {
        return "";
    }
    std::string::size_type end = output.find('\n', final + 1);
    return output.substr(start, (end == std::string::npos ? output.size() : end) - start);
}

// Renders the scenario again, asking the capture tool for the story of the first differing
// pixel: every write and refused write it received in the last frame.
void tellFirstPixelStory(const FramesReportSettings& settings, ScenarioOutcome* outcome) {
    const FrameScenario& scenario = outcome->scenario;
    const std::string pixel = std::to_string(outcome->differences.firstX) + "," +
                              std::to_string(outcome->differences.firstY);
    const std::string storyFrame = settings.picturesFolder + "/" + scenario.name + "-story.png";
    std::vector<std::string> command = {settings.capturePath};
    command.insert(command.end(), scenario.arguments.begin(), scenario.arguments.end());
    command.insert(command.end(),
                   {"--assets", settings.assetsFolder, "--out", storyFrame, "--pixel", pixel});
    ChildRun run =
        runChild(command, settings.timeLimitSeconds, [] { return pendingInterruption() != nullptr; });
    std::remove(storyFrame.c_str());
    if (run.outcome == ChildRun::exited && run.status == 0) {
        outcome->pixelStory = storyLines(run.output, "pixel " + pixel + "\n");
    }
    if (outcome->pixelStory.empty()) {
        outcome->pixelStory =
            "not told: the capture tool " + describeChildRun(run, settings.timeLimitSeconds) +
            (run.outcome == ChildRun::exited && run.status == 0 ? " and told no story of the pixel"
                                                                : "");
    }
}

// Reads a picture as 24 bits a pixel; "" when read, otherwise why not.
std::string readTrueColour(const std::string& path, NBitmap* picture) {
    OwnedBitmap imported;
    std::vector<unsigned char> bytes;
    std::string failure = readRegularFile(path, &bytes);
    if (!failure.empty()) {
        return failure;
    }
    PictureImport import = importPicture(&imported.picture, bytes.data(), bytes.size());
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
    std::string failure = writePictureOutput(picture, false, settings.picturesFolder + "/" + name);
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

// A reference of another size is shown when the PNG writer takes it; one it does not (wider
// than it writes, say) leaves the verdict what it is, a difference in size.
void showReferenceOfOtherSize(const FramesReportSettings& settings, const NBitmap& reference,
                              ScenarioOutcome* outcome) {
    std::string name = outcome->scenario.name + "-reference.png";
    std::string failure =
        writePictureOutput(reference, false, settings.picturesFolder + "/" + name);
    if (failure.empty()) {
        outcome->referencePicture = name;
    } else {
        outcome->reason +=
            "; the reference is not shown: " + failure.substr(failure.rfind(": ") + 2);
    }
}

// Which known mistake of the scenario, if any, the frame shows.
void recogniseMistake(const FramesReportSettings& settings, const NBitmap& frame,
                      ScenarioOutcome* outcome) {
    std::vector<const KnownMistakeFrame*> mistakes;
    std::vector<std::unique_ptr<OwnedBitmap>> pictures;
    std::vector<const NBitmap*> candidates;
    for (const KnownMistakeFrame& mistake : settings.knownMistakes) {
        if (mistake.scenario != outcome->scenario.name) {
            continue;
        }
        pictures.push_back(std::make_unique<OwnedBitmap>());
        std::string failure = readTrueColour(mistake.framePath, &pictures.back()->picture);
        if (!failure.empty()) {
            outcome->mistakeProblems += "a known mistake's frame is left out: " + failure + "\n";
            pictures.pop_back();
            continue;
        }
        mistakes.push_back(&mistake);
        candidates.push_back(&pictures.back()->picture);
    }
    long differing = 0;
    int closest = closestFrame(frame, candidates, &differing);
    MistakeMatch match = chooseMistake(closest, differing, outcome->differences.count);
    if (match.index >= 0) {
        outcome->mistake =
            describeMistake(*mistakes[match.index], match.differing, outcome->differences.count);
    }
}

void compareScenario(const FramesReportSettings& settings, ScenarioOutcome* outcome) {
    OwnedBitmap reference, frame;
    outcome->reason = readTrueColour(outcome->scenario.reference, &reference.picture);
    if (outcome->reason.empty()) {
        outcome->reason =
            readTrueColour(settings.picturesFolder + "/" + outcome->framePicture, &frame.picture);
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
        if (outcome->verdict == ScenarioOutcome::differs) {
            recogniseMistake(settings, frame.picture, outcome);
            tellFirstPixelStory(settings, outcome);
        }
    }
    if (outcome->verdict == ScenarioOutcome::sizesDiffer) {
        showReferenceOfOtherSize(settings, reference.picture, outcome);
    } else if (outcome->verdict == ScenarioOutcome::differs &&
               writePicture(settings, reference.picture, outcome->scenario.name + "-reference.png",
                            &outcome->referencePicture, outcome)) {
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
        case ScenarioOutcome::stopped:
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

// One line of stderr for each line of `reasons`.
void printReasons(const std::string& reasons) {
    std::string::size_type start = 0;
    while (start < reasons.size()) {
        std::string::size_type end = std::min(reasons.find('\n', start), reasons.size());
        std::fprintf(stderr, "quillon-frames: %s\n",
                     terminalText(reasons.substr(start, end - start)).c_str());
        start = end + 1;
    }
}

// Every scenario, its line printed as soon as it is known, until one is stopped: the last
// outcome is then that one, with the reason.
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
        outcomes.push_back(outcome);
        if (outcome.verdict == ScenarioOutcome::stopped || pendingInterruption() != nullptr) {
            outcomes.back().verdict = ScenarioOutcome::stopped;
            break;
        }
        std::fprintf(out, "%s: %s\n", scenario.name.c_str(),
                     terminalText(verdictLine(outcome)).c_str());
        if (outcome.verdict == ScenarioOutcome::differs) {
            std::fprintf(out, "  %s\n", describeDifferenceKinds(outcome.kinds).c_str());
        }
        if (!outcome.mistake.empty()) {
            std::fprintf(out, "  %s\n", terminalText(outcome.mistake).c_str());
        }
        printReasons(outcome.mistakeProblems);
        std::fflush(out);
    }
    return outcomes;
}

// The page that stands while the run goes on; it claims nothing.
std::string inProgressPage() {
    return framesNoticePage("a run in progress",
                            "This run has not finished: no frame is judged yet. The page is "
                            "replaced by the report when it ends.");
}

// What the page and the terminal say when the run stops before its end. A signal that stopped
// it ends the process once the folder is let go; otherwise the status is 2.
int reportStop(ReportFolder* report, const std::string& reason) {
    const char* signal = pendingInterruption();
    std::string said = signal != nullptr
                           ? std::string("interrupted by ") + signal + "; no frame is judged"
                           : reason;
    putPageInPlace(report,
                   framesNoticePage(signal != nullptr ? "a run interrupted" : "a run refused",
                                    "This run ended before its report: " + said + "."));
    printReasons(said);
    return 2;
}

// Renders and compares every scenario in the folder, held; the exit status.
int runScenarios(FramesReportSettings settings, const std::vector<FrameScenario>& scenarios,
                 std::FILE* out) {
    ReportFolder report;
    std::string failure = takeReportFolder(settings.reportFolder, inProgressPage(), &report);
    if (!failure.empty()) {
        printReasons(failure);
        return 2;
    }
    settings.picturesFolder = report.runPath;
    std::vector<ScenarioOutcome> outcomes = checkScenarios(settings, scenarios, out);
    int status = 0;
    std::string path = settings.reportFolder + "/index.html";
    if (!outcomes.empty() && outcomes.back().verdict == ScenarioOutcome::stopped) {
        status = reportStop(&report, outcomes.back().reason);
    } else {
        failure = writeFramesViewer(outcomes, settings);
        if (failure.empty()) {
            failure = putReportInPlace(&report, framesReportPage(outcomes, settings));
        }
        if (!failure.empty()) {
            printReasons(failure);
            status = 2;
        } else {
            std::fprintf(out, "%s\nreport: %s\n", framesSummary(outcomes).c_str(),
                         terminalText(path).c_str());
            status = exitStatusOf(outcomes);
        }
    }
    releaseReportFolder(&report);
    std::fflush(out);
    return status;
}

// Says why the run cannot be made, on the terminal and on a page already in the folder.
int refuseRun(const FramesReportSettings& settings, const std::string& failures) {
    printReasons(failures);
    replaceExistingPage(
        settings.reportFolder,
        framesNoticePage("a run refused", "The last run was refused:\n" + failures));
    return 2;
}

}  // namespace

std::string terminalText(const std::string& text) {
    std::string shown;
    for (char c : text) {
        if ((unsigned char)c < 0x20 || c == 0x7f) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", (unsigned char)c);
            shown += escape;
        } else {
            shown += c;
        }
    }
    return shown;
}

int writeFramesReport(FramesReportSettings settings, std::FILE* out) {
    if (settings.referencesFolder.empty()) {
        settings.referencesFolder = folderOfPath(settings.listPath);
    }
    std::string failures = checkReportPlace(
        settings.reportFolder, {settings.referencesFolder, folderOfPath(settings.listPath)});
    if (!failures.empty()) {
        printReasons(failures);
        return 2;
    }
    std::vector<FrameScenario> scenarios;
    failures = readFrameList(settings.listPath, &scenarios);
    if (failures.empty()) {
        failures = findReferences(settings.referencesFolder, &scenarios);
    }
    if (failures.empty() && !settings.knownMistakesPath.empty()) {
        failures = readKnownMistakes(settings.knownMistakesPath, &settings.knownMistakes);
    }
    if (failures.empty()) {
        failures = checkSettings(settings);
    }
    if (!failures.empty()) {
        return refuseRun(settings, failures);
    }
    // INT, TERM and HUP wait while the report folder is held, so that the run ends its capture
    // child and leaves no page claiming a result before it dies of the signal.
    InterruptionsHeld held;
    int status = runScenarios(settings, scenarios, out);
    return status;
}
