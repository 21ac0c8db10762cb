// Which bytes are hashed, and which line a file gets, for hand-made metainfo content.
#include "core/info_hash.h"
#include "core/sha1.h"
#include "core/sha256.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

namespace {

const std::string kPieces20 = std::string("0123456789\0\x01\x02\x03\x04\x05\x06\x07\x08\xff", 20);
const std::string kInfo = "d6:lengthi1e6:pieces20:" + kPieces20 + "e";

std::string Torrent(const std::string& info) {
    return "d8:announce1:x4:info" + info + "e";
}

// Content that is no longer strictly well-formed but still ends in "e": it takes the
// byte-search reading.
std::string Damaged(const std::string& content) {
    return content + "xe";
}

std::vector<std::string> Lines(const std::string& content, const std::string& name = "a.torrent") {
    return InfoHashLines(content, name);
}

std::vector<std::string> Hashed(const std::string& range, const std::string& name = "a.torrent") {
    return {Sha1HexDigest(range) + "   " + name};
}

TEST(InfoHash, HashesExactlyTheInfoValueWhetherWellFormedOrNot) {
    const std::string infos[] = {
        kInfo,
        // keys after the pieces string: integers of one or several digits, negative, strings
        "d6:lengthi1e6:pieces20:" + kPieces20 + "7:privatei1ee",
        "d6:lengthi1e6:pieces20:" + kPieces20 + "7:privatei-1234e4:name3:abce",
    };
    for (const std::string& info : infos) {
        SCOPED_TRACE(info);
        EXPECT_EQ(Lines(Torrent(info)), Hashed(info));
        EXPECT_EQ(Lines(Damaged(Torrent(info))), Hashed(info));
    }
}

TEST(InfoHash, LineIsFortyUpperCaseDigitsThreeSpacesAndTheNameWithoutFolder) {
    std::vector<std::string> lines = Lines(Torrent(kInfo), "C:\\x\\y/z\\a b.torrent");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].size(), 43u + 11u);
    EXPECT_EQ(lines[0].substr(40), "   a b.torrent");
    EXPECT_EQ(lines[0].find_first_not_of("0123456789ABCDEF"), 40u);
    EXPECT_EQ(Lines("nothing", "plain")[0], "Not a Torrent File   plain");
}

TEST(InfoHash, FilesThatFailRecognitionAreNotTorrents) {
    const std::string notTorrents[] = {
        "",
        Torrent(kInfo) + "\n",
        Torrent(kInfo) + "\r\n",
        "d4:infod6:lengthi1e6:pieces1:xe" + std::string("x"), // does not end in "e"
        Damaged("d8:announce1:x4:infod6:pieces1:xe"),         // no ":length"
        Damaged("d8:announce1:x4:infod6:lengthi1ee"),         // no ":pieces"
        "e8:announce6:length6:piecesd",
    };
    for (const std::string& content : notTorrents)
        EXPECT_EQ(Lines(content), std::vector<std::string>{"Not a Torrent File   a.torrent"});
}

// Files that clients write today, which a byte search alone reads wrongly.
TEST(InfoHash, WellFormedFilesAreReadByTheirStructure) {
    // ":info" inside a comment before the real info key
    std::string comment = "d8:announce1:x7:comment9:see :info4:info" + kInfo + "e";
    EXPECT_EQ(Lines(comment), Hashed(kInfo));

    // trackerless: no announce key at all
    std::string dht = "d4:info" + kInfo + "5:nodesll9:127.0.0.1i6881eeee";
    EXPECT_EQ(Lines(dht), Hashed(kInfo));

    // a list after the pieces string
    std::string similar =
        "d6:lengthi1e6:pieces20:" + kPieces20 + "7:similarl20:" + kPieces20 + "ee";
    EXPECT_EQ(Lines(Torrent(similar)), Hashed(similar));

    // hybrid: "pieces root" keys of the file tree stand before the real pieces key
    std::string tree = "d1:ad0:d6:lengthi1e11:pieces root32:" + std::string(32, 'r') + "eee";
    std::string hybrid =
        "d9:file tree" + tree + "6:lengthi1e12:meta versioni2e6:pieces20:" + kPieces20 + "e";
    EXPECT_EQ(Lines(Torrent(hybrid)), Hashed(hybrid));
}

