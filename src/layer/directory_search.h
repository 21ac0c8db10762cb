#pragma once
// Recursive search for the files below a folder, and the one-folder listing it is built from.
#include "layer/layer_object.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

class PointerList;
class StrList;

// The entries of one folder, read once at creation in the order the platform delivers them:
// those whose attributes carry every bit of the attribute mask and whose names match the mask.
// "." and ".." are never among them. Hidden and system entries are. A folder that cannot be
// read, or an empty folder text, gives no entries.
class DirectoryList : public LayerObject {
  public:
    DirectoryList(std::string_view folder, std::string_view mask, DWORD attributeMask);

    int32_t EntryCount() const;
    // The long name of entry index (from 0); empty outside 0..EntryCount-1.
    std::string EntryName(int32_t index) const;
    // The folder, always ending in a backslash.
    const std::string& FolderPath() const { return folderPath_; }

  protected:
    ~DirectoryList() override = default;
    void Destroy() override;

  private:
    void Enumerate(std::string_view mask, DWORD attributeMask);
    bool Accepts(const WIN32_FIND_DATAA& record, DWORD attributeMask) const;

    std::string folderPath_;
    std::string nameMask_;
    // Owned copies of the platform's find records.
    PointerList* entries_;
};

// Appends to list the full path of every file of folder whose name the platform matches with
// mask (an empty mask stands for "*.*"). No recursion; folders are never appended.
void ListFolderFiles(std::string_view folder, std::string_view mask, StrList* list);

// Appends to list the full path of every matching file below folder: a folder's own files
// first, then each subfolder's, depth-first in the platform's order. Nothing in list is removed
// or reordered. Folders that cannot be read contribute nothing. A folder link that leads back
// to a folder the search is already inside is not entered again. An empty folder text gives
// nothing.
void DirectorySearch(std::string_view folder, std::string_view mask, StrList* list);
