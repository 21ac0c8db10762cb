// The folder walk over POSIX directories, names sorted within a folder. Every folder is opened
// from its parent's open handle, so the depth of a tree is not limited by PATH_MAX; a stack of
// levels replaces recursion, so it is not limited by the call stack either.
#include "core/folder_walk.h"

#include "core/folder_identity.h"
#include "core/long_path_posix.h"
#include "core/system_error.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
// Folders held open at once; past that, the shallowest are closed and reopened by name when the
// walk comes back to them. Fewer when the process runs out of descriptors.
constexpr size_t kMostOpenFolders = 32;
const char kFolderReplaced[] = "the folder was replaced during the search";

enum class EntryKind { File, Folder, Skipped };

// Links, and entries on file systems that do not say, are asked about one by one. A link to a
// folder is left out, as `find` does; a link to anything else is a file.
EntryKind KindOf(int folder, const dirent& entry) {
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
    return EntryKind::Skipped;
}

// The folder's path with one '/' at its end, ready for the names of its entries.
std::string PrefixOf(std::string folder) {
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

bool IdentityOf(int fd, FolderIdentity& identity) {
    struct stat information {};
    if (fstat(fd, &information) != 0)
        return false;
    identity = {static_cast<uint64_t>(information.st_dev),
                static_cast<uint64_t>(information.st_ino)};
    return true;
}

// One folder on the walk's current path.
struct Level {
    std::string name;                    // as its parent lists it; the start folder's is empty
    size_t pathLength;                   // of the walk's path up to this folder's trailing '/'
    int fd;                              // -1 while closed to spare descriptors
    FolderIdentity identity;             // what a reopened handle must lead to
    std::vector<std::string> subfolders; // still to search, the next one last
};

class FolderWalk {
  public:
    FolderWalk(std::string_view folder, std::vector<std::string>& files,
               const FolderProblem& problem)
        : start_(folder), path_(folder), files_(files), problem_(problem) {}
    FolderWalk(const FolderWalk&) = delete;
    FolderWalk& operator=(const FolderWalk&) = delete;
    ~FolderWalk() {
        for (Level& level : levels_)
            CloseLevel(level);
    }

    void Run() {
        int fd = OpenAnyLength(start_, kFolderFlags);
        if (fd < 0)
            return Report(start_, SystemErrorText(errno));
        Enter(fd, "");
        while (!levels_.empty())
            Step();
    }

  private:
    // Goes into the next subfolder of the deepest level, or leaves that level when none is left.
    void Step() {
        Level& level = levels_.back();
        if (level.subfolders.empty() || !Reopen(levels_.size() - 1)) {
            CloseLevel(level);
            levels_.pop_back();
            return;
        }
        std::string name = std::move(level.subfolders.back());
        level.subfolders.pop_back();
        path_.resize(level.pathLength);
        path_ += name;
        int sub = OpenSubfolder(level.fd, name);
        int error = errno;
        // The last subfolder taken: nothing more is opened from this folder.
        if (level.subfolders.empty())
            CloseLevel(level);
        if (sub < 0)
            Report(path_, SystemErrorText(error));
        else
            Enter(sub, std::move(name));
    }

    int OpenSubfolder(int parent, const std::string& name) {
        return SparingDescriptors(
            [&] { return openat(parent, name.c_str(), kFolderFlags | O_NOFOLLOW); }, parent);
    }

    // Calls `open` again after closing every folder held open but `keep`, when the process has
    // run out of descriptors.
    template <typename Open> int SparingDescriptors(const Open& open, int keep) {
        int fd = open();
        if (fd < 0 && (errno == EMFILE || errno == ENFILE) && CloseAllBut(keep))
            fd = open();
        return fd;
    }

    // Lists the open folder `fd` (which it takes) at path_; pushes a level for its subfolders,
    // which keeps `fd` open for opening them.
    void Enter(int fd, std::string name) {
        FolderIdentity identity{};
        if (!IdentityOf(fd, identity)) {
            Report(path_, SystemErrorText(errno));
            close(fd);
            return;
        }
        if (!entered_.insert(identity).second) {
            close(fd);
            return;
        }
        std::vector<std::string> subfolders;
        if (!List(fd, subfolders)) {
            close(fd);
            return;
        }
        if (subfolders.empty()) {
            close(fd);
            return;
        }
        std::reverse(subfolders.begin(), subfolders.end());
        path_ = PrefixOf(std::move(path_));
        KeepWithinBound();
        levels_.push_back({std::move(name), path_.size(), fd, identity, std::move(subfolders)});
    }

    // Appends the folder's files, sorted, and gives its subfolders, sorted.
    bool List(int fd, std::vector<std::string>& subfolders) {
        int listingFd = SparingDescriptors([&] { return dup(fd); }, fd);
        DIR* listing = listingFd < 0 ? nullptr : fdopendir(listingFd);
        if (listing == nullptr) {
            Report(path_, SystemErrorText(errno));
            if (listingFd >= 0)
                close(listingFd);
            return false;
        }
        std::vector<std::string> names;
        errno = 0;
        while (const dirent* entry = readdir(listing)) {
            std::string_view name = entry->d_name;
            if (name != "." && name != "..") {
                EntryKind kind = KindOf(fd, *entry);
                if (kind == EntryKind::File)
                    names.emplace_back(name);
                else if (kind == EntryKind::Folder)
                    subfolders.emplace_back(name);
            }
            errno = 0;
        }
        int error = errno;
        closedir(listing);
        if (error != 0) {
            Report(path_, SystemErrorText(error));
            return false;
        }
        std::sort(names.begin(), names.end());
        std::sort(subfolders.begin(), subfolders.end());
        const std::string prefix = PrefixOf(path_);
        for (const std::string& name : names)
            files_.push_back(prefix + name);
        return true;
    }

    // Makes the level's handle open again, from the nearest open folder above it, name by name.
    bool Reopen(size_t depth) {
        if (levels_[depth].fd >= 0)
            return true;
        size_t open = depth;
        while (open > 0 && levels_[open].fd < 0)
            --open;
        int fd = levels_[open].fd;
        bool owned = fd < 0;
        if (owned)
            fd = OpenAnyLength(start_, kFolderFlags);
        for (size_t at = open + 1; at <= depth && fd >= 0; ++at) {
            const char* name = levels_[at].name.c_str();
            int next =
                SparingDescriptors([&] { return openat(fd, name, kFolderFlags | O_NOFOLLOW); }, fd);
            int error = errno;
            if (owned)
                close(fd);
            errno = error;
            fd = next;
            owned = true;
        }
        const std::string folder = FolderPath(depth);
        if (fd < 0) {
            Report(folder, SystemErrorText(errno));
            return false;
        }
        FolderIdentity identity{};
        if (!IdentityOf(fd, identity) || identity != levels_[depth].identity) {
            close(fd);
            Report(folder, kFolderReplaced);
            return false;
        }
        KeepWithinBound();
        levels_[depth].fd = fd;
        return true;
    }

    // The level's folder as the walk names it, without the trailing '/' the walk added.
    std::string FolderPath(size_t depth) const {
        size_t length = levels_[depth].pathLength;
        if (length > 1 && (depth > 0 || start_.size() < length))
            --length;
        return path_.substr(0, length);
    }

    // Makes room for one more open folder: closes the shallowest while too many are open.
    void KeepWithinBound() {
        size_t open = 0;
        for (const Level& level : levels_)
            open += level.fd >= 0;
        for (Level& level : levels_) {
            if (open < kMostOpenFolders)
                return;
            if (level.fd >= 0) {
                CloseLevel(level);
                --open;
            }
        }
    }

    // False when there was none to close.
    bool CloseAllBut(int keep) {
        bool closed = false;
        for (Level& level : levels_) {
            if (level.fd >= 0 && level.fd != keep) {
                CloseLevel(level);
                closed = true;
            }
        }
        return closed;
    }

    static void CloseLevel(Level& level) {
        if (level.fd >= 0)
            close(level.fd);
        level.fd = -1;
    }

    void Report(const std::string& folder, const std::string& reason) {
        if (problem_)
            problem_(folder, reason);
    }

    const std::string start_;
    std::string path_; // the folder being listed, or the subfolder being opened
    std::vector<std::string>& files_;
    const FolderProblem& problem_;
    std::vector<Level> levels_;
    EnteredFolders entered_;
};

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

void SearchFolderForFiles(std::string_view folder, std::vector<std::string>& files,
                          const FolderProblem& problem) {
    FolderWalk(folder, files, problem).Run();
}
