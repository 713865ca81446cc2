#include "tools/tool_paths.h"

#include <climits>
#include <unistd.h>

std::string::size_type rootLength(const std::string& path) {
    return !path.empty() && path[0] == '/' ? 1 : 0;
}

std::string folderOfPath(const std::string& path) {
    std::string::size_type slash = lastSeparator(path);
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string programFolder() {
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) {
        return ".";
    }
    std::string own(path, (std::size_t)length);
    return own.substr(0, own.rfind('/'));
}
