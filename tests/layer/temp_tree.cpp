#include "temp_tree.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>

namespace {

// Under Wine, links and removal go through the host's own tools, started like any program:
// Wine's emulation makes no folder links. Its file name function gives the host's names.
using UnixNameFunction = char*(CDECL*)(const wchar_t*);
const auto unixName = reinterpret_cast<UnixNameFunction>(reinterpret_cast<void*>(
    GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));

std::string UnixPathOf(const std::string& path) {
    char* name = unixName(std::wstring(path.begin(), path.end()).c_str());
    std::string result = name != nullptr ? name : "";
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

// Starts a host command and waits until the path exists or not, as wanted (Wine gives no
// handle to wait on).
bool RunHostCommand(std::string commandLine, const std::string& path, bool exists) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    auto done = [&] {
        return (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) == exists;
    };
    for (const ULONGLONG giveUpAt = GetTickCount64() + 30000;
         !done() && GetTickCount64() < giveUpAt;)
        Sleep(10);
    return done();
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
    if (unixName != nullptr)
        RunHostCommand("/bin/rm -rf " + UnixPathOf(root_), root_, false);
}

std::string TempTree::Path(std::string_view relative) const {
    return relative.empty() ? root_ : root_ + "\\" + std::string(relative);
}

void TempTree::MakeFolder(std::string_view relative) const {
    ASSERT_TRUE(CreateDirectoryA(Path(relative).c_str(), nullptr)) << Path(relative);
}

void TempTree::MakeFile(std::string_view relative) const {
    ASSERT_TRUE(std::ofstream(Path(relative)).good()) << Path(relative);
}

bool TempTree::MakeFolderLink(std::string_view relative, std::string_view target) const {
    const std::string link = Path(relative);
    if (unixName == nullptr)
        return CreateSymbolicLinkA(link.c_str(), Path(target).c_str(),
                                   SYMBOLIC_LINK_FLAG_DIRECTORY);
    const size_t cut = link.rfind('\\');
    // The host command line is split at spaces.
    const std::string command = "/bin/ln -s " + UnixPathOf(Path(target)) + " " +
                                UnixPathOf(link.substr(0, cut)) + "/" + link.substr(cut + 1);
    return std::count(command.begin(), command.end(), ' ') == 3 &&
           RunHostCommand(command, link, true);
}

void TempTree::MakeLongPathFile(const std::string& path) const {
    const auto longForm = [](const std::string& ascii) {
        return L"\\\\?\\" + std::wstring(ascii.begin(), ascii.end());
    };
    for (size_t end = path.find('\\', root_.size() + 1); end != std::string::npos;
         end = path.find('\\', end + 1))
        CreateDirectoryW(longForm(path.substr(0, end)).c_str(), nullptr);
    ASSERT_TRUE(CreateDirectoryW(longForm(path).c_str(), nullptr)) << GetLastError();
    HANDLE file = CreateFileW(longForm(path + "\\deep.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
    CloseHandle(file);
}
