#pragma once
// Which folder a path leads to, whatever way it takes there: what keeps a search from entering
// one folder twice through a link the platform does not mark as one, or a mount of a folder
// inside itself.
#include <compare>
#include <cstdint>
#include <set>

struct FolderIdentity {
    uint64_t device;
    uint64_t index;
    auto operator<=>(const FolderIdentity&) const = default;
};

// The folders one search has entered: at most one entry a folder of the tree.
using EnteredFolders = std::set<FolderIdentity>;
