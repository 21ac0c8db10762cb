#pragma once
// Recursive search for the files below a folder, as Add Dir collects them.
#include <string_view>

class StrList;

// Appends to list the full path of every file below folder whose name matches mask (an empty
// mask stands for "*.*", which matches every name): a folder's own files first, then each
// subfolder's, depth-first in the platform's order. Nothing in list is removed or reordered.
// Folders that cannot be read contribute nothing, silently. Links to folders met inside are
// neither entered nor listed, and no folder is entered twice. An empty folder text gives nothing.
void DirectorySearch(std::string_view folder, std::string_view mask, StrList* list);
