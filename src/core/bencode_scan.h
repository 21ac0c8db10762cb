#pragma once
// A strict check of a metainfo file's bencoding, and the positions the info-hash needs.
#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

// What a well-formed metainfo file tells about its `info` value. Offsets are 0-based byte
// offsets into the content; the info value spans [infoBegin, infoEnd).
struct MetainfoLayout {
    size_t infoBegin = 0;
    size_t infoEnd = 0;
    bool infoIsDictionary = false;
    bool hasPieces = false;      // the info dictionary holds a "pieces" string (v1 or hybrid)
    bool isMetaVersion2 = false; // the info dictionary holds "meta version" i2e
    bool hasFileTree = false;    // the info dictionary holds a "file tree" dictionary
    // Texts inside the content, for magnet links: the info dictionary's "name" and
    // "name.utf-8", the top level's "announce", and every string of every tier of its
    // "announce-list", in order. A text that is not there has no data.
    std::string_view infoName;
    std::string_view infoNameUtf8;
    std::string_view announce;
    std::vector<std::string_view> announceList;
};

// Scans the content in one linear, bounds-checked pass without recursion. The result is empty
// unless the whole content is exactly one well-formed bencoded dictionary: strings with their
// length in range, integers "i" [-] digits "e", dictionary keys that are strings, nothing after
// the final "e", nesting no deeper than kMaxBencodeDepth. The first "info" key at the top level
// is the one described. The announce-list's texts are collected only `withTrackers`: they take
// memory for every one.
std::optional<MetainfoLayout> ScanMetainfo(std::string_view content, bool withTrackers = false);

constexpr size_t kMaxBencodeDepth = 512;
