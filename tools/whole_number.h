// Whole numbers as a command line or the page's address gives them, read the same way by the
// scripted-run parser and the tools: decimal digits only, no space, and a leading + or - only
// where the caller takes a sign.
#pragma once

#include <string>

namespace shim {

enum class NumberReading { number, notANumber, outOfRange };

enum class Sign { refused, taken };

// The whole of `text` as a number from `minimum` to `maximum`, into `value`; `value` is left
// alone unless the answer is `number`. A number of any length is read to its end, so that
// "99999999999x" is not a number rather than out of range.
inline NumberReading readWholeNumber(const std::string& text, int minimum, int maximum, Sign sign,
                                     int* value) {
    const bool hasSign = sign == Sign::taken && !text.empty() && (text[0] == '-' || text[0] == '+');
    size_t next = hasSign ? 1 : 0;
    if (next == text.size()) {
        return NumberReading::notANumber;
    }
    // Past ten digits the magnitude stops growing: it is out of range of any int already.
    const long long beyondAnyInt = 10000000000LL;
    long long magnitude = 0;
    for (; next < text.size(); ++next) {
        const char c = text[next];
        if (c < '0' || c > '9') {
            return NumberReading::notANumber;
        }
        if (magnitude < beyondAnyInt) {
            magnitude = magnitude * 10 + (c - '0');
        }
    }
    const long long parsed = hasSign && text[0] == '-' ? -magnitude : magnitude;
    if (parsed < minimum || parsed > maximum) {
        return NumberReading::outOfRange;
    }
    *value = (int)parsed;
    return NumberReading::number;
}

}  // namespace shim
