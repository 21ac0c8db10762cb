// The folder walk over POSIX directories, names sorted within a folder.
#include "core/folder_walk.h"

#include "core/folder_trail.h"

#include <dirent.h>
#include <sys/stat.h>

namespace {

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

} // namespace

bool IsFolder(std::string_view name) {
    std::string path(name);
    struct stat information {};
    return stat(path.c_str(), &information) == 0 && S_ISDIR(information.st_mode);
}

void AppendFolderFiles(std::string_view folder, std::vector<std::string>& files) {
    FolderTrail trail;
    Search(std::string(folder), trail, files);
}
