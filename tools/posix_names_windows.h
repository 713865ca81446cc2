// The few POSIX names the tools' shared sources use, in Windows' terms. The Windows build puts
// this before every tool source; paths are UTF-8, which the C runtime takes as the program's
// code page (tools/quillon-tool.manifest).
#pragma once

#include <cstdlib>
#include <direct.h>
#include <sys/stat.h>

inline int mkdir(const char* path, int) {
    return _mkdir(path);
}

// The full path, as realpath gives it; the caller frees it.
inline char* realpath(const char* path, char* resolved) {
    return _fullpath(resolved, path, resolved == nullptr ? 0 : _MAX_PATH);
}

// What stands at the name, as stat tells it: the shared sources ask only whether it is a
// regular file.
inline int lstat(const char* path, struct stat* status) {
    return stat(path, status);
}
