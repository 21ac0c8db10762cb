// Reading files on POSIX systems: a file changed while it is in use, and files past 4 GiB.
#include "core/regular_file.h"
#include "core/sha1.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <unistd.h>

// A file rewritten in place to the same size just after it was read, or cut shorter, is
// reported as changed, whether it was read or mapped; its content stays readable (a mapped file
// cut shorter reads as zeros past its new end); a file left alone is not changed.
TEST(RegularFileReader, NoticesAFileChangedWhileItIsInUse) {
    TempFolder folder;
    for (size_t size : {size_t{100}, size_t{2} << 20}) {
        for (bool cut : {false, true}) {
            const std::string name = folder.Write("live", std::string(size, 'a'));
            RegularFileReader reader;
            ASSERT_EQ(reader.Read(name), "");
            EXPECT_EQ(reader.Finish(), "");
            ASSERT_EQ(reader.Read(name), "");
            ASSERT_EQ(truncate(name.c_str(), cut ? 10 : 0), 0);
            std::ofstream(name, std::ios::binary | std::ios::app)
                << std::string(cut ? 0 : size, 'b');
            EXPECT_EQ(Sha1HexDigest(reader.Content()).size(), 40u);
            EXPECT_EQ(reader.Finish(), kChangedWhileRead) << size << (cut ? " cut" : "");
        }
    }
}

// The file size is read in full 64 bits: 4 GiB + 10 bytes must not load as 10 bytes.
TEST(RegularFileReaderSlow, FilesPastFourGibibytesAreReadWhole) {
    TempFolder folder;
    std::filesystem::resize_file(folder.Write("sparse", ""), (uint64_t{1} << 32) + 10);
    RegularFileReader reader;
    ASSERT_EQ(reader.Read(folder.Path("sparse")), "");
    EXPECT_EQ(reader.Content().size(), (size_t{1} << 32) + 10);
    EXPECT_EQ(reader.Finish(), "");
}
