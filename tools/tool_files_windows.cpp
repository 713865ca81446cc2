// The tools' file rules in Windows' own terms. A regular file is written to a temporary with an
// unpredictable name beside it, marked to vanish when its handle closes, so that a tool killed
// by any means leaves nothing behind; once complete it takes the destination's place with
// ReplaceFileW (which keeps the replaced file's attributes and access list) or MoveFileExW. A
// read-only file is refused and left alone. Ctrl+C, Ctrl+Break and closing the console wait
// while a temporary is being put in place, then end the tool. A console, NUL or a pipe is
// written directly; "-" is standard output in binary mode. A file read as a regular one is
// refused when it is anything else (a folder, a pipe, a device), looked at once open.
#include "tools/tool_files.h"

#include "tools/windows_text.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <bcrypt.h>

namespace {

// The largest input read: 1 GiB of pixels, with room to spare for headers and a colour table.
constexpr std::size_t MaxInputBytes = (std::size_t{1} << 30) + (std::size_t{1} << 20);

// Held while a temporary's name is settled, so that a console event never ends the tool halfway.
CRITICAL_SECTION namesSettling;

BOOL WINAPI waitForNamesThenEnd(DWORD) {
    EnterCriticalSection(&namesSettling);
    LeaveCriticalSection(&namesSettling);
    return FALSE;
}

void installConsoleHandler() {
    static bool installed = false;
    if (!installed) {
        installed = true;
        InitializeCriticalSection(&namesSettling);
        SetConsoleCtrlHandler(waitForNamesThenEnd, TRUE);
    }
}

std::string quoted(const std::string& path) {
    return "'" + path + "'";
}

std::string cannotWrite(const std::string& path, const std::string& reason) {
    return "cannot write " + quoted(path) + ": " + reason;
}

// errno's words, or the system's last error's when the C library set none.
std::string streamFailure(int error) {
    return error != 0 ? std::strerror(error) : errorReason(GetLastError());
}

// 0 when every byte is in the stream, otherwise errno (or EIO for a writer that said nothing).
int writeStream(std::FILE* stream, const StreamWriter& write) {
    errno = 0;
    if (write(stream) && std::fflush(stream) == 0) {
        return 0;
    }
    return errno != 0 ? errno : EIO;
}

// A stream over the handle, which it then owns; nullptr (and the handle closed) on failure.
std::FILE* streamOver(HANDLE handle, int flags, const char* mode) {
    int fd = _open_osfhandle((intptr_t)handle, flags);
    if (fd < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* stream = _fdopen(fd, mode);
    if (stream == nullptr) {
        _close(fd);
    }
    return stream;
}

std::string writeToStandardOutput(const StreamWriter& write) {
    std::fflush(stdout);
    int previous = _setmode(_fileno(stdout), _O_BINARY);
    int error = writeStream(stdout, write);
    if (previous != -1) {
        _setmode(_fileno(stdout), previous);
    }
    return error == 0 ? ""
                      : std::string("cannot write to standard output: ") + std::strerror(error);
}

std::string writeIntoHandle(const std::string& path, HANDLE handle, const StreamWriter& write) {
    std::FILE* stream = streamOver(handle, _O_BINARY | _O_WRONLY, "wb");
    if (stream == nullptr) {
        return cannotWrite(path, std::strerror(EMFILE));
    }
    int error = writeStream(stream, write);
    if (std::fclose(stream) != 0 && error == 0) {
        error = errno;
    }
    return error == 0 ? "" : cannotWrite(path, streamFailure(error));
}

// ".quillon-" and sixteen hexadecimal digits no one can guess, beside the destination.
std::wstring temporaryBeside(const std::wstring& destination) {
    std::wstring::size_type slash = destination.find_last_of(L"/\\:");
    std::wstring name = L".quillon-";
    for (int half = 0; half < 2; ++half) {
        unsigned int random = 0;
        BCryptGenRandom(nullptr, (PUCHAR)&random, sizeof random, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
        wchar_t digits[9];
        swprintf(digits, 9, L"%08x", random);
        name += digits;
    }
    return slash == std::wstring::npos ? name : destination.substr(0, slash + 1) + name;
}

bool markForDeletion(HANDLE file, bool deleted) {
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = deleted ? TRUE : FALSE;
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

// A new temporary that vanishes with its handle; INVALID_HANDLE_VALUE with the last error set.
HANDLE createTemporary(const std::wstring& destination, std::wstring* temporary) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        *temporary = temporaryBeside(destination);
        HANDLE file = CreateFileW(temporary->c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            if (markForDeletion(file, true)) {
                return file;
            }
            DWORD error = GetLastError();
            CloseHandle(file);
            DeleteFileW(temporary->c_str());
            SetLastError(error);
            return INVALID_HANDLE_VALUE;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) {
            return INVALID_HANDLE_VALUE;
        }
    }
    return INVALID_HANDLE_VALUE;
}

// Puts the complete, closed temporary in the destination's place; 0 or the system's error.
DWORD putInPlace(const std::wstring& destination, const std::wstring& temporary, bool exists) {
    if (exists && ReplaceFileW(destination.c_str(), temporary.c_str(), nullptr,
                               REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
        return 0;
    }
    // MoveFileExW also takes the place of a destination that ReplaceFileW cannot replace
    // (one on a file system without its support); a read-only one it refuses.
    if (MoveFileExW(temporary.c_str(), destination.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return 0;
    }
    DWORD error = GetLastError();
    DeleteFileW(temporary.c_str());
    return error;
}

std::string replaceRegularFile(const std::string& path, const std::wstring& destination,
                               bool exists, const StreamWriter& write) {
    installConsoleHandler();
    std::wstring temporary;
    HANDLE file = createTemporary(destination, &temporary);
    if (file == INVALID_HANDLE_VALUE) {
        return cannotWrite(path, errorReason(GetLastError()));
    }
    std::FILE* stream = streamOver(file, _O_BINARY | _O_WRONLY, "wb");
    if (stream == nullptr) {
        return cannotWrite(path, std::strerror(EMFILE));
    }
    int error = writeStream(stream, write);
    if (error == 0 && !FlushFileBuffers(file)) {
        error = EIO;
    }
    if (error != 0) {
        std::fclose(stream);
        return cannotWrite(path, streamFailure(error));
    }
    EnterCriticalSection(&namesSettling);
    bool kept = markForDeletion(file, false);
    DWORD failure = kept ? 0 : GetLastError();
    if (std::fclose(stream) != 0 && kept) {
        failure = ERROR_WRITE_FAULT;
        DeleteFileW(temporary.c_str());
    } else if (kept) {
        failure = putInPlace(destination, temporary, exists);
    }
    LeaveCriticalSection(&namesSettling);
    return failure == 0 ? "" : cannotWrite(path, errorReason(failure));
}

// What the path names, without changing it: a handle for a device or pipe (to be written
// directly), nothing for a regular file (`*exists` tells whether there is one), or a refusal.
std::string lookAtDestination(const std::string& path, const std::wstring& wide, HANDLE* direct,
                              bool* exists) {
    *direct = INVALID_HANDLE_VALUE;
    *exists = false;
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return cannotWrite(path, "Is a directory");
    }
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        return cannotWrite(path, std::strerror(EACCES));
    }
    HANDLE handle = CreateFileW(wide.c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) {
            return "";
        }
        return cannotWrite(path, errorReason(error));
    }
    if (GetFileType(handle) == FILE_TYPE_DISK) {
        CloseHandle(handle);
        *exists = true;
        return "";
    }
    *direct = handle;
    return "";
}

bool isDevice(HANDLE handle) {
    return GetFileType(handle) == FILE_TYPE_CHAR;
}

// The volume and the file's index on it: what makes two names the same file.
struct FileIdentity {
    bool found = false;
    bool regular = false;
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
};

FileIdentity identityOf(HANDLE handle) {
    FileIdentity identity;
    BY_HANDLE_FILE_INFORMATION information;
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr ||
        !GetFileInformationByHandle(handle, &information)) {
        return identity;
    }
    identity.found = true;
    identity.regular = GetFileType(handle) == FILE_TYPE_DISK &&
                       !(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    identity.volume = information.dwVolumeSerialNumber;
    identity.indexHigh = information.nFileIndexHigh;
    identity.indexLow = information.nFileIndexLow;
    return identity;
}

FileIdentity identityOfPath(const std::string& path) {
    std::wstring wide = wideFromUtf8(path);
    if (wide.empty()) {
        return {};
    }
    HANDLE handle =
        CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    FileIdentity identity = identityOf(handle);
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
    }
    return identity;
}

