// The float-to-integer conversions of the rasterizers and the renderer. Every conversion
// truncates toward zero; ceil and floor are taken in double first where a direction matters.
// A value no int can hold, NaN included, has no truncation in C++: each conversion here says
// what it gives instead, the same on every build.
#pragma once

#include "platform/win32/win32.h"

#include <climits>
#include <cmath>

// Outside the int range, and for NaN, INT_MIN: what the x86 conversion instruction answers,
// so a corner far outside the window is walked the same way on every build.
inline int truncToInt(float value) {
    return value >= -2147483648.0f && value < 2147483648.0f ? static_cast<int>(value) : INT_MIN;
}

inline int truncToInt(double value) {
    return value > -2147483649.0 && value < 2147483648.0 ? static_cast<int>(value) : INT_MIN;
}

inline int ceilToInt(float value) {
    return truncToInt(std::ceil(static_cast<double>(value)));
}

inline int floorToInt(float value) {
    return truncToInt(std::floor(static_cast<double>(value)));
}

// KEPT: a channel is truncated and keeps its low 8 bits: -1 is written as 255
// A colour channel as the pixel takes it: the low 8 bits of the truncated value, so -1 gives
// 255. A channel no int can hold gives 0, the low byte of INT_MIN.
inline COLORREF channelByte(float value) {
    return static_cast<COLORREF>(truncToInt(value)) & 0xFFu;
}

inline COLORREF channelByte(double value) {
    return static_cast<COLORREF>(truncToInt(value)) & 0xFFu;
}

// An end point of a wireframe edge: truncated, but held at the ends of the int range instead
// of wrapping, so an edge towards a corner very far away keeps its direction. NaN gives INT_MIN.
inline int windowCoordinate(float value) {
    if (!(value > static_cast<float>(INT_MIN))) {
        return INT_MIN;
    }
    if (!(value < static_cast<float>(INT_MAX))) {
        return INT_MAX;
    }
    return static_cast<int>(value);
}
