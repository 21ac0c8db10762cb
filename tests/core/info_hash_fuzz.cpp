// libFuzzer target: any content must give one well-shaped line or the two-line report, never
// a crash, a hang or a read outside the content.
#include "core/bencode_scan.h"
#include "core/info_hash.h"

#include <cstdint>
#include <cstdlib>

static void Require(bool condition) {
    if (!condition)
        std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view content(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> lines = InfoHashLines(content, "C:\\dir/f.torrent");
    const std::string name = "   f.torrent";
    if (lines.size() == 2) {
        Require(lines[0] == "Error!" && lines[1].size() >= 46 + name.size());
        Require(lines[1].compare(lines[1].size() - name.size() - 46, 4, "    ") == 0);
    } else if (lines.at(0).rfind("Not a Torrent File", 0) != 0) {
        size_t digits = lines[0].size() - name.size();
        Require((digits == 40 || digits == 64) && lines[0].substr(digits) == name);
        Require(lines[0].find_first_not_of("0123456789ABCDEF") == digits);
    } else {
        Require(lines == std::vector<std::string>{"Not a Torrent File" + name});
    }
    // A strictly well-formed file with an info dictionary always gets a hashed line.
    std::optional<MetainfoLayout> layout = ScanMetainfo(content);
    if (layout && layout->infoIsDictionary && layout->hasPieces)
        Require(lines.size() == 1 && lines[0].size() == 40 + name.size());
    return 0;
}
