// The arguments of the image tool's operations, declared as data and read by one parser: whole
// numbers in a range, a choice of numbers, a convolution kernel, a picture's file name, and
// flags, which may stand anywhere among the others.
#pragma once

#include <climits>
#include <string>
#include <vector>

struct Argument {
    enum Kind { number, choice, kernel, picture, flag };
    Kind kind;
    const char* name;  // as a message calls it ("the width"); a flag's own word ("--smooth")
    int low;
    int high;
    std::vector<int> choices;
};

Argument numberArgument(const char* name, int low = INT_MIN, int high = INT_MAX);
Argument choiceArgument(const char* name, std::vector<int> choices);
Argument kernelArgument();
Argument pictureArgument(const char* name);
Argument flagArgument(const char* word);

// An operation's arguments, in the order a call gives them (flags anywhere).
template <typename... Arguments>
std::vector<Argument> takes(Arguments... arguments) {
    return {arguments...};
}

struct ConvolutionKernel {
    std::vector<float> weights;
    int width = 0;
    int height = 0;
};

// The arguments of one call, read: the words that are not flags in their order, each number
// among them at its place in `numbers`, the kernel, and the flags given.
struct ArgumentValues {
    std::vector<std::string> words;
    std::vector<int> numbers;
    ConvolutionKernel kernel;
    std::vector<std::string> flags;
};

bool flagGiven(const ArgumentValues& values, const char* flag);

// Reads `given` as `declared` says; "" when every argument is sound, otherwise why not. A call
// with the wrong number of words, or with none of the flags of an operation that takes flags
// alone, is told what it `expects`.
std::string readArguments(const std::vector<Argument>& declared,
                          const std::vector<std::string>& given, const std::string& expects,
                          ArgumentValues* values);
