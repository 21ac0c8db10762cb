// Reading regular files whole through the POSIX file services.
#include "core/regular_file.h"

#include "core/file_descriptor_posix.h"
#include "core/long_path_posix.h"
#include "core/system_error.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Reads go in pieces of at most this size.
constexpr size_t kChunkBytes = size_t{1} << 26;

// Reads exactly `count` bytes from `offset` on. The reason it could not, if so: the system's,
// or kChangedWhileRead when the file ended early (it shrank while it was read).
std::string ReadAt(int fd, char* data, size_t count, uint64_t offset) {
    size_t done = 0;
    while (done < count) {
        ssize_t got = pread(fd, data + done, std::min(count - done, kChunkBytes),
                            static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return SystemErrorText(errno);
        if (got == 0)
            return kChangedWhileRead;
        done += static_cast<size_t>(got);
    }
    return {};
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

int64_t Nanoseconds(const timespec& time) {
    return int64_t{time.tv_sec} * 1'000'000'000 + time.tv_nsec;
}

// How long after its last change a file must have stood still before it is read. A write
// sets the file's times from a clock that moves in ticks, and only once, before its bytes are
// copied: a write within the tick of the change before it, or one that began before the file
// was looked at, shows in neither time. A file changed this recently is waited for, then looked
// at again. File systems that keep whole seconds (no nanoseconds seen) need two seconds.
int64_t SettleNanoseconds(const struct stat& information) {
    if (information.st_ctim.tv_nsec == 0 && information.st_mtim.tv_nsec == 0)
        return 2'000'000'000;
    timespec tick{};
    clock_getres(CLOCK_REALTIME_COARSE, &tick);
    return Nanoseconds(tick) + 20'000'000;
}

int64_t CoarseNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return Nanoseconds(now);
}

// Waits until the file's last change lies a settling time back (at most one settling time,
// should its change time lie ahead of the clock).
void WaitUntilSettled(const struct stat& information) {
    const int64_t settle = SettleNanoseconds(information);
    const int64_t wait = std::min(settle, Nanoseconds(information.st_ctim) + settle - CoarseNow());
    if (wait <= 0)
        return;
    timespec pause{static_cast<time_t>(wait / 1'000'000'000),
                   static_cast<long>(wait % 1'000'000'000)};
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

bool IsSettled(const struct stat& information) {
    return CoarseNow() - Nanoseconds(information.st_ctim) >= SettleNanoseconds(information);
}

// What an open file looks like: a file whose look moved may have changed.
struct FileLook {
    uint64_t device, index, size;
    int64_t changed, modified; // nanoseconds since the epoch
    bool operator==(const FileLook&) const = default;
};

FileLook LookOf(const struct stat& information) {
    return {static_cast<uint64_t>(information.st_dev), static_cast<uint64_t>(information.st_ino),
            static_cast<uint64_t>(information.st_size), Nanoseconds(information.st_ctim),
            Nanoseconds(information.st_mtim)};
}

} // namespace

// The file from Read to Finish: open, and mapped when it is large.
struct RegularFileReader::PlatformState {
    int file = -1;
    FileLook look{};         // the open file when reading began
    void* mapping = nullptr; // the system's view of the file, if it was mapped
    size_t mappedBytes = 0;

    PlatformState() = default;
    PlatformState(const PlatformState&) = delete;
    PlatformState& operator=(const PlatformState&) = delete;
    ~PlatformState() {
        Unmap();
        Close();
    }

    void Close() {
        if (file >= 0)
            close(file);
        file = -1;
    }

    void Unmap() {
        if (mapping != nullptr)
            munmap(mapping, WholePages(mappedBytes));
        mapping = nullptr;
        mappedBytes = 0;
        mappingInUse = {};
    }

    // Maps the whole file: its bytes, or the empty view when it cannot be mapped, and then it
    // is read instead.
    std::string_view Map(size_t size) {
        HandleBusErrors();
        void* at = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, file, 0);
        if (at == MAP_FAILED)
            return {};
        mapping = at;
        mappedBytes = size;
        auto* begin = static_cast<char*>(at);
        mappingInUse.begin = begin;
        mappingInUse.end = begin + WholePages(size);
        mappingInUse.damaged = 0;
        return std::string_view(begin, size);
    }
};

RegularFileReader::RegularFileReader() : platform_(std::make_unique<PlatformState>()) {}
RegularFileReader::~RegularFileReader() = default;

std::string RegularFileReader::Finish() {
    PlatformState& state = *platform_;
    bool damaged = mappingInUse.damaged != 0;
    state.Unmap();
    struct stat information {};
    bool same = state.file >= 0 && fstat(state.file, &information) == 0 &&
                LookOf(information) == state.look;
    bool opened = state.file >= 0;
    state.Close();
    return damaged || (opened && !same) ? kChangedWhileRead : "";
}

std::string RegularFileReader::Read(std::string_view name, const FileEnds* ends) {
    PlatformState& state = *platform_;
    content_ = {};
    state.Unmap();
    state.Close();
    if (name.find('\0') != std::string_view::npos)
        return SystemErrorText(EINVAL);
    const std::string path(name);
    // What the name is decides whether it is opened at all: opening a pipe for reading, even
    // without blocking, would release a writer waiting for a reader.
    struct stat named {};
    if (StatAnyLength(path, named) != 0)
        return SystemErrorText(errno);
    if (S_ISDIR(named.st_mode))
        return SystemErrorText(EISDIR);
    if (!S_ISREG(named.st_mode))
        return kNotARegularFile;
    // Opened without blocking, in case the name was switched to a pipe since; the open file
    // must be the regular file the name was.
    state.file = OpenAnyLength(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (state.file < 0)
        return SystemErrorText(errno);
    struct stat information {};
    if (fstat(state.file, &information) != 0)
        return SystemErrorText(errno);
    if (!S_ISREG(information.st_mode) || information.st_dev != named.st_dev ||
        information.st_ino != named.st_ino)
        return kNotARegularFile;
    if (!IsSettled(information)) {
        WaitUntilSettled(information);
        struct stat later {};
        if (fstat(state.file, &later) != 0 || LookOf(later) != LookOf(information))
            return kChangedWhileRead;
    }
    state.look = LookOf(information);
    // Reads block again from here on. O_RDONLY is the access mode, which F_SETFL leaves alone,
    // and O_NONBLOCK the only status flag the file was opened with.
    if (fcntl(state.file, F_SETFL, 0) != 0)
        return SystemErrorText(errno);
    return ReadOpenFile(state.look.size, ends);
}

std::string RegularFileReader::ReadAt(char* data, size_t count, uint64_t offset) {
    return ::ReadAt(platform_->file, data, count, offset);
}

// Files larger than kMapAbove are mapped.
std::string_view RegularFileReader::Map(size_t size) {
    return size > kMapAbove ? platform_->Map(size) : std::string_view();
}

std::string RegularFileReader::OutOfMemoryText() {
    return SystemErrorText(ENOMEM);
}
