// What kind of difference a frame shows against its reference, in words a student can act on:
// pixels drawn where the reference has none, pixels missing that the reference draws, and pixels
// drawn by both in other colours; and whether they lie on the rim of what the reference draws or
// inside it.
#pragma once

#include "bitmap/nbitmap.h"

#include <string>
#include <vector>

struct DifferenceKinds {
    // These three add up to the differing pixels. Drawn means not the cleared background, black.
    long drawnOnlyHere = 0;
    long drawnOnlyInReference = 0;
    long otherColours = 0;
    // Over the pixels drawn in both in other colours, every channel of each.
    int largestChannel = 0;
    double meanChannel = 0;
    // A differing pixel is on an edge when it, or one of its four neighbours, is background in
    // the reference (or lies outside the picture): it is on the rim of what the reference draws.
    // Every other differing pixel lies inside what the reference draws.
    long onEdges = 0;
    long inside = 0;
};

// Two 24-bit pictures of the same size.
DifferenceKinds classifyDifferences(const NBitmap& reference, const NBitmap& frame);

// "3 drawn here only, 1 drawn in the reference only, 2 drawn in both in other colours (largest
// channel difference 80, mean 12.5); 4 on the reference's edges, 2 inside"
std::string describeDifferenceKinds(const DifferenceKinds& kinds);

// Of several candidate frames (the reference, known mistakes' frames), the index of the one with
// the fewest pixels differing from `frame`, and that count; -1 when none has frame's size.
int closestFrame(const NBitmap& frame, const std::vector<const NBitmap*>& candidates,
                 long* differing);
