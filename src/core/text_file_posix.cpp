// Whole-file writing through the POSIX file services.
#include "core/file_descriptor_posix.h"
#include "core/text_file_platform.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool WriteAll(int fd, std::string_view text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t wrote = write(fd, text.data() + done, std::min(text.size() - done, kChunkBytes));
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        done += static_cast<size_t>(wrote);
    }
    return true;
}

} // namespace

bool WriteNewFile(const std::string& name, std::string_view text) {
    FileDescriptor file(open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!file.IsOpen())
        return false;
    bool written = WriteAll(file.Get(), text) && fsync(file.Get()) == 0;
    return file.Close() && written;
}

bool MoveOverFile(const std::string& from, const std::string& to) {
    return rename(from.c_str(), to.c_str()) == 0;
}

void RemoveFile(const std::string& name) {
    unlink(name.c_str());
}

uint32_t CurrentProcessId() {
    return static_cast<uint32_t>(getpid());
}
