// Conversions between the program's code page and the wide calls' UTF-16.
#include "core/wide_path.h"

#include <climits>

#include <windows.h>

namespace {

// Paths from this length on go through "\\?\": the classic limit is MAX_PATH with its NUL, and
// a folder to be created must leave room for an 8.3 name below it.
constexpr size_t kClassicLimit = MAX_PATH - 12;

constexpr std::wstring_view kVerbatim = L"\\\\?\\";
constexpr std::wstring_view kDevice = L"\\\\.\\";

std::wstring FullPathOf(const std::wstring& path) {
    DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return path;
    std::wstring full(needed, L'\0');
    DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed)
        return path;
    full.resize(length);
    return full;
}

bool StartsWith(std::wstring_view text, std::wstring_view start) {
    return text.substr(0, start.size()) == start;
}

} // namespace

std::wstring WideText(std::string_view text) {
    if (text.empty() || text.size() > INT_MAX)
        return {};
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), length);
    return wide;
}

std::string ProgramText(std::wstring_view text) {
    if (text.empty() || text.size() > INT_MAX)
        return {};
    const int size = static_cast<int>(text.size());
    const int length =
        WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), size, narrow.data(), length, nullptr, nullptr);
    return narrow;
}

std::wstring WidePath(std::string_view name) {
    std::wstring path = WideText(name);
    if (path.size() < kClassicLimit || StartsWith(path, kVerbatim) || StartsWith(path, kDevice))
        return path;
    std::wstring full = FullPathOf(path);
    if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\')
        return std::wstring(kVerbatim) + full;
    if (StartsWith(full, L"\\\\") && !StartsWith(full, kVerbatim) && !StartsWith(full, kDevice))
        return std::wstring(kVerbatim) + L"UNC" + full.substr(1);
    return full;
}
