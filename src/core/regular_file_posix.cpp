// Reading regular files whole through the POSIX file services.
#include "core/regular_file.h"

#include "core/long_path_posix.h"
#include "core/text_file_platform.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class OpenFile {
  public:
    explicit OpenFile(int fd) : fd_(fd) {}
    ~OpenFile() {
        if (fd_ >= 0)
            close(fd_);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int Get() const { return fd_; }

  private:
    int fd_;
};

// Reads exactly `count` bytes from `offset` on; false on an error or an early end.
bool ReadAt(int fd, char* data, size_t count, uint64_t offset) {
    size_t done = 0;
    while (done < count) {
        ssize_t got = pread(fd, data + done, std::min(count - done, kChunkBytes),
                            static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            if (got == 0)
                errno = EIO; // the file shrank while it was read
            return false;
        }
        done += static_cast<size_t>(got);
    }
    return true;
}

} // namespace

std::string LastSystemErrorText() {
    return ErrorText(errno);
}

std::string RegularFileReader::Read(std::string_view name, char first, char last) {
    content_ = {};
    if (name.find('\0') != std::string_view::npos)
        return ErrorText(EINVAL);
    // Opened without blocking, so that a pipe without a writer cannot hold the program; whether
    // it is a regular file is asked of the open file, so nothing can swap it in between.
    OpenFile file(OpenAnyLength(std::string(name), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.Get() < 0)
        return ErrorText(errno);
    struct stat information {};
    if (fstat(file.Get(), &information) != 0)
        return ErrorText(errno);
    if (S_ISDIR(information.st_mode))
        return ErrorText(EISDIR);
    if (!S_ISREG(information.st_mode))
        return kNotARegularFile;
    int flags = fcntl(file.Get(), F_GETFL);
    if (flags < 0 || fcntl(file.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        return ErrorText(errno);
    const auto size = static_cast<uint64_t>(information.st_size);
    if (size == 0)
        return {};
    if (size > kProbeLimit) {
        char head = 0;
        char tail = 0;
        if (!ReadAt(file.Get(), &head, 1, 0) || !ReadAt(file.Get(), &tail, 1, size - 1))
            return ErrorText(errno);
        if (head != first || tail != last)
            return {};
    }
    char* room = size <= SIZE_MAX ? Room(static_cast<size_t>(size)) : nullptr;
    if (room == nullptr)
        return ErrorText(ENOMEM);
    if (!ReadAt(file.Get(), room, static_cast<size_t>(size), 0))
        return ErrorText(errno);
    content_ = std::string_view(room, static_cast<size_t>(size));
    if (content_.front() != first || content_.back() != last)
        content_ = {};
    return {};
}
