#pragma once
// The torrent's own name and its trackers, as the console's --json and --magnet show them.
#include "core/bencode_scan.h"
#include "core/info_hash.h"

// Fills result.torrentName and result.trackers from a well-formed file's layout: the info
// dictionary's "name", and each tracker once, "announce" first, then the announce-list in order.
void FillNameAndTrackers(const MetainfoLayout& layout, FileResult& result);
