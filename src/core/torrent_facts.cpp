#include "core/torrent_facts.h"

#include "core/utf8_text.h"

#include <algorithm>
#include <cstdint>

namespace {

bool IsValidUtf8(std::string_view text) {
    for (size_t at = 0; at < text.size();) {
        const size_t length = Utf8CharacterLength(text, at);
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}

std::string_view Trimmed(std::string_view text) {
    const std::string_view whitespace = " \t\n\v\f\r";
    size_t begin = text.find_first_not_of(whitespace);
    if (begin == std::string_view::npos)
        return {};
    return text.substr(begin, text.find_last_not_of(whitespace) - begin + 1);
}

// Trimmed and without empty ones, in order.
std::vector<std::string_view> UsableUrls(const std::vector<std::string_view>& urls) {
    std::vector<std::string_view> usable;
    for (std::string_view url : urls)
        if (std::string_view trimmed = Trimmed(url); !trimmed.empty())
            usable.push_back(trimmed);
    return usable;
}

// Each URL once, where it first comes. Sorted positions rather than a search of the list for
// every URL: an announce-list of millions of entries takes time in proportion, not squared.
std::vector<std::string_view> WithoutRepeats(const std::vector<std::string_view>& urls) {
    std::vector<uint32_t> order(urls.size());
    for (uint32_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&urls](uint32_t a, uint32_t b) { return urls[a] < urls[b]; });
    std::vector<bool> repeat(urls.size(), false);
    for (size_t i = 1; i < order.size(); ++i)
        repeat[order[i]] = urls[order[i]] == urls[order[i - 1]];
    std::vector<std::string_view> once;
    for (size_t i = 0; i < urls.size(); ++i)
        if (!repeat[i])
            once.push_back(urls[i]);
    return once;
}

} // namespace

std::optional<std::string_view> TorrentName(const MetainfoLayout& layout) {
    if (layout.infoNameUtf8.data() != nullptr && IsValidUtf8(layout.infoNameUtf8))
        return layout.infoNameUtf8;
    if (layout.infoName.data() != nullptr)
        return layout.infoName;
    return std::nullopt;
}

std::vector<std::string_view> TorrentTrackers(const MetainfoLayout& layout) {
    std::vector<std::string_view> trackers = UsableUrls(layout.announceList);
    if (trackers.empty())
        trackers = UsableUrls({layout.announce});
    return WithoutRepeats(trackers);
}
