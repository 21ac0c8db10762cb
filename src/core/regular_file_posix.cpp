// Reading regular files whole through the POSIX file services.
#include "core/regular_file.h"

#include "core/file_descriptor_posix.h"
#include "core/long_path_posix.h"
#include "core/text_file_platform.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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

// Files larger than this are mapped rather than copied: hashing them where the system caches
// them spares a pass over memory, which costs more than the mapping.
constexpr uint64_t kMapAbove = uint64_t{1} << 20;

// The mapping the thread is using, for the bus-error handler. A file cut shorter while it is
// mapped makes every access past its new end a bus error.
struct MappingInUse {
    char* begin = nullptr;
    char* end = nullptr; // rounded up to whole pages
    volatile sig_atomic_t damaged = 0;
};
thread_local MappingInUse mappingInUse;
size_t pageBytes = 4096;

// Puts zero pages where the file's pages went, so the access succeeds when retried, and notes
// the damage. A bus error anywhere else takes its default course when the access is retried.
void OnBusError(int, siginfo_t* information, void*) {
    MappingInUse& mapping = mappingInUse;
    auto* at = static_cast<char*>(information->si_addr);
    if (at >= mapping.begin && at < mapping.end) {
        char* page = mapping.begin + (static_cast<size_t>(at - mapping.begin) & ~(pageBytes - 1));
        void* zeros = mmap(page, static_cast<size_t>(mapping.end - page), PROT_READ,
                           MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (zeros != MAP_FAILED) {
            mapping.damaged = 1;
            return;
        }
    }
    signal(SIGBUS, SIG_DFL);
}

void HandleBusErrors() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        pageBytes = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        struct sigaction action {};
        action.sa_sigaction = OnBusError;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        sigaction(SIGBUS, &action, nullptr);
    });
}

size_t WholePages(size_t bytes) {
    return (bytes + pageBytes - 1) & ~(pageBytes - 1);
}

} // namespace

RegularFileReader::~RegularFileReader() {
    Unmap();
}

void RegularFileReader::Unmap() {
    if (mapping_ != nullptr)
        munmap(mapping_, WholePages(mappedBytes_));
    mapping_ = nullptr;
    mappedBytes_ = 0;
    mappingInUse = {};
}

std::string RegularFileReader::Finish() {
    bool damaged = mappingInUse.damaged != 0;
    Unmap();
    return damaged ? ErrorText(EIO) + " (the file shrank while it was read)" : std::string();
}

// Maps the whole file; false when it cannot be mapped, and then it is read instead.
bool RegularFileReader::Map(int fd, size_t size) {
    HandleBusErrors();
    void* at = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (at == MAP_FAILED)
        return false;
    mapping_ = at;
    mappedBytes_ = size;
    auto* begin = static_cast<char*>(at);
    mappingInUse.begin = begin;
    mappingInUse.end = begin + WholePages(size);
    mappingInUse.damaged = 0;
    content_ = std::string_view(begin, size);
    return true;
}

std::string LastSystemErrorText() {
    return ErrorText(errno);
}

std::string RegularFileReader::Read(std::string_view name, char first, char last) {
    content_ = {};
    Unmap();
    if (name.find('\0') != std::string_view::npos)
        return ErrorText(EINVAL);
    // Opened without blocking, so that a pipe without a writer cannot hold the program; whether
    // it is a regular file is asked of the open file, so nothing can swap it in between.
    FileDescriptor file(OpenAnyLength(std::string(name), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.Get() < 0)
        return ErrorText(errno);
    struct stat information {};
    if (fstat(file.Get(), &information) != 0)
        return ErrorText(errno);
    if (S_ISDIR(information.st_mode))
        return ErrorText(EISDIR);
    if (!S_ISREG(information.st_mode))
        return kNotARegularFile;
    // Reads block again from here on. O_RDONLY is the access mode, which F_SETFL leaves alone,
    // and O_NONBLOCK the only status flag the file was opened with.
    if (fcntl(file.Get(), F_SETFL, 0) != 0)
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
    if (size > kMapAbove && size <= SIZE_MAX && Map(file.Get(), static_cast<size_t>(size)))
        return {};
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