TEST(InfoHash, VersionTwoOnlyFilesGetTheirSha256) {
    std::string tree = "d1:ad0:d6:lengthi1e11:pieces root32:" + std::string(32, 'r') + "eee";
    std::string info = "d9:file tree" + tree + "12:meta versioni2e4:name1:a12:piece lengthi16384ee";
    std::vector<std::string> lines = Lines("d4:info" + info + "e");
    EXPECT_EQ(lines, std::vector<std::string>{Sha256HexDigest(info) + "   a.torrent"});
    EXPECT_EQ(lines[0].size(), 64u + 3u + 9u);
}

TEST(InfoHash, AListAfterThePiecesOfADamagedFileIsReported) {
    std::string info = "d6:lengthi1e6:pieces20:" + kPieces20 + "4:tagsl1:xee";
    std::string content = Damaged(Torrent(info));
    std::vector<std::string> expected = {"Error!",
                                         "l1:x    " + Sha1HexDigest(content) + "     a.torrent"};
    EXPECT_EQ(Lines(content), expected);
}

TEST(InfoHash, DamagedLengthsNeverReadOutsideTheContent) {
    // a string length past the end: the range runs to the last byte
    std::string truncated = "d8:announce1:x6:lengthi1e4:infod6:pieces99:abce";
    EXPECT_EQ(Lines(truncated), Hashed("d6:pieces99:abce"));

    // a negative length moves the position before the content: the walk ends as at the end
    std::string negative = "d8:announce1:x6:lengthi1e4:infod6:pieces-99:abce";
    EXPECT_EQ(Lines(negative), Hashed("d6:pieces-99:abce"));

    // an integer without its "e": the range runs to the last byte
    std::string openInteger = "d8:announce1:x6:lengthi1e4:infod6:pieces1:Ai12345";
    openInteger += "e";
    EXPECT_EQ(Lines(openInteger), Hashed("d6:pieces1:Ai12345e"));
}

TEST(InfoHash, ALengthThatWrapsBackToItselfIsReportedNotWalkedForever) {
    // 4294967285 wraps to -11 in 32 bits: the next position would be this one again
    std::string content = "d8:announce1:x6:lengthi1e4:infod6:pieces1:A4294967285:xe";
    std::vector<std::string> lines = Lines(content);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Error!");
    EXPECT_EQ(lines[1], "4294    " + Sha1HexDigest(content) + "     a.torrent");
}

TEST(InfoHash, InfoKeyAfterTheEndGivesTheDigestOfNothing) {
    std::string content = "d8:announce1:x6:lengthi1e6:pieces1:Ae7:comment5::infoe";
    EXPECT_EQ(Lines(content), Hashed(""));
    EXPECT_EQ(Lines(content)[0].substr(0, 40), "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709");
}

TEST(InfoHash, ReadersOfNumbersFollowTheirDefinitions) {
    NumberAfterKey pieces = ReadNumberAfterKey("xx6:pieces123:abc", ":pieces");
    EXPECT_EQ(pieces.value, 123);
    EXPECT_EQ(pieces.consumed, 4);
    NumberAfterKey noColon = ReadNumberAfterKey("6:pieces12", ":pieces");
    EXPECT_EQ(noColon.value, 12);
    EXPECT_EQ(noColon.consumed, 3);
    DigitRun run = ReadDigitRun("ab123:x", 3);
    EXPECT_EQ(run.value, 123);
    EXPECT_EQ(run.next, 7);
    DigitRun toEnd = ReadDigitRun("ab123", 3);
    EXPECT_EQ(toEnd.next, 6);
}

TEST(ComputeInfoHashLine, LoadsTheFileAndSendsReportsToTheList) {
    TempFolder folder;
    std::vector<std::string> list;
    AppendLine append = [&](const std::string& line) { list.push_back(line); };

    std::string good = folder.Write("good.torrent", Torrent(kInfo));
    EXPECT_EQ(ComputeInfoHashLine(good, append), Hashed(kInfo, "good.torrent")[0]);
    EXPECT_EQ(ComputeInfoHashLine(folder.Path("missing.torrent"), append),
              "Not a Torrent File   missing.torrent");
    EXPECT_TRUE(list.empty());

    std::string bad = Damaged(Torrent("d6:lengthi1e6:pieces1:Ad1:xi1eee"));
    EXPECT_EQ(ComputeInfoHashLine(folder.Write("bad.torrent", bad), append), std::nullopt);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0], "Error!");
    EXPECT_EQ(list[1], "d1:x    " + Sha1HexDigest(bad) + "     bad.torrent");
}

} // namespace
