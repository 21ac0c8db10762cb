// Loading a file only when its end bytes can belong to a metainfo file, and the lines that
// come of it: the same as from loading the whole file, for small and large files alike.
#include "core/info_hash.h"
#include "core/text_file.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

const std::string kPieces = std::string(20 * 5000, '\x5a'); // large enough to be probed

std::string Torrent(const std::string& pieces) {
    return "d8:announce1:x4:infod6:lengthi1e6:pieces" + std::to_string(pieces.size()) + ":" +
           pieces + "ee";
}

std::string Load(const std::string& name) {
    std::string content = "left over from an earlier file";
    LoadFileTextWithEnds(name, 'd', 'e', content);
    return content;
}

TEST(LoadFileTextWithEnds, LoadsWholeOnlyWhenBothEndsMatch) {
    TempFolder folder;
    const std::string large = Torrent(kPieces);
    const std::string small = Torrent("01234567890123456789");
    EXPECT_EQ(Load(folder.Write("large.torrent", large)), large);
    EXPECT_EQ(Load(folder.Write("small.torrent", small)), small);
    for (const std::string& body : {large, small}) {
        SCOPED_TRACE(body.size());
        EXPECT_EQ(Load(folder.Write("newline", body + "\n")), "");
        EXPECT_EQ(Load(folder.Write("prefix", "x" + body)), "");
        EXPECT_EQ(Load(folder.Write("nul", std::string(1, '\0') + body.substr(1))), "");
    }
    EXPECT_EQ(Load(folder.Write("one", "d")), "");
    EXPECT_EQ(Load(folder.Write("de", "de")), "de");
    EXPECT_EQ(Load(folder.Write("empty", "")), "");
    EXPECT_EQ(Load(folder.Path("missing")), "");
    EXPECT_EQ(Load(folder.Path("")), "");
}

TEST(LoadFileTextWithEnds, ReusedBufferHoldsOnlyTheNewContent) {
    TempFolder folder;
    std::string content;
    LoadFileTextWithEnds(folder.Write("long", Torrent(kPieces)), 'd', 'e', content);
    ASSERT_EQ(content.size(), Torrent(kPieces).size());
    LoadFileTextWithEnds(folder.Write("short", "d1:ae"), 'd', 'e', content);
    EXPECT_EQ(content, "d1:ae");
    LoadFileTextWithEnds(folder.Write("not", "no"), 'd', 'e', content);
    EXPECT_EQ(content, "");
}

#ifndef _WIN32
// The bytes this process has read through system calls so far.
uint64_t BytesRead() {
    std::ifstream io("/proc/self/io");
    std::string key;
    uint64_t value = 0;
    while (io >> key >> value)
        if (key == "rchar:")
            return value;
    return 0;
}

TEST(LoadFileTextWithEnds, ALargeFileWithTheWrongEndsCostsTwoBytes) {
    TempFolder folder;
    std::string media = folder.Write("film.mkv", "d" + std::string(8 << 20, 'm') + "x");
    uint64_t before = BytesRead();
    EXPECT_EQ(Load(media), "");
    uint64_t after = BytesRead();
    // The reads of /proc/self/io itself come on top of the two probed bytes.
    EXPECT_LT(after - before, 64u * 1024u);
}
#endif

TEST(ComputeInfoHashLine, GivesTheLinesOfTheWholeContentForEveryShape) {
    TempFolder folder;
    const std::string large = Torrent(kPieces);
    const std::string contents[] = {
        large,
        large + "\n",
        large.substr(0, large.size() - 1) + "xe", // damaged: the byte search
        "d8:announce1:x4:infod4:tagsl1:xe6:lengthi1e6:pieces20:01234567890123456789ee",
        "d" + std::string(100000, 'q') + "e", // right ends, no keys
        "",
    };
    int index = 0;
    for (const std::string& content : contents) {
        std::string name = folder.Write("f" + std::to_string(index++) + ".torrent", content);
        SCOPED_TRACE(name);
        std::vector<std::string> lines;
        std::optional<std::string> line =
            ComputeInfoHashLine(name, [&](const std::string& report) { lines.push_back(report); });
        if (line)
            lines.push_back(*line);
        EXPECT_EQ(lines, InfoHashLines(LoadFileText(name), name));
    }
    EXPECT_EQ(*ComputeInfoHashLine(folder.Path("missing.torrent"), nullptr),
              "Not a Torrent File   missing.torrent");
}

} // namespace
