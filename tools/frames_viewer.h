// The report page's viewer, for a browser that runs scripts: the pixel under the pointer in both
// pictures, a flick and a slider between them, zoom with a pixel grid, and keys that step from
// one region of differences to the next. Without scripts the page stays as it is.
#pragma once

#include "tools/frames_report.h"

#include <string>
#include <vector>

// Beside the page: the viewer's script, and a script holding each differing frame's two pictures
// (as data addresses, which a page opened from the file system may read pixels from). "" when
// both are written; otherwise why not.
std::string writeFramesViewer(const std::vector<ScenarioOutcome>& outcomes,
                              const FramesReportSettings& settings);

// The tags that load both, for the end of the page's body; "" when no frame differs.
std::string framesViewerTags(const std::vector<ScenarioOutcome>& outcomes);

// The text as it may stand between a script's double quotes, with nothing that could end the
// script element.
std::string escapeScriptString(const std::string& text);

// The viewer's script, from tools/frames_viewer.js.
extern const char framesViewerScript[];
