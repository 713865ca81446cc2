// Whether a path leads to where standard output goes.
#pragma once

#include <string>

// "-", or another name for the pipe, socket or file that standard output is (/dev/stdout,
// /dev/fd/1, the file a shell redirected it to). A device takes any mix of bytes, so it is not.
bool namesStandardOutput(const std::string& path);
