// The one way the tools write files, and the way they read them.
//
// An output goes where its path leads: a symlink is written through (the file it names is
// replaced, the link stays), a character device or a FIFO is written directly, and "-" is
// standard output. So is a pipe or a socket named by the kernel's link to it (/dev/stdout,
// /dev/fd/N, a shell's >(...)), whose text is no file name. A regular file is never seen or left
// half-written: the bytes go to a file with no name (or, where the file system has none, to an
// exclusive temporary with an unpredictable name beside the destination), which takes the
// destination's place only once complete and keeps the permission bits of the file it replaces.
// Where the folder allows neither (the user may write the file but not the folder, or the folder
// is sticky and the file someone else's), the file is written in place, with INT, TERM and HUP
// held off until it is whole. INT, TERM and HUP remove any temporary before the tool dies of the
// signal. QUILLON_NO_NAMELESS_FILES in the environment makes the tools use the named temporary
// everywhere, so that its tests reach it.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// Puts the file's bytes into `stream`; false when that failed (errno then tells why).
using StreamWriter = std::function<bool(std::FILE* stream)>;

// Writes `path`; "" when done, otherwise why not, naming the path and the system's reason.
std::string writeOutputFile(const std::string& path, const StreamWriter& write);

// The whole of a file, a FIFO, a pipe or ("-") standard input; "" when read, otherwise why
// not. Folders and devices are refused.
std::string readInputFile(const std::string& path, std::vector<unsigned char>* bytes);

// The whole of a regular file; "" when read, otherwise why not. Anything else that stands at
// the path (a FIFO, a device, a folder) is refused without waiting on it, so the read is bounded
// even when the file is swapped under the tool.
std::string readRegularFile(const std::string& path, std::vector<unsigned char>* bytes);

// Whether writing `output` would change the regular file `existing`: the same device and inode,
// or, when either does not exist, the same path once links are followed. "-" is standard output
// as `output` and standard input as `existing`.
bool wouldWriteOver(const std::string& output, const std::string& existing);
