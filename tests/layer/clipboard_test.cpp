// Text put on the real clipboard, read back as another program reads it. The program runs with
// UTF-8 as its code page, as vantrel.exe does.
#include "layer/clipboard.h"
#include "window_test_support.h"

#include <string>

TEST(CopyTextToClipboard, PlacesTheBytesAndTheirCharacters) {
    const std::string lines = "3A4B   東京 ñ.torrent\r\nNot a Torrent File   Привет Ελλά 😀.txt\r\n";
    ASSERT_TRUE(CopyTextToClipboard(lines));
    EXPECT_EQ(ClipboardContent<char>(CF_TEXT), lines);
    EXPECT_EQ(ClipboardContent<wchar_t>(CF_UNICODETEXT),
              L"3A4B   東京 ñ.torrent\r\nNot a Torrent File   Привет Ελλά 😀.txt\r\n");
}
