#include "tools/windows_text.h"

#include <cerrno>
#include <cstring>

#include <windows.h>

std::wstring wideFromUtf8(const std::string& text) {
    if (text.empty()) {
        return L"";
    }
    int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), (int)text.size(),
                                     nullptr, 0);
    std::wstring wide((std::size_t)(length > 0 ? length : 0), L'\0');
    if (length > 0) {
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), (int)text.size(),
                            wide.data(), length);
    }
    return wide;
}

std::string utf8FromWide(const std::wstring& text) {
    if (text.empty()) {
        return "";
    }
    int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), nullptr, 0, nullptr,
                                     nullptr);
    std::string narrow((std::size_t)(length > 0 ? length : 0), '\0');
    if (length > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), narrow.data(), length,
                            nullptr, nullptr);
    }
    return narrow;
}

std::string systemMessage(unsigned long error) {
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, (LPWSTR)&text, 0, nullptr);
    std::string message = length > 0 ? utf8FromWide(std::wstring(text, length)) : "";
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(error) : message;
}

std::string errorReason(unsigned long error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_NETPATH:
            return std::strerror(ENOENT);
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
            return std::strerror(EACCES);
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return "No space left on device";
        default:
            return systemMessage(error);
    }
}