// The full path, for names of files that do not exist yet; Windows' names ignore case.
std::wstring fullPath(const std::string& path) {
    std::wstring wide = wideFromUtf8(path);
    std::wstring full(32768, L'\0');
    DWORD length =
        wide.empty() ? 0 : GetFullPathNameW(wide.c_str(), (DWORD)full.size(), full.data(), nullptr);
    full.resize(length < full.size() ? length : 0);
    return full;
}

// The whole of what the handle gives, up to the largest input read.
std::string readAll(HANDLE handle, const std::string& name, std::vector<unsigned char>* bytes) {
    bytes->clear();
    std::string failure;
    std::size_t filled = 0;
    while (failure.empty()) {
        if (bytes->size() - filled < (std::size_t{1} << 20)) {
            bytes->resize(filled + (std::size_t{1} << 20));
        }
        DWORD got = 0;
        if (!ReadFile(handle, bytes->data() + filled, (DWORD)(bytes->size() - filled), &got,
                      nullptr)) {
            // A pipe whose writer has gone is at its end.
            if (GetLastError() != ERROR_BROKEN_PIPE) {
                failure = "cannot read " + name + ": " + errorReason(GetLastError());
            }
            break;
        }
        if (got == 0) {
            break;
        }
        filled += got;
        if (filled > MaxInputBytes) {
            failure = name + " is larger than any BMP file this tool reads (1 GiB of pixels)";
        }
    }
    bytes->resize(filled);
    return failure;
}

}  // namespace

