#include "app/folder_files.h"

#include <algorithm>
#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#endif

namespace {

// Which folder a path leads to, whatever way it takes there.
struct FolderIdentity {
    uint64_t device;
    uint64_t index;
    bool operator==(const FolderIdentity&) const = default;
};

// The folders the search is inside, outermost first.
using FolderTrail = std::vector<FolderIdentity>;

bool IsOnTrail(const FolderTrail& trail, const FolderIdentity& identity) {
    return std::find(trail.begin(), trail.end(), identity) != trail.end();
}

#ifdef _WIN32

std::string FolderPrefix(std::string_view folder) {
    std::string prefix(folder);
    if (prefix.empty() || (prefix.back() != '\\' && prefix.back() != '/'))
        prefix += '\\';
    return prefix;
}

bool IdentityOf(const std::string& folder, FolderIdentity& identity) {
    HANDLE handle =
        CreateFileA(folder.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
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
    WIN32_FIND_DATAA record;
    HANDLE search = FindFirstFileA((prefix + "*").c_str(), &record);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = record.cFileName;
        if ((record.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            files.push_back(prefix + name);
        else if (name != "." && name != "..")
            subfolders.push_back(std::move(name));
    } while (FindNextFileA(search, &record));
    FindClose(search);
    if (known)
        trail.push_back(identity);
    for (const std::string& subfolder : subfolders)
        Search(prefix + subfolder, trail, files);
    if (known)
        trail.pop_back();
}

#else

std::string FolderPrefix(std::string_view folder) {
    std::string prefix(folder);
    if (prefix.empty() || prefix.back() != '/')
        prefix += '/';
    return prefix;
}

struct FolderEntry {
    std::string path;
    bool isFolder;
    bool operator<(const FolderEntry& other) const { return path < other.path; }
};

// Links, and entries on file systems that do not say, are asked about one by one.
bool EntryIsFolder(const std::string& path, const dirent& entry) {
    if (entry.d_type == DT_DIR)
        return true;
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN)
        return false;
    return IsFolder(path);
}

// The entries of the folder, sorted; false when it cannot be read or is already on the trail,
// which then gets the folder's identity.
bool ReadFolder(const std::string& folder, FolderTrail& trail, std::vector<FolderEntry>& entries) {
    DIR* listing = opendir(folder.c_str());
    if (listing == nullptr)
        return false;
    struct stat information {};
    if (fstat(dirfd(listing), &information) != 0) {
        closedir(listing);
        return false;
    }
    FolderIdentity identity{static_cast<uint64_t>(information.st_dev),
                            static_cast<uint64_t>(information.st_ino)};
    if (IsOnTrail(trail, identity)) {
        closedir(listing);
        return false;
    }
    trail.push_back(identity);
    const std::string prefix = FolderPrefix(folder);
    while (const dirent* entry = readdir(listing)) {
        std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        std::string path = prefix + std::string(name);
        bool isFolder = EntryIsFolder(path, *entry);
        entries.push_back({std::move(path), isFolder});
    }
    closedir(listing);
    std::sort(entries.begin(), entries.end());
    return true;
}

void Search(const std::string& folder, FolderTrail& trail, std::vector<std::string>& files) {
    std::vector<FolderEntry> entries;
    if (!ReadFolder(folder, trail, entries))
        return;
    for (const FolderEntry& entry : entries)
        if (!entry.isFolder)
            files.push_back(entry.path);
    for (const FolderEntry& entry : entries)
        if (entry.isFolder)
            Search(entry.path, trail, files);
    trail.pop_back();
}

#endif

} // namespace

bool IsFolder(std::string_view name) {
    std::string path(name);
#ifdef _WIN32
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
#else
    struct stat information {};
    return stat(path.c_str(), &information) == 0 && S_ISDIR(information.st_mode);
#endif
}

void AppendFolderFiles(std::string_view folder, std::vector<std::string>& files) {
    FolderTrail trail;
    Search(std::string(folder), trail, files);
}
