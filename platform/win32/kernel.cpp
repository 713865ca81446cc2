#include "platform/win32/backend.h"
#include "platform/win32/user_internal.h"

#include <chrono>
#include <cstdint>

namespace {

// The headless clock in milliseconds. It never runs backwards: setting a tick count below the
// current one is taken as the count having wrapped, so the performance counter keeps rising.
std::uint64_t manualMilliseconds;

constexpr long long countsPerSecond = 10000000;  // 100 ns, as Windows counts nowadays

std::chrono::steady_clock::duration sinceStart() {
    static const std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    return std::chrono::steady_clock::now() - start;
}

}  // namespace

namespace shim {

void setManualTicks(DWORD ticks) {
    std::uint64_t next = (manualMilliseconds & ~std::uint64_t{0xFFFFFFFF}) | ticks;
    if (next < manualMilliseconds) {
        next += std::uint64_t{1} << 32;
    }
    manualMilliseconds = next;
}

void advanceManualTicks(DWORD milliseconds) {
    manualMilliseconds += milliseconds;
}

void resetManualClock() {
    manualMilliseconds = 0;
}

}  // namespace shim

DWORD GetTickCount(void) {
    if (shim::backend->manualClock) {
        return static_cast<DWORD>(manualMilliseconds);
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(sinceStart());
    return static_cast<DWORD>(elapsed.count());
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    if (!frequency) {
        return FALSE;
    }
    frequency->QuadPart = countsPerSecond;
    return TRUE;
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
    if (!count) {
        return FALSE;
    }
    if (shim::backend->manualClock) {
        count->QuadPart = static_cast<long long>(manualMilliseconds) * (countsPerSecond / 1000);
    } else {
        const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(sinceStart());
        count->QuadPart = elapsed.count() / (1000000000 / countsPerSecond);
    }
    return TRUE;
}
