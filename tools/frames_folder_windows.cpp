// The report folder in Windows' terms. The lock is a file opened with no sharing at all, which a
// second run cannot open while the first holds it; it goes when the run lets the folder go. The
// run's own folder has a name no one can guess. Both folders are held open without delete
// sharing, so that neither is renamed or swapped for another while the run works in them. The
// run's files take their names in the report folder with MoveFileExW, which replaces whatever
// stood there (a file, a link) rather than writing through it.
#include "tools/frames_folder.h"

#include "tools/tool_files.h"
#include "tools/tool_paths.h"
#include "tools/windows_text.h"

#include <cstdio>

#include <windows.h>

#include <bcrypt.h>

namespace {

const char lockName[] = ".quillon-frames.lock";
const char pageName[] = "index.html";

std::string quoted(const std::string& path) {
    return "'" + path + "'";
}

// The full path, with "." and ".." settled as Windows settles them, before any link is
// followed; "" for a path that is not one.
std::string fullPathOf(const std::string& path) {
    std::wstring wide = wideFromUtf8(path);
    std::wstring full(32768, L'\0');
    DWORD length =
        wide.empty() ? 0 : GetFullPathNameW(wide.c_str(), (DWORD)full.size(), full.data(), nullptr);
    full.resize(length < full.size() ? length : 0);
    return utf8FromWide(full);
}

// A handle on the folder that no one may rename or delete while it is open; nullptr when
// `path` is no folder (or, with `itself`, is a link rather than a folder).
HANDLE holdFolder(const std::string& path, bool itself) {
    std::wstring wide = wideFromUtf8(path);
    DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (itself ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    HANDLE folder = wide.empty() ? INVALID_HANDLE_VALUE
                                 : CreateFileW(wide.c_str(), FILE_LIST_DIRECTORY,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                               OPEN_EXISTING, flags, nullptr);
    if (folder == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    BY_HANDLE_FILE_INFORMATION information;
    DWORD refused = itself ? FILE_ATTRIBUTE_REPARSE_POINT : 0;
    if (!GetFileInformationByHandle(folder, &information) ||
        !(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (information.dwFileAttributes & refused)) {
        CloseHandle(folder);
        SetLastError(ERROR_DIRECTORY);
        return nullptr;
    }
    return folder;
}

// The volume and the file's index: whether two paths lead to one folder.
bool sameFolder(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION first, second;
    HANDLE one = holdFolder(a, false), other = holdFolder(b, false);
    bool same = one != nullptr && other != nullptr && GetFileInformationByHandle(one, &first) &&
                GetFileInformationByHandle(other, &second) &&
                first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
                first.nFileIndexHigh == second.nFileIndexHigh &&
                first.nFileIndexLow == second.nFileIndexLow;
    for (HANDLE folder : {one, other}) {
        if (folder != nullptr) {
            CloseHandle(folder);
        }
    }
    return same;
}

bool isFolder(const std::string& path) {
    std::wstring wide = wideFromUtf8(path);
    DWORD attributes = wide.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Makes the folder and those above it that are missing, from its full path, so that a ".."
// leaves no folder behind; "" when it is there.
std::string makeFolder(const std::string& path) {
    std::string full = fullPathOf(path);
    for (std::string::size_type end = full.find_first_of(pathSeparators, rootLength(full));;
         end = full.find_first_of(pathSeparators, end + 1)) {
        std::string part = full.substr(0, end);
        if (!CreateDirectoryW(wideFromUtf8(part).c_str(), nullptr) && !isFolder(part)) {
            return "cannot make the report folder " + quoted(part) + ": " +
                   errorReason(GetLastError());
        }
        if (end == std::string::npos || end + 1 == full.size()) {
            break;
        }
    }
    if (full.empty() || !isFolder(full)) {
        return "the report folder " + quoted(path) + " is not a folder";
    }
    return "";
}

bool markForDeletion(HANDLE file) {
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = TRUE;
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

// The lock file, opened itself rather than what a link names and shared with no one; nullptr,
// with `failure` saying why, when another run holds it or it cannot be had.
HANDLE takeLock(const std::string& path, std::string* failure) {
    std::wstring wide = wideFromUtf8(path + "/" + lockName);
    HANDLE lock =
        CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (lock == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        *failure = error == ERROR_SHARING_VIOLATION
                       ? "the report folder " + quoted(path) +
                             " is in use by another run; wait for it to end or write the report "
                             "elsewhere"
                       : "cannot lock the report folder " + quoted(path) + ": " + lockName + " " +
                             errorReason(error);
        return nullptr;
    }
    BY_HANDLE_FILE_INFORMATION information;
    if (GetFileType(lock) != FILE_TYPE_DISK || !GetFileInformationByHandle(lock, &information) ||
        (information.dwFileAttributes &
         (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
        *failure = "cannot lock the report folder " + quoted(path) + ": " + lockName +
                   " is not a regular file";
        CloseHandle(lock);
        return nullptr;
    }
    return lock;
}

// Sixteen hexadecimal digits no one can guess.
std::string unpredictableDigits() {
    std::string digits;
    for (int half = 0; half < 2; ++half) {
        unsigned int random = 0;
        BCryptGenRandom(nullptr, (PUCHAR)&random, sizeof random, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
        char text[9];
        std::snprintf(text, sizeof text, "%08x", random);
        digits += text;
    }
    return digits;
}

// "" once the run has a folder of its own inside the report folder.
std::string makeRunFolder(ReportFolder* report) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string path = report->path + "/.quillon-frames-run-" + unpredictableDigits();
        if (!CreateDirectoryW(wideFromUtf8(path).c_str(), nullptr)) {
            if (GetLastError() == ERROR_ALREADY_EXISTS) {
                continue;
            }
            return "cannot make a folder in the report folder " + quoted(report->path) + ": " +
                   errorReason(GetLastError());
        }
        report->runPath = path;
        report->runFolder = holdFolder(path, true);
        if (report->runFolder == nullptr) {
            return "cannot open " + quoted(path) + ": " + errorReason(GetLastError());
        }
        return "";
    }
    return "cannot make a folder in the report folder " + quoted(report->path) +
           ": every name tried is taken";
}

// The name takes its place in the report folder; whatever stood there is replaced, not
// written through.
std::string moveIntoPlace(const ReportFolder& report, const std::string& name) {
    std::string destination = report.path + "/" + name;
    if (!MoveFileExW(wideFromUtf8(report.runPath + "/" + name).c_str(),
                     wideFromUtf8(destination).c_str(), MOVEFILE_REPLACE_EXISTING)) {
        return "cannot put " + quoted(destination) + " in place: " + errorReason(GetLastError());
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
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(wideFromUtf8(report.runPath + "/*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        std::string name = utf8FromWide(found.cFileName);
        if (name != "." && name != ".." && !name.empty() && (hiddenToo || name[0] != '.')) {
            names.push_back(name);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

}  // namespace

std::string checkReportPlace(const std::string& report, const std::vector<std::string>& forbidden) {
    std::string planned = fullPathOf(report);
    for (const std::string& folder : forbidden) {
        std::string other = fullPathOf(folder);
        bool samePath = !planned.empty() &&
                        CompareStringOrdinal(wideFromUtf8(planned).c_str(), -1,
                                             wideFromUtf8(other).c_str(), -1, TRUE) == CSTR_EQUAL;
        if (samePath || sameFolder(report, folder)) {
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
    report->folder = holdFolder(path, false);
    if (report->folder == nullptr) {
        return "cannot open the report folder " + quoted(path) + ": " + errorReason(GetLastError());
    }
    report->lock = takeLock(path, &failure);
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
    if (GetFileAttributesW(wideFromUtf8(path + "/" + pageName).c_str()) ==
        INVALID_FILE_ATTRIBUTES) {
        return;
    }
    ReportFolder report;
    report.path = path;
    report.folder = holdFolder(path, false);
    std::string failure;
    if (report.folder != nullptr) {
        report.lock = takeLock(path, &failure);
    }
    if (report.lock != nullptr && makeRunFolder(&report).empty()) {
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
    if (report->runFolder != nullptr) {
        for (const std::string& name : runFiles(*report, true)) {
            DeleteFileW(wideFromUtf8(report->runPath + "/" + name).c_str());
        }
        CloseHandle((HANDLE)report->runFolder);
        report->runFolder = nullptr;
    }
    if (!report->runPath.empty()) {
        RemoveDirectoryW(wideFromUtf8(report->runPath).c_str());
        report->runPath.clear();
    }
    // The lock file goes with its handle, once the run is over: deleted while held, it would
    // turn a second run away as a file being deleted rather than as one in use.
    if (report->lock != nullptr) {
        markForDeletion((HANDLE)report->lock);
    }
    for (void** handle : {&report->lock, &report->folder}) {
        if (*handle != nullptr) {
            CloseHandle((HANDLE)*handle);
        }
        *handle = nullptr;
    }
}
