#include "core/name_and_trackers.h"

#include <algorithm>

void FillNameAndTrackers(const MetainfoLayout& layout, FileResult& result) {
    if (layout.infoName.data() != nullptr)
        result.torrentName = std::string(layout.infoName);
    std::vector<std::string>& trackers = result.trackers;
    if (!layout.announce.empty())
        trackers.emplace_back(layout.announce);
    for (std::string_view tracker : layout.announceList)
        if (!tracker.empty() &&
            std::find(trackers.begin(), trackers.end(), tracker) == trackers.end())
            trackers.emplace_back(tracker);
}
