// The folder walk over the Windows directory enumeration, in the platform's order, with a stack
// of levels instead of recursion.
#include "core/folder_walk.h"

#include "core/folder_identity.h"
#include "core/system_error.h"
#include "core/wide_path.h"

#include <windows.h>

namespace {

std::string FolderPrefix(std::string folder) {
    if (folder.empty() || (folder.back() != '\\' && folder.back() != '/'))
        folder += '\\';
    return folder;
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

// A symbolic link or junction to a folder, or a link the platform marks without saying which
// kind (Wine shows a Unix link so): the search neither enters nor lists it. The reparse points
// of Windows' own that are not links (files kept in the cloud, deduplicated ones) are ordinary
// folders.
bool IsFolderLink(const WIN32_FIND_DATAW& record) {
    const DWORD tag = record.dwReserved0;
    return (record.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
           !(IsReparseTagMicrosoft(tag) && !IsReparseTagNameSurrogate(tag));
}

// One folder on the walk's current path.
struct Level {
    size_t pathLength;                   // of the walk's path up to this folder's separator
    std::vector<std::string> subfolders; // still to search, the next one last
};

class FolderWalk {
  public:
    FolderWalk(std::string_view folder, std::vector<std::string>& files,
               const FolderProblem& problem)
        : path_(folder), files_(files), problem_(problem) {}

    void Run() {
        Enter();
        while (!levels_.empty()) {
            Level& level = levels_.back();
            if (level.subfolders.empty()) {
                levels_.pop_back();
                continue;
            }
            path_.resize(level.pathLength);
            path_ += level.subfolders.back();
            level.subfolders.pop_back();
            Enter();
        }
    }

  private:
    // Lists the folder at path_, unless the search has been in it; pushes a level for its
    // subfolders.
    void Enter() {
        FolderIdentity identity{};
        if (IdentityOf(path_, identity) && !entered_.insert(identity).second)
            return;
        const size_t nameLength = path_.size();
        path_ = FolderPrefix(std::move(path_));
        std::vector<std::string> subfolders;
        // The wide calls: a name's UTF-8 form may not fit into the ANSI record's 260 bytes.
        WIN32_FIND_DATAW record;
        HANDLE search = FindFirstFileW(WidePath(path_ + "*").c_str(), &record);
        if (search == INVALID_HANDLE_VALUE) {
            if (problem_)
                problem_(path_.substr(0, nameLength), SystemErrorText(GetLastError()));
            return;
        }
        do {
            std::string name = ProgramText(record.cFileName);
            if ((record.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
                files_.push_back(path_ + name);
            else if (name != "." && name != ".." && !IsFolderLink(record))
                subfolders.push_back(std::move(name));
        } while (FindNextFileW(search, &record));
        FindClose(search);
        if (!subfolders.empty())
            levels_.push_back({path_.size(), {subfolders.rbegin(), subfolders.rend()}});
    }

    std::string path_; // the folder being listed
    std::vector<std::string>& files_;
    const FolderProblem& problem_;
    std::vector<Level> levels_;
    EnteredFolders entered_;
};

} // namespace

bool IsFolder(std::string_view name) {
    DWORD attributes = GetFileAttributesW(WidePath(name).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void SearchFolderForFiles(std::string_view folder, std::vector<std::string>& files,
                          const FolderProblem& problem) {
    FolderWalk(folder, files, problem).Run();
}
