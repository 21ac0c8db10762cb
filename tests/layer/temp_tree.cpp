#include "temp_tree.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>

namespace {

std::wstring LongPathForm(const std::string& path) {
    std::wstring wide = L"\\\\?\\";
    for (char c : path)
        wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return wide;
}

// Under Wine a Unix program can be started like any other, which lets the tests use the host's
// own link and removal tools where Wine's emulation has none.
using UnixNameFunction = char*(CDECL*)(const wchar_t*);

UnixNameFunction WineUnixNameFunction() {
    return reinterpret_cast<UnixNameFunction>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
}

std::string UnixPathOf(const std::string& path) {
    UnixNameFunction unixName = WineUnixNameFunction();
    std::wstring wide(path.begin(), path.end());
    char* name = unixName(wide.c_str());
    if (name == nullptr)
        return {};
    std::string result(name);
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

// Starts a host program. Wine gives no waitable handle for it, so callers wait for its effect.
bool StartHostCommand(std::string commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    if (process.hThread != nullptr)
        CloseHandle(process.hThread);
    if (process.hProcess != nullptr)
        CloseHandle(process.hProcess);
    return true;
}

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs = 10000) {
    const ULONGLONG giveUpAt = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() >= giveUpAt)
            return false;
        Sleep(10);
    }
    return true;
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

TempTree::TempTree() {
    char temp[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof temp, temp);
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = std::string(temp, length) + "vantrel-" + std::to_string(GetCurrentProcessId()) + "-" +
            (test != nullptr ? test->name() : "tree");
    MakeFolder("");
}

TempTree::~TempTree() {
    if (WineUnixNameFunction() != nullptr) {
        const std::string unixRoot = UnixPathOf(root_);
        if (!unixRoot.empty() && StartHostCommand("/bin/rm -rf " + unixRoot))
            WaitFor([this] { return !Exists(root_); });
    }
}

std::string TempTree::Path(std::string_view relative) const {
    return relative.empty() ? root_ : root_ + "\\" + std::string(relative);
}

void TempTree::MakeFolder(std::string_view relative) const {
    ASSERT_TRUE(CreateDirectoryA(Path(relative).c_str(), nullptr)) << Path(relative);
}

void TempTree::MakeFile(std::string_view relative, unsigned long attributes) const {
    HANDLE file = CreateFileA(Path(relative).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << Path(relative);
    CloseHandle(file);
    if (attributes != 0) {
        ASSERT_TRUE(SetFileAttributesA(Path(relative).c_str(), attributes));
        ASSERT_EQ(GetFileAttributesA(Path(relative).c_str()) & attributes, attributes);
    }
}

bool TempTree::MakeFolderLink(std::string_view relative, std::string_view target) const {
    const std::string link = Path(relative);
    // The host command line is split at spaces.
    if (link.find(' ') != std::string::npos || Path(target).find(' ') != std::string::npos)
        return false;
    if (WineUnixNameFunction() != nullptr) {
        // Wine accepts CreateSymbolicLinkA but makes nothing; a host link is what it follows.
        const std::string unixTarget = UnixPathOf(Path(target));
        const std::string unixParent = UnixPathOf(link.substr(0, link.rfind('\\')));
        const std::string name = link.substr(link.rfind('\\') + 1);
        if (unixTarget.empty() || unixParent.empty() ||
            !StartHostCommand("/bin/ln -s " + unixTarget + " " + unixParent + "/" + name) ||
            !WaitFor([&link] { return Exists(link); }))
            return false;
    } else if (!CreateSymbolicLinkA(link.c_str(), Path(target).c_str(),
                                    SYMBOLIC_LINK_FLAG_DIRECTORY)) {
        return false;
    }
    const DWORD attributes = GetFileAttributesA(link.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void TempTree::MakeLongPathFile(const std::string& path) const {
    ASSERT_GT(path.size(), static_cast<size_t>(MAX_PATH));
    for (size_t end = path.find('\\', root_.size() + 1); end != std::string::npos;
         end = path.find('\\', end + 1))
        CreateDirectoryW(LongPathForm(path.substr(0, end)).c_str(), nullptr);
    ASSERT_TRUE(CreateDirectoryW(LongPathForm(path).c_str(), nullptr)) << GetLastError();
    HANDLE file = CreateFileW(LongPathForm(path + "\\deep.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
    CloseHandle(file);
}
