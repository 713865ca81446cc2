#include "raster/float_steps.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

std::uint32_t bitsOf(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// A stretch of floats with one spacing: the multiples n * spacing for the integers n in
// [low, high]. A binade and its upper end share the spacing; the subnormals and the smallest
// binade share the finest one on both sides of zero.
struct Grid {
    double spacing;
    double low;
    double high;
};

constexpr double twoTo23 = 8388608.0;
constexpr double twoTo24 = 16777216.0;

Grid gridAround(float value) {
    const int biasedExponent = static_cast<int>(bitsOf(value) >> 23 & 0xFFu);
    if (biasedExponent <= 1) {
        return {std::ldexp(1.0, -149), -twoTo24, twoTo24};
    }
    const double spacing = std::ldexp(1.0, biasedExponent - 150);
    return value > 0.0f ? Grid{spacing, twoTo23, twoTo24} : Grid{spacing, -twoTo24, -twoTo23};
}

// While the exact sum stays on the grid of the value it starts from, rounding it to float is
// rounding an integer plus the scaled step, so every addition moves by the same whole number
// of spacings and a run of them can be taken at once. A step that lands exactly halfway
// rounds to the even neighbour; from an even value every later one then moves by the same
// even amount, so a tie is jumped only from an even value. Returns the additions taken.
long long jumpAlongGrid(float* value, float step, long long count) {
    const Grid grid = gridAround(*value);
    const double n = *value / grid.spacing;
    const double s = step / grid.spacing;
    auto onGrid = [&grid](double sum) { return sum >= grid.low && sum <= grid.high; };
    if (!onGrid(n + s)) {
        return 0;
    }
    const double move = std::nearbyint(s);
    if (move == 0.0 || (s - std::floor(s) == 0.5 && std::fmod(n, 2.0) != 0.0)) {
        return 0;
    }
    // The sums before each addition are n + j * move + s for j = 0, 1, ...: all exact in
    // double, and monotonic, so only the last one of the run needs checking.
    const double room = move > 0.0 ? (grid.high - s - n) / move : (n + s - grid.low) / -move;
    long long taken = static_cast<long long>(room) + 1;
    while (taken > 1 && !onGrid(n + static_cast<double>(taken - 1) * move + s)) {
        --taken;
    }
    while (onGrid(n + static_cast<double>(taken) * move + s)) {
        ++taken;
    }
    if (taken > count) {
        taken = count;
    }
    *value = static_cast<float>((n + static_cast<double>(taken) * move) * grid.spacing);
    return taken;
}

}  // namespace

// The plain rule is `while (count-- > 0) value += step;`, one rounding an addition. This gives
// the same float without the repetition: every addition either reaches a fixed point (the sum
// no longer changes, as for an infinity, a NaN or a step below half a spacing), or is followed
// by a jump to the end of the current grid; the value moves one way only, so it passes each of
// the few hundred grids once.
float addRepeatedly(float value, float step, long long count) {
    while (count > 0) {
        const float next = value + step;
        --count;
        if (bitsOf(next) == bitsOf(value)) {
            return value;
        }
        value = next;
        if (count > 16 && std::isfinite(value)) {
            count -= jumpAlongGrid(&value, step, count);
        }
    }
    return value;
}
