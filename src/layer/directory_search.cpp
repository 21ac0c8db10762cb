#include "layer/directory_search.h"

#include "core/folder_walk.h"
#include "core/text_ops.h"
#include "layer/str_list.h"
#include "layer/wildcard.h"

#include <string>
#include <vector>

void DirectorySearch(std::string_view folder, std::string_view mask, StrList* list) {
    // An empty folder would become "\", the root of the current drive.
    if (folder.empty())
        return;
    // The platform reads "*.*" as every name, dotless ones included.
    const std::string_view nameMask = mask.empty() || mask == "*.*" ? "*" : mask;
    std::vector<std::string> files;
    // Add Dir names no folder it cannot read.
    SearchFolderForFiles(EnsureTrailingBackslash(folder), files, FolderProblem());
    for (const std::string& path : files)
        if (WildcardMatch(FileNameOf(path), nameMask))
            list->Add(path);
}
