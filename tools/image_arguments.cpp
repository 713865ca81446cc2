#include "tools/image_arguments.h"

#include "tools/whole_number.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>

using shim::NumberReading;

Argument numberArgument(const char* name, int low, int high) {
    return {Argument::number, name, low, high, {}};
}

Argument choiceArgument(const char* name, std::vector<int> choices) {
    return {Argument::choice, name, 0, 0, std::move(choices)};
}

Argument kernelArgument() {
    return {Argument::kernel, "the kernel", 0, 0, {}};
}

Argument pictureArgument(const char* name) {
    return {Argument::picture, name, 0, 0, {}};
}

Argument flagArgument(const char* word) {
    return {Argument::flag, word, 0, 0, {}};
}

bool flagGiven(const ArgumentValues& values, const char* flag) {
    return std::find(values.flags.begin(), values.flags.end(), flag) != values.flags.end();
}

namespace {

NumberReading readSignedNumber(const std::string& text, int low, int high, int* value) {
    return shim::readWholeNumber(text, low, high, shim::Sign::taken, value);
}

std::string readNumber(const Argument& argument, const std::string& text, int* value) {
    const std::string range = std::to_string(argument.low) + " to " + std::to_string(argument.high);
    switch (readSignedNumber(text, INT_MIN, INT_MAX, value)) {
        case NumberReading::notANumber:
            return argument.name + std::string(" must be a whole number, not '") + text + "'";
        case NumberReading::outOfRange:
            return argument.name + std::string(" ") + text + " is out of range (" + range + ")";
        case NumberReading::number:
            break;
    }
    if (*value < argument.low || *value > argument.high) {
        return argument.name + std::string(" must be from ") + range + ", not " + text;
    }
    return "";
}

// "2, 4 or 16"
std::string listChoices(const std::vector<int>& choices) {
    std::string listed;
    for (size_t i = 0; i < choices.size(); ++i) {
        const char* separator = i == 0 ? "" : i + 1 == choices.size() ? " or " : ", ";
        listed += separator + std::to_string(choices[i]);
    }
    return listed;
}

std::string readChoice(const Argument& argument, const std::string& text, int* value) {
    const std::vector<int>& choices = argument.choices;
    if (readSignedNumber(text, INT_MIN, INT_MAX, value) != NumberReading::number ||
        std::find(choices.begin(), choices.end(), *value) == choices.end()) {
        return argument.name + std::string(" must be ") + listChoices(choices) + ", not '" + text +
               "'";
    }
    return "";
}

// Any finite weight, tiny ones too (strtof calls those a range error); an overflow is not.
std::string readWeights(const char* p, ConvolutionKernel* kernel) {
    while (true) {
        char* end = nullptr;
        float w = std::strtof(p, &end);
        if (end == p || !std::isfinite(w) || (*end != ',' && *end != '\0')) {
            return std::string("the kernel weight '") + std::string(p, std::strcspn(p, ",")) +
                   "' is not a finite number";
        }
        kernel->weights.push_back(w);
        if (*end == '\0') {
            return "";
        }
        p = end + 1;
    }
}

// The weights' count, and sums that stay finite: every partial sum of a pixel is at most 255
// times the weights' magnitudes; past the largest float it would turn into infinity and the
// result into nonsense.
std::string checkKernel(const ConvolutionKernel& kernel) {
    if ((long long)kernel.width * kernel.height != (long long)kernel.weights.size()) {
        return "a " + std::to_string(kernel.width) + "x" + std::to_string(kernel.height) +
               " kernel needs " + std::to_string((long long)kernel.width * kernel.height) +
               " weights, not " + std::to_string(kernel.weights.size());
    }
    double magnitude = 0.0;
    for (float w : kernel.weights) {
        magnitude += std::fabs((double)w);
    }
    if (255.0 * magnitude > FLT_MAX) {
        return "the kernel's weights are too large: a weighted sum could exceed the largest float";
    }
    return "";
}

std::string readKernel(const std::string& text, ConvolutionKernel* kernel) {
    struct Named {
        const char* name;
        float weights[9];
    };
    static const Named named[] = {
        {"box3", {1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {"gauss3", {1, 2, 1, 2, 4, 2, 1, 2, 1}},
        {"sharpen", {0, -1, 0, -1, 5, -1, 0, -1, 0}},
        {"edge", {-1, -1, -1, -1, 8, -1, -1, -1, -1}},
    };
    for (const Named& n : named) {
        if (text == n.name) {
            kernel->weights.assign(n.weights, n.weights + 9);
            kernel->width = kernel->height = 3;
            return "";
        }
    }
    const char* bad = "the kernel must be box3, gauss3, sharpen, edge or WxH:w1,w2,...";
    size_t colon = text.find(':'), cross = text.find('x');
    if (colon == std::string::npos || cross == std::string::npos || cross > colon ||
        readSignedNumber(text.substr(0, cross), INT_MIN, INT_MAX, &kernel->width) !=
            NumberReading::number ||
        readSignedNumber(text.substr(cross + 1, colon - cross - 1), INT_MIN, INT_MAX,
                         &kernel->height) != NumberReading::number) {
        return bad;
    }
    if (kernel->width < 1 || kernel->height < 1) {
        return "the kernel's width and height must be 1 or more";
    }
    std::string failure = readWeights(text.c_str() + colon + 1, kernel);
    return failure.empty() ? checkKernel(*kernel) : failure;
}

std::string readArgument(const Argument& argument, const std::string& text, int* number,
                         ConvolutionKernel* kernel) {
    switch (argument.kind) {
        case Argument::number:
            return readNumber(argument, text, number);
        case Argument::choice:
            return readChoice(argument, text, number);
        case Argument::kernel:
            return readKernel(text, kernel);
        case Argument::picture:
        case Argument::flag:
            break;
    }
    return "";
}

bool isFlag(const std::vector<Argument>& declared, const std::string& word) {
    for (const Argument& argument : declared) {
        if (argument.kind == Argument::flag && word == argument.name) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string readArguments(const std::vector<Argument>& declared,
                          const std::vector<std::string>& given, const std::string& expects,
                          ArgumentValues* values) {
    std::vector<const Argument*> positional;
    for (const Argument& argument : declared) {
        if (argument.kind != Argument::flag) {
            positional.push_back(&argument);
        }
    }
    for (const std::string& word : given) {
        (isFlag(declared, word) ? values->flags : values->words).push_back(word);
    }
    const bool flagsAlone = positional.empty() && !declared.empty();
    if (values->words.size() != positional.size() || (flagsAlone && values->flags.empty())) {
        // Where no word is wanted, the first one is the mistake.
        return "expects " + expects +
               (positional.empty() && !values->words.empty() ? ", not '" + values->words[0] + "'"
                                                             : "");
    }
    values->numbers.assign(positional.size(), 0);
    for (size_t i = 0; i < positional.size(); ++i) {
        std::string failure =
            readArgument(*positional[i], values->words[i], &values->numbers[i], &values->kernel);
        if (!failure.empty()) {
            return failure;
        }
    }
    return "";
}
