// Whole-file writing through the Windows file services.
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

// Copies the rest of one open file into another, from their current positions.
bool CopyStream(HANDLE from, HANDLE to) {
    std::string piece(size_t{1} << 20, '\0');
    for (;;) {
        int64_t got = ReadFromHandle(from, piece.data(), piece.size());
        if (got < 0 || !WriteAll(to, std::string_view(piece.data(), static_cast<size_t>(got))))
            return false;
        if (static_cast<size_t>(got) < piece.size())
            return true;
    }
}

bool Rewind(HANDLE file) {
    LARGE_INTEGER start{};
    return SetFilePointerEx(file, start, nullptr, FILE_BEGIN) != 0;
}

// Makes the open target's content exactly the source file's.
bool RewriteFrom(HANDLE target, const std::wstring& source) {
    FileHandle from(CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return from.IsOpen() && Rewind(target) && CopyStream(from.Get(), target) &&
           SetEndOfFile(target) && FlushFileBuffers(target);
}

// A copy of the open file's content in a new file.
bool CopyAside(HANDLE file, const std::wstring& copyName) {
    FileHandle copy(CreateFileW(copyName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    bool copied = copy.IsOpen() && CopyStream(file, copy.Get()) && FlushFileBuffers(copy.Get());
    return copy.Close() && copied;
}

// Saving over an existing file replaces its content, not the file: it keeps its attributes,
// permissions, other names (hard links) and streams. The old content is copied aside first,
// so that a failure while writing can put it back; should that fail too, the copy stays beside
// the target. A read-only file is refused, as the platform's own replace operation does.
bool ReplaceContent(const std::wstring& target, const std::wstring& replacement,
                    const std::wstring& backup) {
    if ((GetFileAttributesW(target.c_str()) & FILE_ATTRIBUTE_READONLY) != 0)
        return false;
    FileHandle file(CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen())
        return false;
    if (!CopyAside(file.Get(), backup)) {
        DeleteFileW(backup.c_str());
        return false;
    }
    const bool replaced = RewriteFrom(file.Get(), replacement);
    if (replaced || RewriteFrom(file.Get(), backup))
        DeleteFileW(backup.c_str());
    return file.Close() && replaced;
}

} // namespace

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
    if (!ReplaceContent(target, replacement, WidePath(from + ".old")))
        return false;
    DeleteFileW(replacement.c_str()); // its content now lives in the target
    return true;
}

void RemoveFile(const std::string& name) {
    DeleteFileW(WidePath(name).c_str());
}

uint32_t CurrentProcessId() {
    return GetCurrentProcessId();
}
