#include "tools/frames_page.h"

#include "tools/frames_viewer.h"

#include <algorithm>
#include <cstdio>

namespace {

// Quiet colours: the pictures are what the page is for.
const char style[] = R"(body { margin: 1.5em 2em 4em; background: #f7f7f4; color: #2e2e2e;
  font: 15px/1.45 system-ui, sans-serif; }
h1 { font-size: 1.35em; font-weight: 600; margin: 0; }
.summary { font-size: 1.15em; margin: .3em 0; }
.sources, figcaption, dt { color: #666; }
nav a { margin-right: .9em; color: inherit; }
section { margin: 2em 0 0; padding-top: 1em; border-top: 1px solid #ddd; }
h2 { font-size: 1.1em; margin: 0 0 .4em; }
.verdict { font-weight: normal; margin-left: .5em; padding: 0 .45em; border-radius: 3px; }
.differs .verdict, a.differs { background: #f6e0dc; color: #7d2416; }
.identical .verdict, a.identical { color: #2f6a2f; }
code, pre { font-family: ui-monospace, monospace; font-size: .92em; }
pre { background: #eeeeea; padding: .6em; overflow-x: auto; }
dl { display: grid; grid-template-columns: max-content auto; gap: .1em 1em; }
dd { margin: 0; }
.pictures { display: flex; flex-wrap: wrap; gap: 1em; margin: .8em 0; }
figure { margin: 0; }
figcaption { font-size: .9em; }
img { display: block; border: 1px solid #ccc; background: #000; }
.swatch { display: inline-block; width: .9em; height: .9em; border: 1px solid #888;
  vertical-align: -.1em; margin: 0 .2em; }
)";

std::string number(long value) {
    return std::to_string(value);
}

std::string point(int x, int y) {
    return "(" + number(x) + ", " + number(y) + ")";
}

std::string colourText(const PixelColour& colour) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "#%02x%02x%02x", colour.red & 255, colour.green & 255,
                  colour.blue & 255);
    return "<span class=\"swatch\" style=\"background:" + std::string(hex) + "\"></span>" + hex +
           " (" + number(colour.red) + ", " + number(colour.green) + ", " + number(colour.blue) +
           ")";
}

std::string figure(const std::string& file, int width, int height, const std::string& caption) {
    if (file.empty()) {
        return "";
    }
    return "<figure><img src=\"" + escapeHtml(file) + "\" width=\"" + number(width) +
           "\" height=\"" + number(height) + "\" alt=\"" + escapeHtml(caption) + "\"><figcaption>" +
           escapeHtml(caption) + "</figcaption></figure>\n";
}

std::string verdictText(const ScenarioOutcome& outcome) {
    long count = outcome.differences.count;
    switch (outcome.verdict) {
        case ScenarioOutcome::identical:
            return "identical";
        case ScenarioOutcome::differs:
            return number(count) + (count == 1 ? " pixel differs" : " pixels differ");
        case ScenarioOutcome::sizesDiffer:
            return "sizes differ";
        case ScenarioOutcome::notRendered:
            return "not rendered";
        case ScenarioOutcome::cannotRun:
        case ScenarioOutcome::stopped:
            break;
    }
    return "cannot run";
}

std::string heading(const ScenarioOutcome& outcome) {
    const FrameScenario& scenario = outcome.scenario;
    return "<h2>" + escapeHtml(scenario.name) + "<span class=\"verdict\">" + verdictText(outcome) +
           "</span></h2>\n<p class=\"sources\"><code>" +
           escapeHtml(joinArguments(scenario.arguments)) + "</code> against <code>" +
           escapeHtml(scenario.reference) + "</code></p>\n";
}

std::string facts(const ScenarioOutcome& outcome) {
    const FrameDifferences& d = outcome.differences;
    const PixelRegion& r = d.bounds;
    return "<dl>\n<dt>differing pixels</dt><dd>" + number(d.count) + " of " +
           number((long)outcome.width * outcome.height) + "</dd>\n<dt>kind of difference</dt><dd>" +
           escapeHtml(describeDifferenceKinds(outcome.kinds)) +
           "</dd>\n<dt>largest channel difference</dt><dd>" + number(d.largestChannel) +
           " of 255</dd>\n<dt>rectangle holding every difference</dt><dd>" + point(r.left, r.top) +
           " to " + point(r.right, r.bottom) + ", " + number(r.width()) + " x " +
           number(r.height()) + " pixels</dd>\n<dt>first differing pixel</dt><dd>" +
           point(d.firstX, d.firstY) + ": reference " + colourText(d.referenceColour) +
           ", this build " + colourText(d.frameColour) + "</dd>\n</dl>\n";
}

std::string crops(const ScenarioOutcome& outcome) {
    const PixelRegion& c = outcome.crop;
    const PixelRegion& b = outcome.differences.bounds;
    bool holdsAll = c.holds(b.left, b.top) && c.holds(b.right, b.bottom);
    std::string where = point(c.left, c.top) + " to " + point(c.right, c.bottom) + ", " +
                        number(outcome.cropScale) + "x, " +
                        (holdsAll ? "every difference" : "around the first difference") +
                        " outlined";
    int width = c.width() * outcome.cropScale, height = c.height() * outcome.cropScale;
    return "<div class=\"pictures\">\n" +
           figure(outcome.referenceCrop, width, height, "reference " + where) +
           figure(outcome.frameCrop, width, height, "this build " + where) + "</div>\n";
}

std::string differingSection(const ScenarioOutcome& outcome) {
    std::string html = heading(outcome);
    if (outcome.verdict == ScenarioOutcome::differs) {
        html += facts(outcome);
        if (!outcome.mistake.empty()) {
            html += "<p class=\"mistake\">" + escapeHtml(outcome.mistake) + "</p>\n";
        }
        html += "<p>What this build wrote at the first differing pixel " +
                point(outcome.differences.firstX, outcome.differences.firstY) +
                " in the last frame:</p>\n<pre class=\"story\">" + escapeHtml(outcome.pixelStory) +
                "</pre>\n";
    } else {
        html += "<p>" + escapeHtml(outcome.reason) + "</p>\n";
    }
    if (!outcome.captureOutput.empty()) {
        html += "<p>What the capture tool said:</p>\n<pre>" + escapeHtml(outcome.captureOutput) +
                "</pre>\n";
    }
    html += "<div class=\"pictures\">\n" +
            figure(outcome.referencePicture, outcome.referenceWidth, outcome.referenceHeight,
                   "reference") +
            figure(outcome.framePicture, outcome.width, outcome.height, "this build") +
            figure(outcome.differencePicture, outcome.width, outcome.height,
                   "difference: differing pixels red, the crop's region outlined in yellow") +
            "</div>\n";
    if (!outcome.frameCrop.empty()) {
        html += crops(outcome);
    }
    return html;
}

std::string identicalFigure(const ScenarioOutcome& outcome) {
    const FrameScenario& scenario = outcome.scenario;
    return "<figure id=\"" + escapeHtml(scenario.name) + "\"><img src=\"" +
           escapeHtml(outcome.framePicture) + "\" width=\"" + number(outcome.width / 3) +
           "\" height=\"" + number(outcome.height / 3) + "\" alt=\"" + escapeHtml(scenario.name) +
           "\"><figcaption>" + escapeHtml(scenario.name) +
           " <span class=\"verdict\">identical</span><br><code>" +
           escapeHtml(joinArguments(scenario.arguments)) + "</code></figcaption></figure>\n";
}

std::string navigation(const std::vector<ScenarioOutcome>& outcomes) {
    std::string html = "<nav>";
    for (const ScenarioOutcome& outcome : outcomes) {
        bool same = outcome.verdict == ScenarioOutcome::identical;
        html += "<a class=\"" + std::string(same ? "identical" : "differs") + "\" href=\"#" +
                escapeHtml(outcome.scenario.name) + "\">" + escapeHtml(outcome.scenario.name) +
                "</a> ";
    }
    return html + "</nav>\n";
}

std::string pageTop(const std::vector<ScenarioOutcome>& outcomes,
                    const FramesReportSettings& settings) {
    std::string summary = framesSummary(outcomes);
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
           "<title>Frames: " +
           summary + "</title>\n<style>\n" + style +
           "</style>\n</head>\n<body>\n<h1>Frames against their references</h1>\n"
           "<p class=\"summary\">" +
           summary + "</p>\n<p class=\"sources\">The list <code>" + escapeHtml(settings.listPath) +
           "</code>, the references in <code>" + escapeHtml(settings.referencesFolder) +
           "</code>, each frame rendered by <code>" + escapeHtml(settings.capturePath) +
           "</code>.</p>\n" + navigation(outcomes);
}

}  // namespace

std::string escapeHtml(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            case '\'':
                escaped += "&#39;";
                break;
            default:
                // Control characters other than line breaks and tabs have no place in a page.
                escaped += (unsigned char)c < 0x20 && c != '\n' && c != '\t' ? '?' : c;
        }
    }
    return escaped;
}

