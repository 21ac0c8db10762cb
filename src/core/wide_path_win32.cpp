// Conversions between the program's code page and the wide calls' UTF-16.
#include "core/wide_path.h"

#include <algorithm>
#include <climits>
#include <vector>

#include <windows.h>

namespace {

constexpr std::wstring_view kVerbatim = L"\\\\?\\";
constexpr std::wstring_view kDevice = L"\\\\.\\";

bool StartsWith(std::wstring_view text, std::wstring_view start) {
    return text.substr(0, start.size()) == start;
}

bool IsDriveLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

std::wstring CurrentFolder() {
    DWORD needed = GetCurrentDirectoryW(0, nullptr);
    std::wstring folder(needed, L'\0');
    DWORD length = GetCurrentDirectoryW(needed, folder.data());
    folder.resize(length < needed ? length : 0);
    return folder;
}

// The current folder of a drive ("X:" alone names it). The name holds no part of its own that
// the system could change.
std::wstring CurrentFolderOfDrive(wchar_t drive) {
    const wchar_t name[] = {drive, L':', L'\0'};
    DWORD needed = GetFullPathNameW(name, 0, nullptr, nullptr);
    std::wstring folder(needed, L'\0');
    DWORD length = GetFullPathNameW(name, needed, folder.data(), nullptr);
    folder.resize(length < needed ? length : 0);
    return folder;
}

// An absolute path split into its root in the exact form ("\\?\X:", "\\?\UNC\server\share")
// and the rest. A relative path is taken from the current folder (of its drive, for "X:name";
// the current folder's root for "\name").
struct SplitPath {
    std::wstring root;
    std::wstring rest;
};

SplitPath Split(const std::wstring& path) {
    if (StartsWith(path, kVerbatim)) // a current folder may be given in the exact form too
        return Split(StartsWith(path, L"\\\\?\\UNC\\") ? L"\\" + path.substr(7) : path.substr(4));
    if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == L':') {
        if (path.size() >= 3 && path[2] == L'\\')
            return {std::wstring(kVerbatim) + path.substr(0, 2), path.substr(2)};
        SplitPath base = Split(CurrentFolderOfDrive(path[0]));
        return {base.root, base.rest + L"\\" + path.substr(2)};
    }
    if (StartsWith(path, L"\\\\")) {
        // \\server\share\rest: the server and share are the root.
        size_t server = path.find(L'\\', 2);
        size_t share = server == std::wstring::npos ? server : path.find(L'\\', server + 1);
        if (share == std::wstring::npos)
            return {std::wstring(kVerbatim) + L"UNC" + path.substr(1), L""};
        return {std::wstring(kVerbatim) + L"UNC" + path.substr(1, share - 1), path.substr(share)};
    }
    std::wstring current = CurrentFolder();
    if (current.empty() || current == path)
        return {L"", path};
    SplitPath base = Split(current);
    if (StartsWith(path, L"\\"))
        return {base.root, path};
    return {base.root, base.rest + L"\\" + path};
}

// The parts of `rest` joined to the root, "." dropped and ".." taking away the part before it
// (never the root). Every other part stays exactly as written, trailing dots and spaces too.
std::wstring Joined(const SplitPath& path) {
    std::vector<std::wstring_view> parts;
    std::wstring_view rest = path.rest;
    while (!rest.empty()) {
        size_t end = std::min(rest.size(), rest.find(L'\\'));
        std::wstring_view part = rest.substr(0, end);
        rest.remove_prefix(std::min(rest.size(), end + 1));
        if (part == L"..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != L".") {
            parts.push_back(part);
        }
    }
    std::wstring joined = path.root;
    for (std::wstring_view part : parts)
        (joined += L'\\') += part;
    if (parts.empty() || path.rest.ends_with(L'\\'))
        joined += L'\\';
    return joined;
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
    if (path.empty() || StartsWith(path, kVerbatim) || StartsWith(path, kDevice))
        return path;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    if (StartsWith(path, kVerbatim) || StartsWith(path, kDevice))
        return path;
    return Joined(Split(path));
}
