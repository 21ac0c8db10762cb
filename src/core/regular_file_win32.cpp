// Reading regular files whole through the Windows file services.
#include "core/regular_file.h"

#include "core/file_handle_win32.h"
#include "core/text_file_platform.h"
#include "core/text_ops.h"
#include "core/wide_path.h"

#include <algorithm>

#include <windows.h>

namespace {

// The system's text for the error code, without its closing line break.
std::string ErrorText(DWORD error) {
    char* text = nullptr;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string reason = length != 0 ? std::string(text, length) : "error " + std::to_string(error);
    LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                               reason.back() == ' ' || reason.back() == '.'))
        reason.pop_back();
    return reason;
}

// Reads exactly `count` bytes from `offset` on; false on an error or an early end.
bool ReadAt(HANDLE handle, char* data, size_t count, uint64_t offset) {
    size_t done = 0;
    while (done < count) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset + done);
        at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
        DWORD got = 0;
        DWORD want = static_cast<DWORD>(std::min(count - done, kChunkBytes));
        if (!ReadFile(handle, data + done, want, &got, &at))
            return false;
        if (got == 0) {
            SetLastError(ERROR_HANDLE_EOF); // the file shrank while it was read
            return false;
        }
        done += got;
    }
    return true;
}

} // namespace

RegularFileReader::~RegularFileReader() = default;

// Windows reads every file into memory: nothing is mapped.
void RegularFileReader::Unmap() {}

std::string RegularFileReader::Finish() {
    return {};
}

std::string LastSystemErrorText() {
    return ErrorText(GetLastError());
}

std::string RegularFileReader::Read(std::string_view name, char first, char last) {
    content_ = {};
    // Standard input under the name CON is the Windows convention the window keeps too.
    if (SameTextAscii(name, "CON")) {
        input_ = ReadStandardInput();
        if (!input_.empty() && input_.front() == first && input_.back() == last)
            content_ = input_;
        return {};
    }
    if (name.find('\0') != std::string_view::npos)
        return ErrorText(ERROR_INVALID_NAME);
    FileHandle file(CreateFileW(WidePath(name).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen())
        return ErrorText(GetLastError());
    // Devices (NUL, COM1, the console) and pipes are never read.
    if (GetFileType(file.Get()) != FILE_TYPE_DISK)
        return kNotARegularFile;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size))
        return ErrorText(GetLastError());
    const auto bytes = static_cast<uint64_t>(size.QuadPart);
    if (bytes == 0)
        return {};
    if (bytes > kProbeLimit) {
        char head = 0;
        char tail = 0;
        if (!ReadAt(file.Get(), &head, 1, 0) || !ReadAt(file.Get(), &tail, 1, bytes - 1))
            return ErrorText(GetLastError());
        if (head != first || tail != last)
            return {};
    }
    char* room = bytes <= SIZE_MAX ? Room(static_cast<size_t>(bytes)) : nullptr;
    if (room == nullptr)
        return ErrorText(ERROR_NOT_ENOUGH_MEMORY);
    if (!ReadAt(file.Get(), room, static_cast<size_t>(bytes), 0))
        return ErrorText(GetLastError());
    content_ = std::string_view(room, static_cast<size_t>(bytes));
    if (content_.front() != first || content_.back() != last)
        content_ = {};
    return {};
}
