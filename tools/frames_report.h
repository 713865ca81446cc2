// The report of a list of frames: each scenario rendered by the capture tool in a process of
// its own, compared with its reference, and shown in a folder holding index.html and its PNG
// pictures.
#pragma once

#include "tools/difference_kinds.h"
#include "tools/frame_difference.h"
#include "tools/frames_list.h"
#include "tools/known_mistakes.h"

#include <cstdio>
#include <string>
#include <vector>

struct FramesReportSettings {
    std::string reportFolder;
    std::string listPath;
    std::string referencesFolder;  // "": the list's folder
    std::string capturePath;
    std::string assetsFolder;
    int timeLimitSeconds = 60;                     // for each scenario
    std::string knownMistakesPath;                 // "": no list of known mistakes' frames
    std::vector<KnownMistakeFrame> knownMistakes;  // read by the report from that list
    // Set by the report: the folder of its own inside the report's, where the run makes its
    // pictures before they are put in place.
    std::string picturesFolder;
};

struct ScenarioOutcome {
    // notRendered: the capture tool crashed or hung, which a changed program may do.
    // cannotRun: the capture tool refused the scenario or the reference is unreadable.
    // stopped: the run was interrupted, or the capture tool could not be started at all.
    enum Verdict { identical, differs, sizesDiffer, notRendered, cannotRun, stopped };
    FrameScenario scenario;
    Verdict verdict = cannotRun;
    std::string reason;         // what went wrong, for every verdict but identical and differs
    std::string captureOutput;  // what the capture tool said when it failed
    int width = 0;              // the frame's
    int height = 0;
    int referenceWidth = 0;
    int referenceHeight = 0;
    FrameDifferences differences;
    DifferenceKinds kinds;
    // For a frame that differs: the known mistake it is, or is much closer to than to the
    // reference, as describeMistake says it; and the mistakes' frames that could not be read.
    std::string mistake;
    std::string mistakeProblems;
    // For a frame that differs: what the capture tool tells of its first differing pixel, a
    // line a write or refused write and then the final colour and depth; or why it told none.
    std::string pixelStory;
    PixelRegion crop;
    int cropScale = 0;
    // File names inside the report folder; "" for a picture not made.
    std::string referencePicture;
    std::string framePicture;
    std::string differencePicture;
    std::string referenceCrop;
    std::string frameCrop;
};

// Writes the report, one line a scenario and then the page's path on `out`; reasons it cannot
// run go to stderr. 0 when every frame equals its reference, 1 when any differs or was not
// rendered, 2 when the report cannot be made or a scenario cannot run.
int writeFramesReport(FramesReportSettings settings, std::FILE* out);

// The text as it may go to a terminal: control characters as \xNN, the rest as it is.
std::string terminalText(const std::string& text);
