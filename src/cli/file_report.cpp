#include "cli/file_report.h"

#include "cli/output_text.h"
#include "core/info_hash.h"
#include "core/text_ops.h"

namespace {

std::string Complaint(const std::string& name, std::string_view reason) {
    return "vantrel-cli: " + MaskControlBytes(name) + ": " + std::string(reason) + "\n";
}

std::string Lines(const FileResult& result, std::string_view lineEnd) {
    std::string output;
    for (const std::string& line : result.lines)
        output += MaskControlBytes(line) + std::string(lineEnd);
    return output;
}

std::string JsonHash(std::string_view key, const std::string& digest) {
    return ",\"" + std::string(key) + "\":\"" + LowerCaseAscii(digest) + "\"";
}

// The fields from "status" on.
std::string JsonVerdict(const FileResult& result) {
    switch (result.kind) {
    case FileKind::Ok: {
        std::string fields = "\"ok\"";
        if (!result.v1.empty())
            fields += JsonHash("v1", result.v1);
        if (!result.v2.empty())
            fields += JsonHash("v2", result.v2);
        fields +=
            ",\"info_name\":" + (result.torrentName ? JsonString(*result.torrentName) : "null");
        return fields;
    }
    case FileKind::Heuristic:
        return "\"heuristic\"" + JsonHash("heuristic_v1", result.v1);
    case FileKind::NotATorrent:
        return "\"not-a-torrent\"";
    case FileKind::Malformed:
        return "\"malformed\"";
    case FileKind::Unreadable:
        return "\"unreadable\",\"error\":" + JsonString(result.reason);
    }
    return {};
}

std::string JsonObject(const std::string& name, const FileResult& result) {
    return "{\"file\":" + JsonString(name) + ",\"name\":" + JsonString(FileNameOf(name)) +
           ",\"status\":" + JsonVerdict(result) + "}";
}

// The magnet link of a well-formed file: its info-hashes, its name if it has one, its trackers.
std::string MagnetLink(const FileResult& result) {
    std::string link = "magnet:?";
    if (!result.v1.empty())
        link += "xt=urn:btih:" + LowerCaseAscii(result.v1) + "&";
    if (!result.v2.empty())
        link += "xt=urn:btmh:1220" + LowerCaseAscii(result.v2) + "&";
    link.pop_back(); // the last '&'
    if (result.torrentName && !result.torrentName->empty())
        link += "&dn=" + PercentEncoded(*result.torrentName);
    for (const std::string& tracker : result.trackers)
        link += "&tr=" + PercentEncoded(tracker);
    return link;
}

} // namespace

FileReport ReportFile(const std::string& name, OutputForm form, std::string_view lineEnd) {
    const FileResult result = DescribeFile(
        name, form == OutputForm::Lines ? ResultDetail::Lines : ResultDetail::Everything);
    FileReport report;
    if (result.kind == FileKind::Unreadable) {
        report.failed = true;
        report.complaint = Complaint(name, result.reason);
    }
    switch (form) {
    case OutputForm::Lines:
        report.output = Lines(result, lineEnd);
        break;
    case OutputForm::Json:
        report.output = JsonObject(name, result) + std::string(lineEnd);
        break;
    case OutputForm::Magnet:
        if (result.kind == FileKind::Ok) {
            report.output = MagnetLink(result) + std::string(lineEnd);
        } else if (result.kind != FileKind::Unreadable) {
            report.failed = true;
            report.complaint = Complaint(name, "not a well-formed metainfo file, no magnet link");
        }
        break;
    }
    return report;
}
