// The report's page: one static HTML file that needs no script and no network, showing the
// pictures beside it. The frames that differ come first, at full size; identical ones follow,
// small.
#pragma once

#include "tools/frames_report.h"

#include <string>
#include <vector>

std::string framesReportPage(const std::vector<ScenarioOutcome>& outcomes,
                             const FramesReportSettings& settings);

// A page that claims no result: a run in progress, interrupted or refused. `lines` are said one
// a paragraph.
std::string framesNoticePage(const std::string& title, const std::string& lines);

// "5 of 7 frames identical"
std::string framesSummary(const std::vector<ScenarioOutcome>& outcomes);

// The text as it may stand in an element or between an attribute's quotes.
std::string escapeHtml(const std::string& text);
