#include "tools/tool_paths.h"

#include "tools/windows_text.h"

#include <windows.h>

namespace {

bool isDriveLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// After "\\server\share\" (or "\\?\C:\"): the two names past the leading pair, and the
// separator that ends the second.
std::string::size_type shareRootLength(const std::string& path) {
    std::string::size_type end = 2;
    for (int name = 0; name < 2 && end != std::string::npos; ++name) {
        end = path.find_first_of(pathSeparators, end + (name == 0 ? 0 : 1));
    }
    return end == std::string::npos ? path.size() : end + 1;
}

}  // namespace

std::string::size_type rootLength(const std::string& path) {
    if (path.size() >= 2 && isPathSeparator(path[0]) && isPathSeparator(path[1])) {
        return shareRootLength(path);
    }
    if (path.size() >= 2 && isDriveLetter(path[0]) && path[1] == ':') {
        return path.size() >= 3 && isPathSeparator(path[2]) ? 3 : 2;
    }
    return !path.empty() && isPathSeparator(path[0]) ? 1 : 0;
}

std::string folderOfPath(const std::string& path) {
    std::string::size_type root = rootLength(path);
    std::string::size_type slash = lastSeparator(path);
    if (slash == std::string::npos || slash < root) {
        return root > 0 ? path.substr(0, root) : ".";
    }
    return slash + 1 == root ? path.substr(0, root) : path.substr(0, slash);
}

std::string programFolder() {
    std::wstring path(32768, L'\0');
    DWORD length = GetModuleFileNameW(NULL, path.data(), (DWORD)path.size());
    if (length == 0 || length >= path.size()) {
        return ".";
    }
    path.resize(length);
    std::string own = utf8FromWide(path);
    std::string::size_type slash = lastSeparator(own);
    return slash == std::string::npos ? "." : own.substr(0, slash);
}
