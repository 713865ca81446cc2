// Looking inside a frame, for a program started to inspect: P pauses the animation and N steps
// it while paused; Z shows the depth of every pixel and O how many times each was written; I
// shows the magnifier.
// Started plainly, the program knows none of these keys.
#include "app/app.h"

#include "render/render.h"

#include <cctype>
#include <cstring>

bool commandLineAsksToInspect(const char* commandLine) {
    static const char word[] = "--inspect";
    const size_t length = sizeof word - 1;
    for (const char* at = commandLine; at != nullptr && *at != '\0';) {
        while (std::isspace((unsigned char)*at)) {
            ++at;
        }
        const char* end = at;
        while (*end != '\0' && !std::isspace((unsigned char)*end)) {
            ++end;
        }
        if ((size_t)(end - at) == length && std::strncmp(at, word, length) == 0) {
            return true;
        }
        at = end;
    }
    return false;
}

// A view's key shows it, or returns to colour when it is already shown.
static void toggleView(InspectView view) {
    inspectView = inspectView == view ? ColourView : view;
}

void handleInspectKey(WPARAM key) {
    if (!inspecting) {
        return;
    }
    switch (key) {
        case 'P':
            animationPaused = !animationPaused;
            break;
        case 'N':
            if (animationPaused) {
                advanceAnimation();
            }
            break;
        case 'Z':
            toggleView(DepthView);
            break;
        case 'O':
            toggleView(OverdrawView);
            break;
        case 'I':
            magnifierShown = !magnifierShown;
            break;
        default:
            break;
    }
}

const char* inspectionHeadUpText() {
    static const char* const texts[3][2] = {
        {nullptr, "Paused: N steps, P resumes"},
        {"Depth: near light, far dark", "Depth, paused: N steps"},
        {"Overdraw: writes per pixel", "Overdraw, paused: N steps"},
    };
    return texts[inspectView][animationPaused ? 1 : 0];
}
