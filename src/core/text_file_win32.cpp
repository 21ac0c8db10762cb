// Whole-file reading through the Windows file services.
#include "core/file_handle_win32.h"
#include "core/text_file_platform.h"

#include "core/wide_path.h"

#include <algorithm>

#include <windows.h>

namespace {

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
