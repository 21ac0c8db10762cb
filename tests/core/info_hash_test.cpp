// Which content is strictly well-formed, which bytes are hashed, which lines a file gets, and
// loading a file only when its end bytes can belong to a metainfo file.
#include "core/bencode_scan.h"
#include "core/info_hash.h"
#include "core/sha1.h"
#include "core/sha256.h"
#include "core/text_file.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

const std::string kPieces20 = std::string("0123456789\0\x01\x02\x03\x04\x05\x06\x07\x08\xff", 20);
const std::string kInfo = "d6:lengthi1e6:pieces20:" + kPieces20 + "e";
const std::string kTree = "d1:ad0:d6:lengthi1e11:pieces root32:" + std::string(32, 'r') + "eee";

std::string Torrent(const std::string& info) {
    return "d8:announce1:x4:info" + info + "e";
}

// No longer strictly well-formed but still ending in "e": read by the byte search.
std::string Damaged(const std::string& content) {
    return content + "xe";
}

std::vector<std::string> Lines(const std::string& content, const std::string& name = "a.torrent") {
    return InfoHashLines(content, name);
}

std::vector<std::string> Hashed(const std::string& range, const std::string& name = "a.torrent") {
    return {Sha1HexDigest(range) + "   " + name};
}

std::vector<std::string> Report(const std::string& detail, const std::string& content) {
    return {"Error!", detail + "    " + Sha1HexDigest(content) + "     a.torrent"};
}

