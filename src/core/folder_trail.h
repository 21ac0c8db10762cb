#pragma once
// The folders the search is inside, by identity: what a folder link may lead back to.
#include <algorithm>
#include <cstdint>
#include <vector>

// Which folder a path leads to, whatever way it takes there.
struct FolderIdentity {
    uint64_t device;
    uint64_t index;
    bool operator==(const FolderIdentity&) const = default;
};

// The folders the search is inside, outermost first.
using FolderTrail = std::vector<FolderIdentity>;

inline bool IsOnTrail(const FolderTrail& trail, const FolderIdentity& identity) {
    return std::find(trail.begin(), trail.end(), identity) != trail.end();
}
