#include "tools/difference_kinds.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const unsigned char* pixelAt(const NBitmap& picture, int x, int y) {
    return picture.rowPointer(y) + x * 3;
}

bool drawn(const NBitmap& picture, int x, int y) {
    const unsigned char* p = pixelAt(picture, x, y);
    return p[0] != 0 || p[1] != 0 || p[2] != 0;
}

bool backgroundOrOutside(const NBitmap& picture, int x, int y) {
    return x < 0 || y < 0 || x >= picture.width() || y >= picture.height() || !drawn(picture, x, y);
}

bool onReferenceEdge(const NBitmap& reference, int x, int y) {
    return backgroundOrOutside(reference, x, y) || backgroundOrOutside(reference, x - 1, y) ||
           backgroundOrOutside(reference, x + 1, y) || backgroundOrOutside(reference, x, y - 1) ||
           backgroundOrOutside(reference, x, y + 1);
}

long differingPixels(const NBitmap& a, const NBitmap& b) {
    long count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            count += std::memcmp(pixelAt(a, x, y), pixelAt(b, x, y), 3) != 0;
        }
    }
    return count;
}

// A pixel drawn in both: its channels' differences go into the largest and the sum.
void countOtherColour(const unsigned char* r, const unsigned char* f, DifferenceKinds* kinds,
                      long long* channelSum) {
    ++kinds->otherColours;
    for (int channel = 0; channel < 3; ++channel) {
        const int difference = std::abs(r[channel] - f[channel]);
        kinds->largestChannel = std::max(kinds->largestChannel, difference);
        *channelSum += difference;
    }
}

}  // namespace

DifferenceKinds classifyDifferences(const NBitmap& reference, const NBitmap& frame) {
    DifferenceKinds kinds;
    long long channelSum = 0;
    for (int y = 0; y < reference.height(); ++y) {
        for (int x = 0; x < reference.width(); ++x) {
            const unsigned char* r = pixelAt(reference, x, y);
            const unsigned char* f = pixelAt(frame, x, y);
            if (std::memcmp(r, f, 3) == 0) {
                continue;
            }
            const bool inReference = drawn(reference, x, y), here = drawn(frame, x, y);
            if (!inReference) {
                ++kinds.drawnOnlyHere;
            } else if (!here) {
                ++kinds.drawnOnlyInReference;
            } else {
                countOtherColour(r, f, &kinds, &channelSum);
            }
            ++(onReferenceEdge(reference, x, y) ? kinds.onEdges : kinds.inside);
        }
    }
    if (kinds.otherColours > 0) {
        kinds.meanChannel = (double)channelSum / (3.0 * kinds.otherColours);
    }
    return kinds;
}

std::string describeDifferenceKinds(const DifferenceKinds& kinds) {
    char text[320];
    char colours[96] = "";
    if (kinds.otherColours > 0) {
        std::snprintf(colours, sizeof colours, " (largest channel difference %d, mean %.1f)",
                      kinds.largestChannel, kinds.meanChannel);
    }
    std::snprintf(text, sizeof text,
                  "%ld drawn here only, %ld drawn in the reference only, %ld drawn in both in "
                  "other colours%s; %ld on the reference's edges, %ld inside",
                  kinds.drawnOnlyHere, kinds.drawnOnlyInReference, kinds.otherColours, colours,
                  kinds.onEdges, kinds.inside);
    return text;
}

int closestFrame(const NBitmap& frame, const std::vector<const NBitmap*>& candidates,
                 long* differing) {
    int closest = -1;
    for (std::size_t k = 0; k < candidates.size(); ++k) {
        const NBitmap& candidate = *candidates[k];
        if (candidate.width() != frame.width() || candidate.height() != frame.height()) {
            continue;
        }
        const long count = differingPixels(candidate, frame);
        if (closest < 0 || count < *differing) {
            closest = (int)k;
            *differing = count;
        }
    }
    return closest;
}
