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

// Control bytes and bytes that form no UTF-8 character among the four (a lone byte, one cut
// short by the end of the detail, an overlong form) show as dots; characters stay whole.
TEST(MalformedReport, ControlBytesAndBytesThatAreNotUtf8InTheDetailShowAsDots) {
    for (const auto& [element, shown] : {std::pair{"l\r\n\0", "l..."},
                                         {"d\x7f\x1f ", "d.. "},
                                         {"l\t\x80~", "l..~"},
                                         {"\xC3\xA9\xFF\x7E", "\xC3\xA9.~"},
                                         {"l\xE2\x82\xAC", "l\xE2\x82\xAC"},
                                         {"ll\xE2\x82", "ll.."},
                                         {"\xC0\xAF\xF0\x9F", "...."}}) {
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

// The report shows the bytes where the step that closes the loop starts, however long the walk
// before the loop and the loop itself.
TEST(MalformedReport, AWalkBackToAPositionVisitedBeforeIsReported) {
    auto times = [](int count, const std::string& element) {
        std::string elements;
        for (int i = 0; i < count; ++i)
            elements += element;
        return elements;
    };
    const std::string longLoop = "0:3:abc" + times(1000, "1:x");
    // Wraps to minus the distance from past its colon back to "3:abc".
    const std::string backToAbc = std::to_string((uint64_t{1} << 32) - longLoop.size() - 9) + ":";
    for (const std::string& walk :
         {std::string("0:3:abc4294967280:"), times(1000000, "0:") + "3:abc4294967280:",
          times(100000, "0:") + longLoop + backToAbc, std::string("0:i1e1:X3:abc4294967277:")}) {
        const std::string content = kHead + walk + "ee";
        EXPECT_EQ(InfoHashLines(content, "n.torrent"), Report("4294", content)) << walk.size();
    }
}
