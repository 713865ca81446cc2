// Paths as the system spells them. On Windows `\` separates folders as `/` does, and a drive
// ("C:") or a share ("\\server\share") begins a path as `/` does elsewhere.
#pragma once

#include <string>

#ifdef _WIN32
inline constexpr char pathSeparators[] = "/\\";
inline constexpr char executableSuffix[] = ".exe";
#else
inline constexpr char pathSeparators[] = "/";
inline constexpr char executableSuffix[] = "";
#endif

inline bool isPathSeparator(char c) {
    return c == '/' || (sizeof pathSeparators > 2 && c == '\\');
}

// Where the path's last separator is, or npos.
inline std::string::size_type lastSeparator(const std::string& path) {
    return path.find_last_of(pathSeparators);
}

// How many characters the path's root takes: "/", "C:", "C:\", "\\server\share\"; 0 for a
// path that starts in the working folder.
std::string::size_type rootLength(const std::string& path);

// The folder that holds `path`'s last component: "." for a bare name, the root for a name in it.
std::string folderOfPath(const std::string& path);

// The folder this program's file lives in, or "." when the system does not say.
std::string programFolder();