std::string framesNoticePage(const std::string& title, const std::string& lines) {
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<title>Frames: " +
        escapeHtml(title) + "</title>\n<style>\n" + style +
        "</style>\n</head>\n<body>\n<h1>Frames against their references</h1>\n"
        "<p class=\"summary\">" +
        escapeHtml(title) + "</p>\n";
    for (std::string::size_type start = 0; start < lines.size();) {
        std::string::size_type end = std::min(lines.find('\n', start), lines.size());
        html += "<p>" + escapeHtml(lines.substr(start, end - start)) + "</p>\n";
        start = end + 1;
    }
    return html + "</body>\n</html>\n";
}

std::string framesSummary(const std::vector<ScenarioOutcome>& outcomes) {
    long same = 0;
    for (const ScenarioOutcome& outcome : outcomes) {
        same += outcome.verdict == ScenarioOutcome::identical ? 1 : 0;
    }
    return number(same) + " of " + number((long)outcomes.size()) + " frames identical";
}

std::string framesReportPage(const std::vector<ScenarioOutcome>& outcomes,
                             const FramesReportSettings& settings) {
    std::string html = pageTop(outcomes, settings);
    std::string identical;
    for (const ScenarioOutcome& outcome : outcomes) {
        if (outcome.verdict == ScenarioOutcome::identical) {
            identical += identicalFigure(outcome);
        } else {
            html += "<section class=\"differs\" id=\"" + escapeHtml(outcome.scenario.name) +
                    "\">\n" + differingSection(outcome) + "</section>\n";
        }
    }
    if (!identical.empty()) {
        html += "<section class=\"identical\">\n<h2>Identical</h2>\n<div class=\"pictures\">\n" +
                identical + "</div>\n</section>\n";
    }
    return html + framesViewerTags(outcomes) + "</body>\n</html>\n";
}
