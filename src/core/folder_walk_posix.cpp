// The folder walk over POSIX directories, names sorted within a folder. Every folder is opened
// from its parent's open handle, so the depth of a tree is not limited by PATH_MAX.
#include "core/folder_walk.h"

#include "core/folder_trail.h"
#include "core/long_path_posix.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

struct WalkRules {
    bool followLinks;             // links to folders met inside are entered too
    const FolderProblem* problem; // told about every folder that cannot be read, if given
};

void Report(const WalkRules& rules, const std::string& folder, int error) {
    if (rules.problem != nullptr && *rules.problem)
        (*rules.problem)(folder, ErrorText(error));
}

std::string FolderPrefix(std::string_view folder) {
    std::string prefix(folder);
    if (prefix.empty() || prefix.back() != '/')
        prefix += '/';
    return prefix;
}

enum class EntryKind { File, Folder, Skipped };

struct FolderEntry {
    std::string path;
    size_t nameStart;
    EntryKind kind;
    bool operator<(const FolderEntry& other) const { return path < other.path; }
    const char* Name() const { return path.c_str() + nameStart; }
};

// Links, and entries on file systems that do not say, are asked about one by one. A link to a
// folder is a folder when links are followed and left out otherwise, as `find` does.
EntryKind KindOf(int folder, const dirent& entry, const WalkRules& rules) {
    if (entry.d_type == DT_DIR)
        return EntryKind::Folder;
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN)
        return EntryKind::File;
    struct stat information {};
    if (entry.d_type == DT_UNKNOWN) {
        if (fstatat(folder, entry.d_name, &information, AT_SYMLINK_NOFOLLOW) != 0)
            return EntryKind::File;
        if (S_ISDIR(information.st_mode))
            return EntryKind::Folder;
        if (!S_ISLNK(information.st_mode))
            return EntryKind::File;
    }
    if (fstatat(folder, entry.d_name, &information, 0) != 0 || !S_ISDIR(information.st_mode))
        return EntryKind::File;
    return rules.followLinks ? EntryKind::Folder : EntryKind::Skipped;
}

void Search(int fd, const std::string& folder, FolderTrail& trail, std::vector<std::string>& files,
            const WalkRules& rules);

// The entries of the open folder, sorted.
bool ReadEntries(DIR* listing, const std::string& folder, const WalkRules& rules,
                 std::vector<FolderEntry>& entries) {
    const std::string prefix = FolderPrefix(folder);
    errno = 0;
    while (const dirent* entry = readdir(listing)) {
        std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        EntryKind kind = KindOf(dirfd(listing), *entry, rules);
        if (kind != EntryKind::Skipped)
            entries.push_back({prefix + std::string(name), prefix.size(), kind});
        errno = 0;
    }
    if (errno != 0) {
        Report(rules, folder, errno);
        return false;
    }
    std::sort(entries.begin(), entries.end());
    return true;
}

void SearchEntries(DIR* listing, FolderTrail& trail, std::vector<std::string>& files,
                   const WalkRules& rules, const std::vector<FolderEntry>& entries) {
    for (const FolderEntry& entry : entries)
        if (entry.kind == EntryKind::File)
            files.push_back(entry.path);
    const int noLinks = rules.followLinks ? 0 : O_NOFOLLOW;
    for (const FolderEntry& entry : entries) {
        if (entry.kind != EntryKind::Folder)
            continue;
        int sub = openat(dirfd(listing), entry.Name(), kFolderFlags | noLinks);
        if (sub < 0)
            Report(rules, entry.path, errno);
        else
            Search(sub, entry.path, trail, files, rules);
    }
}

// Searches the open folder `fd`, which it closes.
void Search(int fd, const std::string& folder, FolderTrail& trail, std::vector<std::string>& files,
            const WalkRules& rules) {
    struct stat information {};
    if (fstat(fd, &information) != 0) {
        Report(rules, folder, errno);
        close(fd);
        return;
    }
    FolderIdentity identity{static_cast<uint64_t>(information.st_dev),
                            static_cast<uint64_t>(information.st_ino)};
    if (IsOnTrail(trail, identity)) {
        close(fd);
        return;
    }
    DIR* listing = fdopendir(fd);
    if (listing == nullptr) {
        Report(rules, folder, errno);
        close(fd);
        return;
    }
    trail.push_back(identity);
    std::vector<FolderEntry> entries;
    if (ReadEntries(listing, folder, rules, entries))
        SearchEntries(listing, trail, files, rules, entries);
    closedir(listing);
    trail.pop_back();
}

void SearchFrom(std::string_view folder, std::vector<std::string>& files, const WalkRules& rules) {
    const std::string path(folder);
    int fd = OpenAnyLength(path, kFolderFlags);
    if (fd < 0) {
        Report(rules, path, errno);
        return;
    }
    FolderTrail trail;
    Search(fd, path, trail, files, rules);
}

} // namespace

bool IsFolder(std::string_view name) {
    std::string path(name);
    struct stat information {};
    if (stat(path.c_str(), &information) == 0)
        return S_ISDIR(information.st_mode);
    if (errno != ENAMETOOLONG)
        return false;
    int fd = OpenAnyLength(path, kFolderFlags);
    if (fd >= 0)
        close(fd);
    return fd >= 0;
}

void AppendFolderFiles(std::string_view folder, std::vector<std::string>& files) {
    SearchFrom(folder, files, {true, nullptr});
}

void SearchFolderForFiles(std::string_view folder, std::vector<std::string>& files,
                          const FolderProblem& problem) {
    SearchFrom(folder, files, {false, &problem});
}
