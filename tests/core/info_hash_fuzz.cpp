// libFuzzer target: any content must give one well-shaped line or the two-line report, never
// a crash, a hang or a read outside the content.
#include "core/bencode_scan.h"
#include "core/info_hash.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

bool IsHexDigits(std::string_view text) {
    return text.find_first_not_of("0123456789ABCDEF") == std::string_view::npos;
}

void Require(bool condition) {
    if (!condition)
        std::abort();
}

void CheckHashedLine(std::string_view line, std::string_view name) {
    size_t digits = line.size() - 3 - name.size();
    Require(digits == 40 || digits == 64);
    Require(IsHexDigits(line.substr(0, digits)));
    Require(line.substr(digits) == "   f.torrent");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view content(reinterpret_cast<const char*>(data), size);
    const std::string_view name = "f.torrent";
    std::vector<std::string> lines = InfoHashLines(content, "C:\\dir/f.torrent");
    Require(lines.size() == 1 || lines.size() == 2);
    if (lines.size() == 2) {
        Require(lines[0] == "Error!");
        Require(lines[1].size() >= 4 + 40 + 5 + name.size());
        Require(lines[1].substr(lines[1].size() - 5 - name.size() - 40 - 4, 4) == "    ");
    } else if (lines[0].rfind("Not a Torrent File   ", 0) == 0) {
        Require(lines[0] == "Not a Torrent File   f.torrent");
    } else {
        CheckHashedLine(lines[0], name);
    }
    // A strictly well-formed file with an info dictionary always gets a hashed line.
    std::optional<MetainfoLayout> layout = ScanMetainfo(content);
    if (layout && layout->infoIsDictionary && layout->hasPieces)
        Require(lines.size() == 1 && lines[0].size() == 40 + 3 + name.size());
    return 0;
}
