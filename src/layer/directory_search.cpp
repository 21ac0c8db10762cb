#include "layer/directory_search.h"

#include "layer/pointer_list.h"
#include "layer/str_list.h"
#include "layer/text_ops.h"
#include "layer/wildcard.h"

#include <cstring>
#include <optional>
#include <vector>

namespace {

constexpr int32_t kEntryListGrowth = 4;

std::string_view LongNameOf(const WIN32_FIND_DATAA& record) {
    return std::string_view(record.cFileName, strnlen(record.cFileName, MAX_PATH));
}

bool IsFolder(const WIN32_FIND_DATAA& record) {
    return (record.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// One platform enumeration of pattern: visit runs for every record, in the platform's order.
// An enumeration that cannot start visits nothing; an error ends it like its regular end.
template <class Visit> void ForEachFindRecord(const std::string& pattern, Visit visit) {
    WIN32_FIND_DATAA record;
    HANDLE search = FindFirstFileA(pattern.c_str(), &record);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do
        visit(record);
    while (FindNextFileA(search, &record));
    FindClose(search);
}

// The volume and file index of a folder: the same for every path that leads to it, links
// included.
struct FolderIdentity {
    DWORD volume;
    DWORD indexHigh;
    DWORD indexLow;
    bool operator==(const FolderIdentity&) const = default;
};

std::optional<FolderIdentity> IdentityOf(const std::string& folder) {
    HANDLE handle = CreateFileA(folder.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION information;
    const bool known = GetFileInformationByHandle(handle, &information) != 0;
    CloseHandle(handle);
    if (!known)
        return std::nullopt;
    return FolderIdentity{information.dwVolumeSerialNumber, information.nFileIndexHigh,
                          information.nFileIndexLow};
}

// Folder links (junctions, symbolic links) can lead back to a folder the search is inside and
// would make it recurse without end. The folders on the current path are remembered by
// identity and a folder among them is not entered again. Links to anywhere else, a sibling
// subtree included, are followed like ordinary folders.
void SearchFolder(const std::string& base, std::string_view mask, StrList* list,
                  std::vector<FolderIdentity>& enclosingFolders) {
    const std::optional<FolderIdentity> identity = IdentityOf(base);
    if (identity) {
        for (const FolderIdentity& enclosing : enclosingFolders)
            if (enclosing == *identity)
                return;
        enclosingFolders.push_back(*identity);
    }
    auto* subfolders = new DirectoryList(base, "*.*", FILE_ATTRIBUTE_DIRECTORY);
    ListFolderFiles(base, mask, list);
    for (int32_t i = 0; i < subfolders->EntryCount(); ++i)
        SearchFolder(base + subfolders->EntryName(i) + '\\', mask, list, enclosingFolders);
    Release(subfolders);
    if (identity)
        enclosingFolders.pop_back();
}

} // namespace

DirectoryList::DirectoryList(std::string_view folder, std::string_view mask, DWORD attributeMask)
    : entries_(new PointerList(kEntryListGrowth)) {
    if (folder.empty())
        return;
    folderPath_ = EnsureTrailingBackslash(folder);
    // Names are matched here with "*" where the platform was asked for "*.*", which it reads as
    // "every name", dotless ones included.
    nameMask_ = mask == "*.*" ? std::string("*") : std::string(mask);
    Enumerate(mask.empty() ? std::string_view("*.*") : mask, attributeMask);
}

void DirectoryList::Enumerate(std::string_view mask, DWORD attributeMask) {
    ForEachFindRecord(folderPath_ + std::string(mask), [&](const WIN32_FIND_DATAA& record) {
        if (Accepts(record, attributeMask))
            entries_->Add(new WIN32_FIND_DATAA(record));
    });
}

bool DirectoryList::Accepts(const WIN32_FIND_DATAA& record, DWORD attributeMask) const {
    const std::string_view name = LongNameOf(record);
    return (record.dwFileAttributes & attributeMask) == attributeMask && name != "." &&
           name != ".." && WildcardMatch(name, nameMask_);
}

int32_t DirectoryList::EntryCount() const {
    return entries_->Count();
}

std::string DirectoryList::EntryName(int32_t index) const {
    const auto* record = static_cast<const WIN32_FIND_DATAA*>(entries_->ItemAt(index));
    return record == nullptr ? std::string() : std::string(LongNameOf(*record));
}

void DirectoryList::Destroy() {
    for (int32_t i = 0; i < entries_->Count(); ++i)
        delete static_cast<WIN32_FIND_DATAA*>(entries_->ItemAt(i));
    Release(entries_);
    entries_ = nullptr;
    LayerObject::Destroy();
}

void ListFolderFiles(std::string_view folder, std::string_view mask, StrList* list) {
    const std::string base = EnsureTrailingBackslash(folder);
    const std::string pattern = base + std::string(mask.empty() ? std::string_view("*.*") : mask);
    ForEachFindRecord(pattern, [&](const WIN32_FIND_DATAA& record) {
        if (!IsFolder(record))
            list->Add(base + std::string(LongNameOf(record)));
    });
}

void DirectorySearch(std::string_view folder, std::string_view mask, StrList* list) {
    // An empty folder would become "\", the root of the current drive.
    if (folder.empty())
        return;
    std::vector<FolderIdentity> enclosingFolders;
    SearchFolder(EnsureTrailingBackslash(folder), mask, list, enclosingFolders);
}
