#pragma once
// What a metainfo file says about its torrent besides the info-hash: the name and the trackers
// that magnet links and JSON reports carry.
#include "core/bencode_scan.h"

#include <optional>
#include <string_view>
#include <vector>

// The torrent's name: the info dictionary's "name.utf-8" when it is a string of valid UTF-8,
// else its "name"; none when neither is a string.
std::optional<std::string_view> TorrentName(const MetainfoLayout& layout);

// The trackers, as a client that knows "announce-list" takes them: its URLs tier by tier, in
// order, when it holds any; else "announce". Each URL without surrounding whitespace, empty
// ones dropped, each once, where it first comes.
std::vector<std::string_view> TorrentTrackers(const MetainfoLayout& layout);
