// Saving a file through the Windows file services.
#include "core/file_handle_win32.h"
#include "core/save_file_platform.h"
#include "core/wide_path.h"

#include <algorithm>
#include <memory>

#include <windows.h>

namespace {

constexpr DWORD kPieceBytes = DWORD{1} << 20;

bool WriteAll(HANDLE handle, std::string_view text) {
    while (!text.empty()) {
        DWORD want = static_cast<DWORD>(std::min<size_t>(text.size(), kPieceBytes));
        DWORD wrote = 0;
        if (!WriteFile(handle, text.data(), want, &wrote, nullptr) || wrote == 0)
            return false;
        text.remove_prefix(wrote);
    }
    return true;
}

// Copies the rest of one open file into another, from their current positions.
bool CopyRest(HANDLE from, HANDLE to) {
    std::unique_ptr<char[]> piece(new char[kPieceBytes]);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(from, piece.get(), kPieceBytes, &got, nullptr) ||
            !WriteAll(to, std::string_view(piece.get(), got)))
            return false;
        if (got == 0)
            return true;
    }
}

HANDLE OpenToRead(const std::string& name) {
    return CreateFileW(WidePath(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The existing file, for its content to be rewritten; nobody else may open it meanwhile.
HANDLE OpenToRewrite(const std::string& name) {
    return CreateFileW(WidePath(name).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The handle of a file made under a name that must be new; `outcome` says whether it was.
HANDLE CreateNew(const std::string& name, NewFile& outcome) {
    HANDLE handle = CreateFileW(WidePath(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE)
        outcome = NewFile::Written;
    else
        outcome = GetLastError() == ERROR_FILE_EXISTS ? NewFile::NameTaken : NewFile::Failed;
    return handle;
}

NewFile Finished(const std::string& name, FileHandle& file, bool written) {
    if (file.Close() && written)
        return NewFile::Written;
    DeleteFileW(WidePath(name).c_str());
    return NewFile::Failed;
}

bool FinishRewrite(FileHandle& file, bool written) {
    written = written && SetEndOfFile(file.Get()) && FlushFileBuffers(file.Get());
    return file.Close() && written;
}

} // namespace

SaveTarget InspectSaveTarget(std::string& name) {
    const std::wstring wide = WidePath(name);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return GetLastError() == ERROR_FILE_NOT_FOUND ? SaveTarget::Missing : SaveTarget::Refused;
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0)
        return SaveTarget::Refused;
    FileHandle file(CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    BY_HANDLE_FILE_INFORMATION information{};
    if (!file.IsOpen() || GetFileType(file.Get()) != FILE_TYPE_DISK ||
        !GetFileInformationByHandle(file.Get(), &information))
        return SaveTarget::Refused;
    return information.nNumberOfLinks > 1 ? SaveTarget::HardLinked : SaveTarget::SingleLink;
}

// The attributes and security come with the replace (ReplaceFileW), not with the new file.
NewFile WriteNewFile(const std::string& name, std::string_view text, const std::string&) {
    NewFile created = NewFile::Failed;
    FileHandle file(CreateNew(name, created));
    if (created != NewFile::Written)
        return created;
    const bool written = WriteAll(file.Get(), text) && FlushFileBuffers(file.Get());
    return Finished(name, file, written);
}

NewFile CopyToNewFile(const std::string& source, const std::string& name) {
    FileHandle from(OpenToRead(source));
    if (!from.IsOpen())
        return NewFile::Failed;
    NewFile created = NewFile::Failed;
    FileHandle file(CreateNew(name, created));
    if (created != NewFile::Written)
        return created;
    const bool written = CopyRest(from.Get(), file.Get()) && FlushFileBuffers(file.Get());
    return Finished(name, file, written);
}

// An existing target is replaced by ReplaceFileW, which gives the replacement the target's
// attributes and security; a new one is the replacement moved to its name.
bool MoveOver(const std::string& replacement, const std::string& target) {
    const std::wstring from = WidePath(replacement);
    const std::wstring to = WidePath(target);
    if (GetFileAttributesW(to.c_str()) == INVALID_FILE_ATTRIBUTES &&
        GetLastError() == ERROR_FILE_NOT_FOUND)
        return MoveFileExW(from.c_str(), to.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    // A file that another program holds open without sharing its deletion cannot be replaced:
    // asked first, because a failed ReplaceFileW may leave a file of its own behind (Wine's).
    FileHandle replaceable(CreateFileW(to.c_str(), DELETE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!replaceable.IsOpen() || !replaceable.Close())
        return false;
    return ReplaceFileW(to.c_str(), from.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                        nullptr) != 0;
}

bool RewriteFile(const std::string& name, std::string_view text) {
    FileHandle file(OpenToRewrite(name));
    return file.IsOpen() && FinishRewrite(file, WriteAll(file.Get(), text));
}

bool RewriteFileFrom(const std::string& name, const std::string& source) {
    FileHandle from(OpenToRead(source));
    FileHandle file(OpenToRewrite(name));
    return from.IsOpen() && file.IsOpen() && FinishRewrite(file, CopyRest(from.Get(), file.Get()));
}

void RemoveFile(const std::string& name) {
    DeleteFileW(WidePath(name).c_str());
}
