// The report of a damaged file stays two lines, and only a walk that cannot end is damaged.
#include "core/info_hash.h"
#include "core/sha1.h"

#include <gtest/gtest.h>

namespace {

const std::string kHead = "d8:announce1:x4:infod6:lengthi1e4:name1:a6:pieces";

std::vector<std::string> Report(const std::string& detail, const std::string& content) {
    return {"Error!", detail + "    " + Sha1HexDigest(content) + "     n.torrent"};
}

} // namespace

TEST(MalformedReport, ControlBytesInTheDetailShowAsDots) {
    for (const auto& [element, shown] :
         {std::pair{"l\r\n\0", "l..."}, {"d\x7f\x1f ", "d.. "}, {"l\t\x80~", "l.\x80~"}}) {
        const std::string content = kHead + "0:" + std::string(element, 4) + "ee";
        EXPECT_EQ(InfoHashLines(content, "C:\\t\\n.torrent"), Report(shown, content));
    }
}

TEST(MalformedReport, AWalkBackToAPositionNotVisitedEndsThere) {
    // 4294967281 wraps to -15: from past its colon back to the "e" in "pieces"
    const std::string content = kHead + "0:4294967281:xxxxee";
    const std::string info = content.substr(content.find(":info") + 5);
    EXPECT_EQ(InfoHashLines(content, "n.torrent"),
              std::vector<std::string>{Sha1HexDigest(info.substr(0, info.find("es0:") + 1)) +
                                       "   n.torrent"});
}

TEST(MalformedReport, AWalkBackToAPositionVisitedBeforeIsReported) {
    // 4294967280 wraps to -16: back to the string "3:abc" the walk has just passed
    const std::string content = kHead + "0:3:abc4294967280:ee";
    EXPECT_EQ(InfoHashLines(content, "n.torrent"), Report("4294", content));
}
