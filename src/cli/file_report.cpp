#include "cli/file_report.h"

#include "cli/output_text.h"
#include "core/bencode_scan.h"
#include "core/info_hash.h"
#include "core/regular_file.h"
#include "core/sha1.h"
#include "core/sha256.h"
#include "core/text_ops.h"
#include "core/torrent_facts.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace {

const char kNotATorrent[] = "Not a Torrent File   ";

std::string Complaint(const std::string& name, std::string_view reason) {
    return "vantrel-cli: " + MaskControlBytes(name) + ": " + std::string(reason) + "\n";
}

// The layout of a strictly well-formed metainfo file, the one whose info-hash clients agree on.
std::optional<MetainfoLayout> WellFormedLayout(std::string_view content) {
    std::optional<MetainfoLayout> layout = ScanMetainfo(content);
    if (!layout || !layout->infoIsDictionary)
        return std::nullopt;
    if (!layout->hasPieces && !(layout->isMetaVersion2 && layout->hasFileTree))
        return std::nullopt;
    return layout;
}

std::string_view InfoOf(std::string_view content, const MetainfoLayout& layout) {
    return content.substr(layout.infoBegin, layout.infoEnd - layout.infoBegin);
}

bool HasVersion2(const MetainfoLayout& layout) {
    return layout.isMetaVersion2 && layout.hasFileTree;
}

std::string Lines(std::string_view content, const std::string& name, std::string_view lineEnd) {
    std::string output;
    for (const std::string& line : InfoHashLines(content, name))
        output += MaskControlBytes(line) + std::string(lineEnd);
    return output;
}

// The fields after "status" for a file that was read.
std::string JsonVerdict(std::string_view content, const std::string& name) {
    if (std::optional<MetainfoLayout> layout = WellFormedLayout(content)) {
        std::string_view info = InfoOf(content, *layout);
        std::string fields = "\"ok\"";
        if (layout->hasPieces)
            fields += ",\"v1\":\"" + LowerCaseAscii(Sha1HexDigest(info)) + "\"";
        if (HasVersion2(*layout))
            fields += ",\"v2\":\"" + LowerCaseAscii(Sha256HexDigest(info)) + "\"";
        std::optional<std::string_view> infoName = TorrentName(*layout);
        fields += ",\"info_name\":" + (infoName ? JsonString(*infoName) : "null");
        return fields;
    }
    std::vector<std::string> lines = InfoHashLines(content, name);
    if (lines.size() != 1)
        return "\"malformed\"";
    if (lines.front().rfind(kNotATorrent, 0) == 0)
        return "\"not-a-torrent\"";
    return "\"heuristic\",\"heuristic_v1\":\"" + LowerCaseAscii(lines.front().substr(0, 40)) + "\"";
}

std::string JsonObject(const std::string& name, std::string_view content,
                       const std::string& failure) {
    std::string object = "{\"file\":" + JsonString(name) +
                         ",\"name\":" + JsonString(FileNameOf(name)) + ",\"status\":";
    if (!failure.empty())
        object += "\"unreadable\",\"error\":" + JsonString(failure);
    else
        object += JsonVerdict(content, name);
    return object + "}";
}

// The magnet link of a well-formed file: its info-hashes, its name if it has one, its trackers.
std::string MagnetLink(std::string_view content, const MetainfoLayout& layout) {
    std::string_view info = InfoOf(content, layout);
    std::string link = "magnet:?";
    if (layout.hasPieces)
        link += "xt=urn:btih:" + LowerCaseAscii(Sha1HexDigest(info)) + "&";
    if (HasVersion2(layout))
        link += "xt=urn:btmh:1220" + LowerCaseAscii(Sha256HexDigest(info)) + "&";
    link.pop_back(); // the last '&'
    if (std::optional<std::string_view> name = TorrentName(layout); name && !name->empty())
        link += "&dn=" + PercentEncoded(*name);
    for (std::string_view tracker : TorrentTrackers(layout))
        link += "&tr=" + PercentEncoded(tracker);
    return link;
}

FileReport Report(const std::string& name, OutputForm form, std::string_view lineEnd,
                  std::string_view content, const std::string& failure) {
    FileReport report;
    if (!failure.empty()) {
        report.failed = true;
        report.complaint = Complaint(name, failure);
    }
    switch (form) {
    case OutputForm::Lines:
        report.output = Lines(content, name, lineEnd);
        break;
    case OutputForm::Json:
        report.output = JsonObject(name, content, failure) + std::string(lineEnd);
        break;
    case OutputForm::Magnet:
        if (!failure.empty())
            break;
        if (std::optional<MetainfoLayout> layout = WellFormedLayout(content)) {
            report.output = MagnetLink(content, *layout) + std::string(lineEnd);
        } else {
            report.failed = true;
            report.complaint = Complaint(name, "not a well-formed metainfo file, no magnet link");
        }
        break;
    }
    return report;
}

} // namespace

FileReport ReportFile(const std::string& name, OutputForm form, std::string_view lineEnd) {
    thread_local RegularFileReader reader;
    std::string failure = reader.Read(name, 'd', 'e');
    FileReport report = Report(name, form, lineEnd,
                               failure.empty() ? reader.Content() : std::string_view(), failure);
    // Content that changed under the program gives no verdict: the file counts as unreadable.
    failure = reader.Finish();
    return failure.empty() ? report : Report(name, form, lineEnd, {}, failure);
}
