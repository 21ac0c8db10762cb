// Saving a file through the POSIX file services.
#include "core/file_descriptor_posix.h"
#include "core/save_file_platform.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kPieceBytes = size_t{1} << 20;

bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        ssize_t wrote = write(fd, text.data(), std::min(text.size(), kPieceBytes));
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        text.remove_prefix(static_cast<size_t>(wrote));
    }
    return true;
}

// Copies the rest of one open file into another, from their current positions; the count of
// bytes copied, or -1 on an error.
off_t CopyRest(int from, int to) {
    std::unique_ptr<char[]> piece(new char[kPieceBytes]);
    off_t copied = 0;
    for (;;) {
        ssize_t got = read(from, piece.get(), kPieceBytes);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 || !WriteAll(to, std::string_view(piece.get(), static_cast<size_t>(got))))
            return -1;
        if (got == 0)
            return copied;
        copied += got;
    }
}

// Makes the folder entries of the folder holding `name` durable: a rename or a new name.
bool SyncFolderOf(const std::string& name) {
    const size_t slash = name.rfind('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : name.substr(0, slash);
    FileDescriptor file(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return file.IsOpen() && fsync(file.Get()) == 0;
}

// Gives the new file the permission bits of `model`, and its owner and group where this
// program may (only an administrator can give a file away).
bool TakeModeOf(int fd, const struct stat& model) {
    if (model.st_uid != geteuid() || model.st_gid != getegid()) {
        if (fchown(fd, model.st_uid, model.st_gid) != 0) {
            // The new file keeps this program's owner and group.
        }
    }
    return fchmod(fd, model.st_mode & 07777) == 0;
}

NewFile CreateNew(const std::string& name, mode_t mode, int& fd) {
    fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0)
        return NewFile::Written;
    return errno == EEXIST ? NewFile::NameTaken : NewFile::Failed;
}

NewFile Finished(const std::string& name, FileDescriptor& file, bool written) {
    if (file.Close() && written)
        return NewFile::Written;
    unlink(name.c_str());
    return NewFile::Failed;
}

} // namespace

SaveTarget InspectSaveTarget(std::string& name) {
    struct stat information {};
    if (lstat(name.c_str(), &information) != 0)
        return errno == ENOENT ? SaveTarget::Missing : SaveTarget::Refused;
    if (S_ISLNK(information.st_mode)) {
        std::unique_ptr<char, decltype(&free)> resolved(realpath(name.c_str(), nullptr), free);
        if (!resolved) // a link that leads nowhere is replaced like a missing file
            return errno == ENOENT ? SaveTarget::Missing : SaveTarget::Refused;
        name = resolved.get();
        if (stat(name.c_str(), &information) != 0)
            return SaveTarget::Refused;
    }
    if (!S_ISREG(information.st_mode))
        return SaveTarget::Refused;
    // A file without any write permission is read-only for the administrator too, as the
    // read-only attribute is on Windows.
    if ((information.st_mode & 0222) == 0 || access(name.c_str(), W_OK) != 0)
        return SaveTarget::Refused;
    return information.st_nlink > 1 ? SaveTarget::HardLinked : SaveTarget::SingleLink;
}

NewFile WriteNewFile(const std::string& name, std::string_view text, const std::string& target) {
    struct stat model {};
    const bool replacing = stat(target.c_str(), &model) == 0;
    int fd = -1;
    const NewFile created = CreateNew(name, replacing ? 0600 : 0666, fd);
    if (created != NewFile::Written)
        return created;
    FileDescriptor file(fd);
    const bool written =
        (!replacing || TakeModeOf(fd, model)) && WriteAll(fd, text) && fsync(fd) == 0;
    return Finished(name, file, written);
}

NewFile CopyToNewFile(const std::string& source, const std::string& name) {
    FileDescriptor from(open(source.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat model {};
    if (!from.IsOpen() || fstat(from.Get(), &model) != 0)
        return NewFile::Failed;
    int fd = -1;
    const NewFile created = CreateNew(name, 0600, fd);
    if (created != NewFile::Written)
        return created;
    FileDescriptor file(fd);
    const bool written = TakeModeOf(fd, model) && CopyRest(from.Get(), fd) >= 0 && fsync(fd) == 0 &&
                         SyncFolderOf(name);
    return Finished(name, file, written);
}

bool MoveOver(const std::string& replacement, const std::string& target) {
    if (rename(replacement.c_str(), target.c_str()) != 0)
        return false;
    // The new name is in place; this makes it survive a power loss too.
    SyncFolderOf(target);
    return true;
}

bool RewriteFile(const std::string& name, std::string_view text) {
    FileDescriptor file(open(name.c_str(), O_WRONLY | O_CLOEXEC));
    bool written = file.IsOpen() && WriteAll(file.Get(), text) &&
                   ftruncate(file.Get(), static_cast<off_t>(text.size())) == 0 &&
                   fsync(file.Get()) == 0;
    return file.IsOpen() && file.Close() && written;
}

bool RewriteFileFrom(const std::string& name, const std::string& source) {
    FileDescriptor from(open(source.c_str(), O_RDONLY | O_CLOEXEC));
    FileDescriptor file(open(name.c_str(), O_WRONLY | O_CLOEXEC));
    if (!from.IsOpen() || !file.IsOpen())
        return false;
    const off_t copied = CopyRest(from.Get(), file.Get());
    bool written = copied >= 0 && ftruncate(file.Get(), copied) == 0 && fsync(file.Get()) == 0;
    return file.Close() && written;
}

void RemoveFile(const std::string& name) {
    unlink(name.c_str());
}
