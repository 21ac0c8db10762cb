// Whole-file reading through the POSIX file services.
#include "core/file_descriptor_posix.h"
#include "core/text_file_platform.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int64_t ReadFromDescriptor(int fd, char* data, size_t count) {
    size_t done = 0;
    while (done < count) {
        ssize_t got = read(fd, data + done, std::min(count - done, kChunkBytes));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += static_cast<size_t>(got);
    }
    return static_cast<int64_t>(done);
}

// The byte at `offset`, or -1 when it cannot be read. The file position does not move.
int ByteAt(int fd, uint64_t offset) {
    unsigned char byte = 0;
    ssize_t got;
    do
        got = pread(fd, &byte, 1, static_cast<off_t>(offset));
    while (got < 0 && errno == EINTR);
    return got == 1 ? byte : -1;
}

} // namespace

std::string ReadStandardInput() {
    return ReadToEnd(
        [](char* data, size_t count) { return ReadFromDescriptor(STDIN_FILENO, data, count); });
}

// Reads the whole file into `content`, reusing its storage; empty on any failure. When `ends`
// is given, a regular file larger than kProbeLimit is read whole only if its first and last
// bytes are the ones asked for.
void ReadWholeFile(const std::string& name, const FileEnds* ends, std::string& content) {
    content.clear();
    FileDescriptor file(open(name.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.IsOpen())
        return;
    struct stat info {};
    if (fstat(file.Get(), &info) != 0 || S_ISDIR(info.st_mode))
        return;
    if (!S_ISREG(info.st_mode)) {
        const int fd = file.Get();
        content = ReadToEnd(
            [fd](char* data, size_t count) { return ReadFromDescriptor(fd, data, count); });
        return;
    }
    if (info.st_size <= 0)
        return;
    const auto bytes = static_cast<uint64_t>(info.st_size);
    if (ends != nullptr && bytes > kProbeLimit &&
        (ByteAt(file.Get(), 0) != ends->first || ByteAt(file.Get(), bytes - 1) != ends->last))
        return;
    if (!TryReserveBytes(content, bytes))
        return;
    int64_t got = ReadFromDescriptor(file.Get(), content.data(), content.size());
    content.resize(got < 0 ? 0 : static_cast<size_t>(got));
}