std::string writeOutputFile(const std::string& path, const StreamWriter& write) {
    if (path == "-") {
        return writeToStandardOutput(write);
    }
    std::wstring wide = wideFromUtf8(path);
    if (wide.empty()) {
        return cannotWrite(path, std::strerror(ENOENT));
    }
    HANDLE direct;
    bool exists;
    std::string refusal = lookAtDestination(path, wide, &direct, &exists);
    if (!refusal.empty()) {
        return refusal;
    }
    if (direct != INVALID_HANDLE_VALUE) {
        return writeIntoHandle(path, direct, write);
    }
    return replaceRegularFile(path, wide, exists, write);
}

std::string readInputFile(const std::string& path, std::vector<unsigned char>* bytes) {
    const std::string name = path == "-" ? "standard input" : quoted(path);
    HANDLE handle = GetStdHandle(STD_INPUT_HANDLE);
    if (path != "-") {
        std::wstring wide = wideFromUtf8(path);
        DWORD attributes =
            wide.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            return "cannot read " + name + ": Is a directory";
        }
        handle = wide.empty() ? INVALID_HANDLE_VALUE
                              : CreateFileW(wide.c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            return "cannot open " + name + ": " + errorReason(GetLastError());
        }
        if (isDevice(handle)) {
            CloseHandle(handle);
            return "cannot read " + name + ": it is a device; give a file, a pipe or -";
        }
    }
    std::string failure = readAll(handle, name, bytes);
    if (path != "-") {
        CloseHandle(handle);
    }
    return failure;
}

std::string readRegularFile(const std::string& path, std::vector<unsigned char>* bytes) {
    const std::string name = quoted(path);
    std::wstring wide = wideFromUtf8(path);
    if (wide.empty()) {
        return "cannot open " + name + ": " + std::strerror(ENOENT);
    }
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return "cannot read " + name + ": it is not a regular file";
    }
    HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return "cannot open " + name + ": " + errorReason(GetLastError());
    }
    // Looked at again once open: the file may have been swapped for a pipe or a device.
    std::string failure = identityOf(handle).regular
                              ? readAll(handle, name, bytes)
                              : "cannot read " + name + ": it is not a regular file";
    CloseHandle(handle);
    return failure;
}

bool wouldWriteOver(const std::string& output, const std::string& existing) {
    // "-" is standard output as an output and standard input as the existing file.
    FileIdentity a =
        output == "-" ? identityOf(GetStdHandle(STD_OUTPUT_HANDLE)) : identityOfPath(output);
    FileIdentity b =
        existing == "-" ? identityOf(GetStdHandle(STD_INPUT_HANDLE)) : identityOfPath(existing);
    if (a.found && b.found) {
        // Writing into a pipe or a device changes nothing that was read from it.
        return b.regular && a.volume == b.volume && a.indexHigh == b.indexHigh &&
               a.indexLow == b.indexLow;
    }
    if (output == "-" || existing == "-") {
        return false;
    }
    std::wstring first = fullPath(output), second = fullPath(existing);
    return !first.empty() && CompareStringOrdinal(first.c_str(), (int)first.size(), second.c_str(),
                                                  (int)second.size(), TRUE) == CSTR_EQUAL;
}
