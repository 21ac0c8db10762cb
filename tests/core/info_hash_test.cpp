// Which content is strictly well-formed, which bytes are hashed, and which lines a file gets: the
// hash line, or the two-line report of a damaged file, where only a walk that cannot end is
// damaged.
#include "core/bencode_scan.h"
#include "core/info_hash.h"
#include "core/sha1.h"

#include <gtest/gtest.h>

namespace {

const std::string kPieces20 = std::string("0123456789\0\x01\x02\x03\x04\x05\x06\x07\x08\xff", 20);
const std::string kInfo = "d6:lengthi1e6:pieces20:" + kPieces20 + "e";

std::string Torrent(const std::string& info) {
    return "d8:announce1:x4:info" + info + "e";
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

// Each content's lines. "xe" appended leaves content that is no longer well-formed but still ends
// in "e": the byte search reads it. Files clients write, which a byte search alone reads wrongly:
// an "info" key inside another value, a list after info (v2, hybrid). The byte search ends at the
// content for lengths past the end or before the start and an open integer; it reports a list,
// which it cannot skip, and 4294967285, which wraps to -11 in 32 bits, back to where it stands. It
// ends at an "info" key after the end, and at a step back to a position it has not visited:
// 4294967281 wraps to -15, from past its colon back to the "e" in "pieces".
TEST(InfoHash, EachContentGetsItsLines) {
    const std::string list = Torrent("d6:lengthi1e6:pieces20:" + kPieces20 + "1:tl1:xee") + "xe";
    const std::string wrap = "d8:announce1:x6:lengthi1e4:infod6:pieces1:A4294967285:xe";
    const std::string search = "d8:announce1:x6:lengthi1e4:info";
    const std::vector<std::string> notTorrent = {"Not a Torrent File   a.torrent"};
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {Torrent(kInfo), Hashed(kInfo)},
        {Torrent(kInfo) + "xe", Hashed(kInfo)},
        {"d7:commentd4:info1:xe4:info" + kInfo + "e", Hashed(kInfo)},
        {"d4:info" + kInfo + "5:nodesll1:xeee", Hashed(kInfo)},
        {search + "d6:pieces99:abce", Hashed("d6:pieces99:abce")},
        {search + "d6:pieces-99:abce", Hashed("d6:pieces-99:abce")},
        {search + "d6:pieces1:Ai12e", Hashed("d6:pieces1:Ai12e")},
        {list, Report("l1:x", list)},
        {wrap, Report("4294", wrap)},
        {"d8:announce1:x6:lengthi1e6:pieces1:Ae7:comment5::infoe", Hashed("")},
        {kHead + "0:4294967281:xxxxee", Hashed("d6:lengthi1e4:name1:a6:piece")},
        {"", notTorrent},
        {Torrent(kInfo) + "\n", notTorrent},
        {Torrent(kInfo) + "\r\n", notTorrent},
        {Torrent(kInfo) + "x", notTorrent},
        {"d8:announce1:x4:infod6:pieces1:xexe", notTorrent},
        {"d8:announce1:x4:infod6:lengthi1eexe", notTorrent},
        {"e8:announce6:length6:piecesd", notTorrent}};
    for (const auto& [content, lines] : cases)
        EXPECT_EQ(InfoHashLines(content, "a.torrent"), lines) << content;
}

// The report shows four bytes: control bytes and bytes that form no UTF-8 character among them (a
// lone byte, one cut short by the end of the detail, an overlong form) show as dots, characters
// stay whole. A walk back to a position visited before is reported at the bytes where the step
// that closes the loop starts, however long the walk before the loop and the loop itself.
TEST(MalformedReport, ShowsTheBytesWhereTheWalkCannotGoOn) {
    auto times = [](int count, const std::string& element) {
        std::string elements;
        for (int i = 0; i < count; ++i)
            elements += element;
        return elements;
    };
    const std::string longLoop = "0:3:abc" + times(1000, "1:x");
    // Wraps to minus the distance from past its colon back to "3:abc".
    const std::string backToAbc = std::to_string((uint64_t{1} << 32) - longLoop.size() - 9) + ":";
    const std::pair<std::string, std::string> walks[] = {
        {std::string("0:l\r\n\0", 6), "l..."},
        {"0:d\x7f\x1f ", "d.. "},
        {"0:l\t\x80~", "l..~"},
        {"0:\xC3\xA9\xFF\x7E", "\xC3\xA9.~"},
        {"0:l\xE2\x82\xAC", "l\xE2\x82\xAC"},
        {"0:ll\xE2\x82", "ll.."},
        {"0:\xC0\xAF\xF0\x9F", "...."},
        {"0:3:abc4294967280:", "4294"},
        {times(100000, "0:") + longLoop + backToAbc, "4294"},
        {"0:i1e1:X3:abc4294967277:", "4294"}};
    for (const auto& [walk, detail] : walks) {
        const std::string content = kHead + walk + "ee";
        EXPECT_EQ(InfoHashLines(content, "C:\\t\\a.torrent"), Report(detail, content))
            << walk.size();
    }
}

} // namespace
