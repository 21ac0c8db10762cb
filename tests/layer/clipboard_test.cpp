// Text put on the real clipboard, read back as another program reads it. The program runs with
// UTF-8 as its code page, as vantrel.exe does.
#include "layer/clipboard.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <windows.h>

namespace {

// The content in the format up to its terminating NUL, which must lie within the block;
// nothing when the clipboard holds no such content.
template <typename Char> std::optional<std::basic_string<Char>> ClipboardContent(UINT format) {
    std::optional<std::basic_string<Char>> content;
    EXPECT_TRUE(OpenClipboard(nullptr));
    if (HANDLE data = GetClipboardData(format)) {
        const auto* characters = static_cast<const Char*>(GlobalLock(data));
        const std::basic_string_view<Char> block(characters, GlobalSize(data) / sizeof(Char));
        EXPECT_NE(block.find(Char{0}), block.npos) << "no terminating NUL";
        content = std::basic_string<Char>(block.substr(0, block.find(Char{0})));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return content;
}

} // namespace

TEST(CopyTextToClipboard, PlacesTheBytesAndTheirCharacters) {
    const std::string lines = "3A4B   東京 ñ.torrent\r\nNot a Torrent File   Привет Ελλά 😀.txt\r\n";
    ASSERT_TRUE(CopyTextToClipboard(lines));
    EXPECT_EQ(ClipboardContent<char>(CF_TEXT), lines);
    EXPECT_EQ(ClipboardContent<wchar_t>(CF_UNICODETEXT),
              L"3A4B   東京 ñ.torrent\r\nNot a Torrent File   Привет Ελλά 😀.txt\r\n");
}
