// Text between the tools, which speak UTF-8, and Windows, whose file and process functions take
// UTF-16; and the system's own words for its error codes.
#pragma once

#include <string>

// Empty for text that is not UTF-8 (or UTF-16), which no file name can be.
std::wstring wideFromUtf8(const std::string& text);
std::string utf8FromWide(const std::wstring& text);

// The system's message for an error code, one line without the final full stop.
std::string systemMessage(unsigned long error);

// The reason a tool gives for an error code: the POSIX tools' words for the failures both
// systems share (a missing file, access denied, a full disk), the system's own for the rest.
std::string errorReason(unsigned long error);
