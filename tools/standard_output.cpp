#include "tools/standard_output.h"

#include <sys/stat.h>
#include <unistd.h>

bool namesStandardOutput(const std::string& path) {
    struct stat named, standard;
    return path == "-" || (!path.empty() && stat(path.c_str(), &named) == 0 &&
                           fstat(STDOUT_FILENO, &standard) == 0 && !S_ISCHR(named.st_mode) &&
                           named.st_dev == standard.st_dev && named.st_ino == standard.st_ino);
}
