// Reading regular files whole through the Windows file services.
#include "core/regular_file.h"

#include "core/file_handle_win32.h"
#include "core/system_error.h"
#include "core/text_ops.h"
#include "core/wide_path.h"

#include <algorithm>
#include <array>

#include <windows.h>

namespace {

// Reads go in pieces of at most this size: the platform's calls take 32-bit counts.
constexpr size_t kChunkBytes = size_t{1} << 26;

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
            SetLastError(ERROR_HANDLE_EOF);
            return false;
        }
        done += got;
    }
    return true;
}

// Standard input to its end, in pieces: it may be a pipe that cannot be sized.
std::string ReadStandardInput() {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    std::string content;
    if (input == nullptr || input == INVALID_HANDLE_VALUE)
        return content;
    std::array<char, 1 << 16> piece;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(input, piece.data(), static_cast<DWORD>(piece.size()), &got, nullptr))
            return GetLastError() == ERROR_BROKEN_PIPE ? content : std::string();
        if (got == 0 || content.size() + got > kMaxFileBytes)
            return got == 0 ? content : std::string();
        content.append(piece.data(), got);
    }
}

// The names the system keeps for its devices (CON, NUL, COM1, ...), also with an extension: in
// a folder from another system such a name may be a file's, but the program does not read it.
bool IsDeviceName(std::string_view path) {
    std::string_view name = path.substr(std::min(path.size(), path.find_last_of("\\/:") + 1));
    std::string base = LowerCaseAscii(name.substr(0, name.find('.')));
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    if (base == "con" || base == "prn" || base == "aux" || base == "nul" || base == "conin$" ||
        base == "conout$")
        return true;
    return base.size() == 4 && (base.starts_with("com") || base.starts_with("lpt")) &&
           base[3] >= '1' && base[3] <= '9';
}

} // namespace

// Windows reads every file into memory: nothing is mapped, and nothing stays open.
struct RegularFileReader::PlatformState {
    std::string input;                  // standard input, read under the name CON
    HANDLE file = INVALID_HANDLE_VALUE; // the file being read, during Read
};

RegularFileReader::RegularFileReader() : platform_(std::make_unique<PlatformState>()) {}
RegularFileReader::~RegularFileReader() = default;

// While the file was read no writer could hold it (it was opened without write sharing), and
// the content is the program's own copy: nothing can have changed it.
std::string RegularFileReader::Finish() {
    return {};
}

std::string RegularFileReader::Read(std::string_view name, const FileEnds* ends) {
    content_ = {};
    // Standard input under the name CON is the Windows convention the window keeps too.
    if (SameTextAscii(name, "CON")) {
        platform_->input = ReadStandardInput();
        content_ = platform_->input;
        if (ends != nullptr && !content_.empty() &&
            (content_.front() != ends->first || content_.back() != ends->last))
            content_ = {};
        return {};
    }
    if (name.find('\0') != std::string_view::npos)
        return SystemErrorText(ERROR_INVALID_NAME);
    if (IsDeviceName(name))
        return kNotARegularFile;
    // Shared for reading only: no writer can hold the file while it is read, and one that holds
    // it already makes the open fail with the reason.
    FileHandle file(CreateFileW(WidePath(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen())
        return SystemErrorText(GetLastError());
    // Devices (NUL, COM1, the console) and pipes are never read.
    if (GetFileType(file.Get()) != FILE_TYPE_DISK)
        return kNotARegularFile;
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file.Get(), &information))
        return SystemErrorText(GetLastError());
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return SystemErrorText(ERROR_DIRECTORY);
    const uint64_t size = (uint64_t{information.nFileSizeHigh} << 32) | information.nFileSizeLow;
    platform_->file = file.Get();
    std::string failure = ReadOpenFile(size, ends);
    platform_->file = INVALID_HANDLE_VALUE;
    return failure;
}

std::string RegularFileReader::ReadAt(char* data, size_t count, uint64_t offset) {
    return ::ReadAt(platform_->file, data, count, offset) ? std::string()
                                                          : SystemErrorText(GetLastError());
}

std::string_view RegularFileReader::Map(size_t) {
    return {};
}

std::string RegularFileReader::OutOfMemoryText() {
    return SystemErrorText(ERROR_NOT_ENOUGH_MEMORY);
}
