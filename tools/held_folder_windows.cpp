#include "tools/held_folder.h"

#include "tools/windows_text.h"

#include <cerrno>
#include <string>

#include <windows.h>

namespace {

// The folder's full path as the system knows it now, wherever it has been moved.
std::wstring currentPath(HANDLE folder) {
    std::wstring path(32768, L'\0');
    DWORD length = GetFinalPathNameByHandleW(folder, path.data(), (DWORD)path.size(), 0);
    if (length == 0 || length >= path.size()) {
        return L"";
    }
    path.resize(length);
    return path;
}

}  // namespace

bool holdFolder(const char* path, HeldFolder* folder) {
    folder->handle = nullptr;
    std::wstring wide = wideFromUtf8(path);
    // Shared every way, so that holding the folder stops no one from working in it.
    HANDLE handle = wide.empty()
                        ? INVALID_HANDLE_VALUE
                        : CreateFileW(wide.c_str(), FILE_LIST_DIRECTORY,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = wide.empty() ? EINVAL : ENOENT;
        return false;
    }
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(handle, &information) ||
        !(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        CloseHandle(handle);
        errno = ENOTDIR;
        return false;
    }
    folder->handle = handle;
    return true;
}

bool enterHeldFolder(const HeldFolder& folder) {
    std::wstring path = currentPath((HANDLE)folder.handle);
    if (path.empty() || !SetCurrentDirectoryW(path.c_str())) {
        errno = ENOENT;
        return false;
    }
    return true;
}

void releaseHeldFolder(HeldFolder* folder) {
    if (folder->handle != nullptr) {
        CloseHandle((HANDLE)folder->handle);
        folder->handle = nullptr;
    }
}