TEST(ScanMetainfo, AcceptsExactlyOneStrictlyWellFormedDictionary) {
    const size_t depth = kMaxBencodeDepth - 1; // below the top-level dictionary
    const std::string deepest = std::string(depth, 'l') + std::string(depth, 'e');
    const struct {
        std::string content;
        bool wellFormed;
    } cases[] = {
        {"d1:ai-12e1:b0:1:ci0ee", true},
        {"d1:aiee", false},
        {"d1:ai-ee", false},
        {"d1:ai12", false},
        {"d1:a3:xye", false},
        {"d1:ae", false},
        {"d1:a1:be ", false},
        {"li1ee", false},
        {"di1e1:ae", false},
        {"d1:a" + deepest + "e", true},
        {"d1:al" + deepest + "ee", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ScanMetainfo(c.content).has_value(), c.wellFormed) << c.content.substr(0, 30);
}

TEST(InfoHash, HashesExactlyTheInfoValueWhetherWellFormedOrNot) {
    for (const std::string& info :
         {kInfo, "d6:lengthi1e6:pieces20:" + kPieces20 + "7:privatei1ee",
          "d6:lengthi1e6:pieces20:" + kPieces20 + "7:privatei-1234e4:name3:abce"}) {
        SCOPED_TRACE(info);
        EXPECT_EQ(Lines(Torrent(info)), Hashed(info));
        EXPECT_EQ(Lines(Damaged(Torrent(info))), Hashed(info));
    }
    EXPECT_EQ(Lines(Torrent(kInfo), "C:\\x\\y/z\\a b.torrent"), Hashed(kInfo, "a b.torrent"));
}

// Files clients write today, which a byte search alone reads wrongly.
TEST(InfoHash, WellFormedFilesAreReadByTheirStructure) {
    const std::string similar = "d6:lengthi1e6:pieces20:" + kPieces20 + "7:similarl1:xee";
    const std::string hybrid =
        "d9:file tree" + kTree + "6:lengthi1e12:meta versioni2e6:pieces20:" + kPieces20 + "e";
    const struct {
        std::string content, info;
    } cases[] = {
        {"d8:announce1:x7:comment9:see :info4:info" + kInfo + "e", kInfo},
        {"d7:commentd4:info1:xe4:info" + kInfo + "e", kInfo},
        {"d4:info" + kInfo + "5:nodesll9:127.0.0.1i6881eeee", kInfo},
        {Torrent(similar), similar},
        {Torrent(hybrid), hybrid},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Lines(c.content), Hashed(c.info)) << c.content;
    const std::string v2 = "d9:file tree" + kTree + "12:meta versioni2e4:name1:ae";
    EXPECT_EQ(Lines("d4:info" + v2 + "e"), std::vector{Sha256HexDigest(v2) + "   a.torrent"});
}

TEST(InfoHash, FilesThatFailRecognitionAreNotTorrents) {
    for (const std::string& content :
         {std::string(), Torrent(kInfo) + "\n", Torrent(kInfo) + "\r\n", Torrent(kInfo) + "x",
          Damaged("d8:announce1:x4:infod6:pieces1:xe"),
          Damaged("d8:announce1:x4:infod6:lengthi1ee"),
          std::string("e8:announce6:length6:piecesd")})
        EXPECT_EQ(Lines(content), std::vector<std::string>{"Not a Torrent File   a.torrent"});
}

TEST(InfoHash, TheByteSearchEndsAtTheContentOrReportsWhatItCannotSkip) {
    // Lengths past the end or before the start, an open integer: the range runs to the end.
    for (const char* info : {"d6:pieces99:abce", "d6:pieces-99:abce", "d6:pieces1:Ai12e"})
        EXPECT_EQ(Lines(std::string("d8:announce1:x6:lengthi1e4:info") + info), Hashed(info));
    const std::string list = Damaged(Torrent("d6:lengthi1e6:pieces20:" + kPieces20 + "1:tl1:xee"));
    EXPECT_EQ(Lines(list), Report("l1:x", list));
    // 4294967285 wraps to -11 in 32 bits: the next position would be this one again.
    const std::string wrap = "d8:announce1:x6:lengthi1e4:infod6:pieces1:A4294967285:xe";
    EXPECT_EQ(Lines(wrap), Report("4294", wrap));
    const std::string infoAfterEnd = "d8:announce1:x6:lengthi1e6:pieces1:Ae7:comment5::infoe";
    EXPECT_EQ(Lines(infoAfterEnd), Hashed(""));
}

// What loading sets for the content on disk, starting from a buffer that held another file.
std::string Load(const std::string& name) {
    std::string content = "left over from an earlier file";
    LoadFileTextWithEnds(name, 'd', 'e', content);
    return content;
}

TEST(LoadFileTextWithEnds, LoadsWholeOnlyWhenBothEndsMatch) {
    TempFolder folder;
    const std::string large = Torrent("d6:pieces100000:" + std::string(100000, 'z') + "e");
    for (const std::string& body : {large, Torrent(kInfo), std::string("de")}) {
        EXPECT_EQ(Load(folder.Write("whole", body)), body);
        for (const std::string& other :
             {body + "\n", "x" + body, std::string(1, '\0') + body.substr(1)})
            EXPECT_EQ(Load(folder.Write("other", other)), "") << other.size();
    }
    EXPECT_EQ(Load(folder.Write("one", "d")), "");
    EXPECT_EQ(Load(folder.Path("missing")), "");
}

#ifndef _WIN32
TEST(LoadFileTextWithEnds, ALargeFileWithTheWrongEndsIsNotRead) {
    TempFolder folder;
    std::string media = folder.Write("film.mkv", "d" + std::string(8 << 20, 'm') + "x");
    auto bytesRead = [] {
        std::ifstream io("/proc/self/io");
        std::string key;
        uint64_t value = 0;
        while (io >> key >> value && key != "rchar:") {
        }
        return value;
    };
    uint64_t before = bytesRead();
    EXPECT_EQ(Load(media), "");
    EXPECT_LT(bytesRead() - before, 64u * 1024u); // reading /proc/self/io itself counts too
}
#endif

TEST(ComputeInfoHashLine, GivesTheLinesOfTheWholeContentAndSendsReportsToTheList) {
    TempFolder folder;
    const std::string contents[] = {Torrent(kInfo), Torrent(kInfo) + "\n", Damaged(Torrent(kInfo)),
                                    Damaged(Torrent("d6:lengthi1e6:pieces1:Ad1:xi1eee"))};
    for (const std::string& content : contents) {
        std::string name = folder.Write("f.torrent", content);
        std::vector<std::string> lines;
        if (auto line =
                ComputeInfoHashLine(name, [&](const std::string& l) { lines.push_back(l); }))
            lines.push_back(*line);
        EXPECT_EQ(lines, InfoHashLines(content, name));
    }
    EXPECT_EQ(*ComputeInfoHashLine(folder.Path("missing.torrent"), nullptr),
              "Not a Torrent File   missing.torrent");
}

} // namespace
