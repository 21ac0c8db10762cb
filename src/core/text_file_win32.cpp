// Whole-file reading and writing through the Windows file services.
#include "core/text_file_platform.h"

#include "core/wide_path.h"

#include <algorithm>

#include <windows.h>

namespace {

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

int64_t ReadFromHandle(HANDLE handle, char* data, size_t count) {
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

// The platform's replace operation gives the new file the old one's attributes, permissions
// and other streams. The old file is set aside under `backup` until the new one has taken its
// place, so a failure at any step leaves the old content under the target's name.
bool ReplaceExistingFile(const std::wstring& target, const std::wstring& replacement,
                         const std::wstring& backup) {
    if (ReplaceFileW(target.c_str(), replacement.c_str(), backup.c_str(), REPLACEFILE_WRITE_THROUGH,
                     nullptr, nullptr)) {
        DeleteFileW(backup.c_str());
        return true;
    }
    // The old file was already set aside when the new one could not be moved in.
    if (GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
        MoveFileExW(backup.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
    return false;
}

} // namespace

std::string ReadStandardInput() {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE)
        return {};
    return ReadToEnd(
        [input](char* data, size_t count) { return ReadFromHandle(input, data, count); });
}

// Reads the whole file into `content`, reusing its storage; empty on any failure. When `ends`
// is given, a file larger than kProbeLimit is read whole only if its first and last bytes are
// the ones asked for.
void ReadWholeFile(const std::string& name, const FileEnds* ends, std::string& content) {
    content.clear();
    FileHandle file(CreateFileW(WidePath(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
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
    int64_t got = ReadFromHandle(file.Get(), content.data(), content.size());
    content.resize(got < 0 ? 0 : static_cast<size_t>(got));
}

bool WriteNewFile(const std::string& name, std::string_view text) {
    FileHandle file(CreateFileW(WidePath(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen())
        return false;
    bool written = WriteAll(file.Get(), text) && FlushFileBuffers(file.Get());
    return file.Close() && written;
}

bool MoveOverFile(const std::string& from, const std::string& to) {
    const std::wstring replacement = WidePath(from);
    const std::wstring target = WidePath(to);
    if (GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES &&
        GetLastError() == ERROR_FILE_NOT_FOUND)
        return MoveFileExW(replacement.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
    return ReplaceExistingFile(target, replacement, WidePath(from + ".old"));
}

void RemoveFile(const std::string& name) {
    DeleteFileW(WidePath(name).c_str());
}

uint32_t CurrentProcessId() {
    return GetCurrentProcessId();
}
