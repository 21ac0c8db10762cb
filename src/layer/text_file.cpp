#include "layer/text_file.h"

#include "layer/text_ops.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// A file name that holds a NUL byte cannot name any file: the platform would see only the part
// before the NUL and open a different file.
bool IsUsableFileName(std::string_view name) {
    return !name.empty() && name.find('\0') == std::string_view::npos;
}

// Room for a whole file, or nothing when the process cannot hold it: one file too large for
// memory must not end the program and lose the user's list.
bool TryReserveBytes(std::string& buffer, uint64_t size) {
    if (size > buffer.max_size())
        return false;
    try {
        buffer.resize(static_cast<size_t>(size));
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
}

// Unique per call, so two writers of the same target never share a temporary file.
std::string TemporaryNameBeside(std::string_view target) {
    static std::atomic<uint32_t> counter{0};
#ifdef _WIN32
    uint32_t process = GetCurrentProcessId();
#else
    uint32_t process = static_cast<uint32_t>(getpid());
#endif
    return std::string(target) + "." + IntToHexText(process, 1) + "-" +
           IntToHexText(counter.fetch_add(1), 1) + ".tmp";
}

constexpr size_t kChunkBytes = size_t{1} << 26;

// Files up to this size are read in one call and their ends tested afterwards: two probing
// reads would cost more than they save.
constexpr uint64_t kProbeLimit = 64 * 1024;

struct FileEnds {
    int first;
    int last;
};

#ifdef _WIN32
using Stream = HANDLE;
#else
using Stream = int;
#endif

// Reads up to `count` bytes into `data`; the count actually read, which is short only at the
// end of the stream, or -1 on a read error.
int64_t ReadUpTo(Stream stream, char* data, size_t count);

// The whole rest of a stream that may not be sizable, such as a pipe.
std::string ReadToEnd(Stream stream) {
    std::string content;
    size_t filled = 0;
    for (;;) {
        if (!TryReserveBytes(content, filled + kChunkBytes))
            return {};
        int64_t got = ReadUpTo(stream, content.data() + filled, kChunkBytes);
        if (got < 0)
            return {};
        filled += static_cast<size_t>(got);
        if (static_cast<size_t>(got) < kChunkBytes)
            break;
    }
    content.resize(filled);
    return content;
}

#ifdef _WIN32

class FileHandle {
  public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() {
        if (IsOpen())
            CloseHandle(handle_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE Get() const { return handle_; }
    bool Close() {
        HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return CloseHandle(handle) != 0;
    }

  private:
    HANDLE handle_;
};

int64_t ReadUpTo(HANDLE handle, char* data, size_t count) {
    size_t done = 0;
    while (done < count) {
        DWORD want = static_cast<DWORD>(std::min(count - done, kChunkBytes));
        DWORD got = 0;
        if (!ReadFile(handle, data + done, want, &got, nullptr))
            return GetLastError() == ERROR_BROKEN_PIPE ? static_cast<int64_t>(done) : -1;
        if (got == 0)
            break;
        done += got;
    }
    return static_cast<int64_t>(done);
}

bool WriteAll(HANDLE handle, std::string_view text) {
    size_t done = 0;
    while (done < text.size()) {
        DWORD want = static_cast<DWORD>(std::min(text.size() - done, kChunkBytes));
        DWORD wrote = 0;
        if (!WriteFile(handle, text.data() + done, want, &wrote, nullptr) || wrote == 0)
            return false;
        done += wrote;
    }
    return true;
}

std::string ReadStandardInput() {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE)
        return {};
    return ReadToEnd(input);
}

// The byte at `offset`, or -1 when it cannot be read.
int ByteAt(HANDLE handle, uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    unsigned char byte = 0;
    DWORD got = 0;
    if (!ReadFile(handle, &byte, 1, &got, &at) || got != 1)
        return -1;
    return byte;
}

// Reads the whole file into `content`, reusing its storage; empty on any failure. When `ends`
// is given, a file larger than kProbeLimit is read whole only if its first and last bytes are
// the ones asked for.
void ReadWholeFile(const std::string& name, const FileEnds* ends, std::string& content) {
    content.clear();
    FileHandle file(CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen())
        return;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0)
        return;
    const auto bytes = static_cast<uint64_t>(size.QuadPart);
    if (ends != nullptr && bytes > kProbeLimit) {
        if (ByteAt(file.Get(), 0) != ends->first || ByteAt(file.Get(), bytes - 1) != ends->last)
            return;
        LARGE_INTEGER start{};
        if (!SetFilePointerEx(file.Get(), start, nullptr, FILE_BEGIN))
            return;
    }
    if (!TryReserveBytes(content, bytes))
        return;
    int64_t got = ReadUpTo(file.Get(), content.data(), content.size());
    content.resize(got < 0 ? 0 : static_cast<size_t>(got));
}

bool WriteNewFile(const std::string& name, std::string_view text) {
    FileHandle file(CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen())
        return false;
    bool written = WriteAll(file.Get(), text) && FlushFileBuffers(file.Get());
    return file.Close() && written;
}

bool ReplaceFile(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

void RemoveFile(const std::string& name) {
    DeleteFileA(name.c_str());
}

#else

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0)
            close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    bool IsOpen() const { return fd_ >= 0; }
    int Get() const { return fd_; }
    bool Close() {
        int fd = fd_;
        fd_ = -1;
        return close(fd) == 0;
    }

  private:
    int fd_;
};

int64_t ReadUpTo(int fd, char* data, size_t count) {
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

std::string ReadStandardInput() {
    return ReadToEnd(STDIN_FILENO);
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
        content = ReadToEnd(file.Get());
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
    int64_t got = ReadUpTo(file.Get(), content.data(), content.size());
    content.resize(got < 0 ? 0 : static_cast<size_t>(got));
}

bool WriteNewFile(const std::string& name, std::string_view text) {
    FileDescriptor file(open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!file.IsOpen())
        return false;
    bool written = WriteAll(file.Get(), text) && fsync(file.Get()) == 0;
    return file.Close() && written;
}

bool ReplaceFile(const std::string& from, const std::string& to) {
    return rename(from.c_str(), to.c_str()) == 0;
}

void RemoveFile(const std::string& name) {
    unlink(name.c_str());
}

#endif

} // namespace

std::string LoadFileText(std::string_view fileName) {
    if (SameTextAscii(fileName, "CON"))
        return ReadStandardInput();
    std::string content;
    if (IsUsableFileName(fileName))
        ReadWholeFile(std::string(fileName), nullptr, content);
    return content;
}

void LoadFileTextWithEnds(std::string_view fileName, char first, char last, std::string& content) {
    const FileEnds ends{static_cast<unsigned char>(first), static_cast<unsigned char>(last)};
    if (SameTextAscii(fileName, "CON"))
        content = ReadStandardInput();
    else if (IsUsableFileName(fileName))
        ReadWholeFile(std::string(fileName), &ends, content);
    else
        content.clear();
    // Small files, standard input and other streams are tested once they are read.
    if (!content.empty() && (content.front() != first || content.back() != last))
        content.clear();
}

bool SaveTextToFile(std::string_view fileName, std::string_view text) {
    if (!IsUsableFileName(fileName))
        return false;
    std::string target(fileName);
    std::string temporary = TemporaryNameBeside(target);
    if (!WriteNewFile(temporary, text)) {
        RemoveFile(temporary);
        return false;
    }
    if (!ReplaceFile(temporary, target)) {
        RemoveFile(temporary);
        return false;
    }
    return true;
}
