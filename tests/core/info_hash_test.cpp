// Which content is strictly well-formed, which bytes are hashed, and which lines a file gets: the
// hash line, or the two-line report of a damaged file, where only a walk that cannot end is
// damaged.
#include "core/bencode_scan.h"
#include "core/info_hash.h"
#include "core/sha1.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

namespace {

const std::string kPieces20 = std::string("0123456789\0\x01\x02\x03\x04\x05\x06\x07\x08\xff", 20);
const std::string kInfo = "d6:lengthi1e6:pieces20:" + kPieces20 + "e";

std::string Torrent(const std::string& info) {
    return "d8:announce1:x4:info" + info + "e";
}

std::vector<std::string> Lines(const std::string& content) {
    return InfoHashLines(content, "a.torrent");
}

std::vector<std::string> Hashed(const std::string& range) {
    return {Sha1HexDigest(range) + "   a.torrent"};
}

std::vector<std::string> Report(const std::string& detail, const std::string& content) {
    return {"Error!", detail + "    " + Sha1HexDigest(content) + "     a.torrent"};
}

const std::string kHead = "d8:announce1:x4:infod6:lengthi1e4:name1:a6:pieces";

TEST(ScanMetainfo, AcceptsExactlyOneStrictlyWellFormedDictionary) {
    const size_t depth = kMaxBencodeDepth - 1; // below the top-level dictionary
    const std::string deepest = std::string(depth, 'l') + std::string(depth, 'e');
    const std::string bad[] = {"d1:aiee",   "d1:ai-ee", "d1:ai12",
                               "d1:a3:xye", "d1:ae",    "d1:a1:be ",
                               "li1ee",     "di1e1:ae", "d1:al" + deepest + "ee"};
    EXPECT_TRUE(ScanMetainfo("d1:ai-12e1:b0:1:ci0ee"));
    EXPECT_TRUE(ScanMetainfo("d1:a" + deepest + "e"));
    for (const std::string& content : bad)
        EXPECT_FALSE(ScanMetainfo(content)) << content.substr(0, 20);
}

// "xe" appended leaves content that is no longer well-formed but still ends in "e": the byte
// search reads it.
TEST(InfoHash, HashesExactlyTheInfoValueWhetherWellFormedOrNot) {
    for (const std::string& info :
         {kInfo, "d6:lengthi1e6:pieces20:" + kPieces20 + "7:privatei1ee",
          "d6:lengthi1e6:pieces20:" + kPieces20 + "7:privatei-1234e4:name3:abce"}) {
        SCOPED_TRACE(info);
        EXPECT_EQ(Lines(Torrent(info)), Hashed(info));
        EXPECT_EQ(Lines(Torrent(info) + "xe"), Hashed(info));
    }
    EXPECT_EQ(InfoHashLines(Torrent(kInfo), "C:\\x\\y/z\\a.torrent"), Hashed(kInfo));
}

// Files clients write, which a byte search alone reads wrongly: an "info" key inside another
// value, a list after info (v2, hybrid and the lists in info: the console program's check against
// libtorrent's files).
TEST(InfoHash, WellFormedFilesAreReadByTheirStructure) {
    for (const std::string& content :
         {"d7:commentd4:info1:xe4:info" + kInfo + "e", "d4:info" + kInfo + "5:nodesll1:xeee"})
        EXPECT_EQ(Lines(content), Hashed(kInfo)) << content;
}

TEST(InfoHash, FilesThatFailRecognitionAreNotTorrents) {
    const std::string notTorrents[] = {"",
                                       Torrent(kInfo) + "\n",
                                       Torrent(kInfo) + "\r\n",
                                       Torrent(kInfo) + "x",
                                       "d8:announce1:x4:infod6:pieces1:xexe",
                                       "d8:announce1:x4:infod6:lengthi1eexe",
                                       "e8:announce6:length6:piecesd"};
    for (const std::string& content : notTorrents)
        EXPECT_EQ(Lines(content), std::vector<std::string>{"Not a Torrent File   a.torrent"});
}

TEST(InfoHash, TheByteSearchEndsAtTheContentOrReportsWhatItCannotSkip) {
    // Lengths past the end or before the start, an open integer: the range runs to the end.
    for (const char* info : {"d6:pieces99:abce", "d6:pieces-99:abce", "d6:pieces1:Ai12e"})
        EXPECT_EQ(Lines(std::string("d8:announce1:x6:lengthi1e4:info") + info), Hashed(info));
    // A list cannot be skipped; 4294967285 wraps to -11 in 32 bits, back to where it stands.
    const std::string list = Torrent("d6:lengthi1e6:pieces20:" + kPieces20 + "1:tl1:xee") + "xe";
    const std::string wrap = "d8:announce1:x6:lengthi1e4:infod6:pieces1:A4294967285:xe";
    for (const auto& [content, detail] : {std::pair{list, "l1:x"}, std::pair{wrap, "4294"}})
        EXPECT_EQ(Lines(content), Report(detail, content));
    // The walk ends at an "info" key after the end, and at a step back to a position it has not
    // visited: 4294967281 wraps to -15, from past its colon back to the "e" in "pieces".
    for (const auto& [content, range] :
         {std::pair<std::string, std::string>{
              "d8:announce1:x6:lengthi1e6:pieces1:Ae7:comment5::infoe", ""},
          {kHead + "0:4294967281:xxxxee", "d6:lengthi1e4:name1:a6:piece"}})
        EXPECT_EQ(Lines(content), Hashed(range)) << content;
}

// Files of more than 64 KiB are loaded only once their end bytes have passed.
TEST(ComputeInfoHashLine, GivesTheLinesOfTheWholeContentAndSendsReportsToTheList) {
    TempFolder folder;
    const std::string large = Torrent("d6:pieces99999:" + std::string(99999, 'z') + "6:lengthi1ee");
    for (const std::string& content :
         {large, large + "\n", "x" + large, Torrent(kInfo), Torrent("d6:pieces1:Ad1:xee") + "xe"}) {
        std::vector<std::string> lines;
        const std::string name = folder.Write("f.torrent", content);
        if (auto line = ComputeInfoHashLine(name, [&](auto& report) { lines.push_back(report); }))
            lines.push_back(*line);
        EXPECT_EQ(lines, InfoHashLines(content, name)) << content.size();
    }
    EXPECT_EQ(ComputeInfoHashLine(folder.Path("gone"), nullptr), "Not a Torrent File   gone");
}

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
        EXPECT_EQ(InfoHashLines(content, "C:\\t\\a.torrent"), Report(shown, content));
    }
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
        EXPECT_EQ(Lines(content), Report("4294", content)) << walk.size();
    }
}

} // namespace
