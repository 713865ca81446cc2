#include "tools/frames_folder.h"

#include "tools/tool_files.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char lockName[] = ".quillon-frames.lock";
const char pageName[] = "index.html";

std::string quoted(const std::string& path) {
    return "'" + path + "'";
}

// The real path of `path`, or "" when it does not exist.
std::string realPathOf(const std::string& path) {
    char* real = realpath(path.c_str(), nullptr);
    std::string resolved = real != nullptr ? real : "";
    std::free(real);
    return resolved;
}

std::string parentOf(const std::string& path) {
    std::string::size_type slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

// Where `path` leads once its missing folders are made: each part that exists is followed as
// the system follows it, and one that does not is a new folder, which no link can redirect.
std::string plannedPath(const std::string& path) {
    std::string resolved = path[0] == '/' ? "/" : realPathOf(".");
    bool madeUp = false;
    for (std::string::size_type start = 0; start <= path.size();) {
        std::string::size_type end = std::min(path.find('/', start), path.size());
        std::string part = path.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".") {
            continue;
        }
        std::string next = part == ".." && madeUp ? parentOf(resolved)
                           : resolved == "/"      ? "/" + part
                                                  : resolved + "/" + part;
        std::string real = realPathOf(next);
        madeUp = real.empty();
        resolved = madeUp ? next : real;
    }
    return resolved;
}

bool sameFolder(const std::string& a, const std::string& b) {
    struct stat first, second;
    if (stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0) {
        return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
    }
    return false;
}

// Makes the folder and those above it that are missing; "" when it is there.
std::string makeFolder(const std::string& path) {
    for (std::string::size_type slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string part = path.substr(0, slash);
        if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
            return "cannot make the report folder " + quoted(part) + ": " + std::strerror(errno);
        }
        if (slash == std::string::npos) {
            break;
        }
    }
    struct stat status;
    if (stat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        return "the report folder " + quoted(path) + " is not a folder";
    }
    return "";
}

// The lock is a file of its own, opened without following a link or waiting on a FIFO; -1
// when another run holds it, -2 when it cannot be had, with `failure` saying why.
int takeLock(int folder, const std::string& path, std::string* failure) {
    int lock =
        openat(folder, lockName, O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    struct stat status;
    if (lock < 0 || fstat(lock, &status) != 0 || !S_ISREG(status.st_mode)) {
        *failure = "cannot lock the report folder " + quoted(path) + ": " + lockName + " " +
                   (lock < 0 ? std::strerror(errno) : "is not a regular file");
        if (lock >= 0) {
            close(lock);
        }
        return -2;
    }
    if (flock(lock, LOCK_EX | LOCK_NB) != 0) {
        *failure = "the report folder " + quoted(path) + " is in use by another run" +
                   (errno == EWOULDBLOCK ? "; wait for it to end or write the report elsewhere"
                                         : std::string(": ") + std::strerror(errno));
        close(lock);
        return -1;
    }
    return lock;
}

// "" once the run has a folder of its own inside the report folder.
std::string makeRunFolder(ReportFolder* report) {
    std::string pattern = report->path + "/.quillon-frames-run-XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr) {
        return "cannot make a folder in the report folder " + quoted(report->path) + ": " +
               std::strerror(errno);
    }
    report->runPath = pattern;
    report->runFolder = open(pattern.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (report->runFolder < 0) {
        return "cannot open " + quoted(pattern) + ": " + std::strerror(errno);
    }
    return "";
}

std::string nameOf(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

// The name takes its place in the report folder; whatever stood there is replaced, not
// written through.
std::string moveIntoPlace(const ReportFolder& report, const std::string& name) {
    if (renameat(report.runFolder, name.c_str(), report.folder, name.c_str()) != 0) {
        return "cannot put " + quoted(report.path + "/" + name) +
               " in place: " + std::strerror(errno);
    }
    return "";
}

// The page, made in the run's folder.
std::string writePageFile(const ReportFolder& report, const std::string& page) {
    return writeOutputFile(report.runPath + "/" + pageName, [&](std::FILE* stream) {
        return std::fwrite(page.data(), 1, page.size(), stream) == page.size();
    });
}

std::string writePage(const ReportFolder& report, const std::string& page) {
    std::string failure = writePageFile(report, page);
    return failure.empty() ? moveIntoPlace(report, pageName) : failure;
}

// The names in the run's folder; the hidden ones are the writers' unfinished temporaries.
std::vector<std::string> runFiles(const ReportFolder& report, bool hiddenToo) {
    std::vector<std::string> names;
    int listed = dup(report.runFolder);
    DIR* folder = listed >= 0 ? fdopendir(listed) : nullptr;
    if (folder == nullptr) {
        if (listed >= 0) {
            close(listed);
        }
        return names;
    }
    while (dirent* entry = readdir(folder)) {
        std::string name = entry->d_name;
        if (name != "." && name != ".." && (hiddenToo || name[0] != '.')) {
            names.push_back(name);
        }
    }
    closedir(folder);
    return names;
}

}  // namespace

std::string checkReportPlace(const std::string& report, const std::vector<std::string>& forbidden) {
    std::string planned = plannedPath(report);
    for (const std::string& folder : forbidden) {
        if (planned == realPathOf(folder) || sameFolder(planned, folder)) {
            return "the report folder " + quoted(report) +
                   " holds the list or the references; write the report elsewhere";
        }
    }
    return "";
}

std::string takeReportFolder(const std::string& path, const std::string& page,
                             ReportFolder* report) {
    std::string failure = makeFolder(path);
    if (!failure.empty()) {
        return failure;
    }
    report->path = path;
    report->folder = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (report->folder < 0) {
        return "cannot open the report folder " + quoted(path) + ": " + std::strerror(errno);
    }
    report->lock = takeLock(report->folder, path, &failure);
    if (failure.empty()) {
        failure = makeRunFolder(report);
    }
    if (failure.empty()) {
        failure = writePage(*report, page);
    }
    if (!failure.empty()) {
        releaseReportFolder(report);
    }
    return failure;
}

void replaceExistingPage(const std::string& path, const std::string& page) {
    struct stat status;
    if (lstat((path + "/" + pageName).c_str(), &status) != 0) {
        return;
    }
    ReportFolder report;
    report.path = path;
    report.folder = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::string failure;
    if (report.folder >= 0) {
        report.lock = takeLock(report.folder, path, &failure);
    }
    if (report.lock >= 0 && makeRunFolder(&report).empty()) {
        writePage(report, page);
    }
    releaseReportFolder(&report);
}

std::string putReportInPlace(ReportFolder* report, const std::string& page) {
    std::string failure = writePageFile(*report, page);
    // The pictures first, so that the page never names one not yet there.
    for (const std::string& name : runFiles(*report, false)) {
        if (failure.empty() && name != pageName) {
            failure = moveIntoPlace(*report, name);
        }
    }
    return failure.empty() ? moveIntoPlace(*report, pageName) : failure;
}

std::string putPageInPlace(ReportFolder* report, const std::string& page) {
    return writePage(*report, page);
}

void releaseReportFolder(ReportFolder* report) {
    if (report->runFolder >= 0) {
        for (const std::string& name : runFiles(*report, true)) {
            unlinkat(report->runFolder, name.c_str(), 0);
        }
        close(report->runFolder);
        report->runFolder = -1;
        unlinkat(report->folder, nameOf(report->runPath).c_str(), AT_REMOVEDIR);
    }
    for (int* fd : {&report->runFolder, &report->lock, &report->folder}) {
        if (*fd >= 0) {
            close(*fd);
        }
        *fd = -1;
    }
}
