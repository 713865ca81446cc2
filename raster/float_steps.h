// Repeated float addition without the repetition: the triangle rasterizer carries its
// running values across a row by adding a step after every column, and a row that starts far
// left of the viewport must arrive at the viewport with exactly the value those additions
// would have left.
#pragma once

// The value after `count` times `value += step`, each sum rounded to float (to nearest,
// ties to even). Counts of zero or less leave the value as it is.
float addRepeatedly(float value, float step, long long count);
