// The folder walk over the Windows directory enumeration, in the platform's order.
#include "core/folder_walk.h"

#include "core/folder_trail.h"
#include "core/wide_path.h"

#include <windows.h>

namespace {

std::string FolderPrefix(std::string_view folder) {
    std::string prefix(folder);
    if (prefix.empty() || (prefix.back() != '\\' && prefix.back() != '/'))
        prefix += '\\';
    return prefix;
}

bool IdentityOf(const std::string& folder, FolderIdentity& identity) {
    HANDLE handle = CreateFileW(WidePath(folder).c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION information{};
    bool known = GetFileInformationByHandle(handle, &information) != 0;
    CloseHandle(handle);
    identity = {information.dwVolumeSerialNumber,
                (uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow};
    return known;
}

void Search(const std::string& folder, FolderTrail& trail, std::vector<std::string>& files) {
    FolderIdentity identity{};
    bool known = IdentityOf(folder, identity);
    if (known && IsOnTrail(trail, identity))
        return;
    const std::string prefix = FolderPrefix(folder);
    std::vector<std::string> subfolders;
    // The wide calls: a name's UTF-8 form may not fit into the ANSI record's 260 bytes.
    WIN32_FIND_DATAW record;
    HANDLE search = FindFirstFileW(WidePath(prefix + "*").c_str(), &record);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = ProgramText(record.cFileName);
        if ((record.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            files.push_back(prefix + name);
        else if (name != "." && name != "..")
            subfolders.push_back(std::move(name));
    } while (FindNextFileW(search, &record));
    FindClose(search);
    if (known)
        trail.push_back(identity);
    for (const std::string& subfolder : subfolders)
        Search(prefix + subfolder, trail, files);
    if (known)
        trail.pop_back();
}

} // namespace

bool IsFolder(std::string_view name) {
    DWORD attributes = GetFileAttributesW(WidePath(name).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void AppendFolderFiles(std::string_view folder, std::vector<std::string>& files) {
    FolderTrail trail;
    Search(std::string(folder), trail, files);
}
