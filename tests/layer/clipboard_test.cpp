// Text put on the real clipboard, read back as another program reads it, also while another
// window holds the clipboard open for a moment. The program runs with UTF-8 as its code page,
// as vantrel.exe does.
#include "layer/clipboard.h"
#include "window_test_support.h"

#include <atomic>
#include <string>
#include <thread>

namespace {

// Copies the text while another window, of another thread, holds the clipboard open a while.
bool CopyWhileHeld(const std::string& text, DWORD heldMs) {
    std::atomic<bool> held{false};
    std::thread holder([&] {
        HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      nullptr, nullptr);
        EXPECT_TRUE(OpenClipboard(window));
        held = true;
        Sleep(heldMs);
        CloseClipboard();
        DestroyWindow(window);
    });
    while (!held)
        Sleep(1);
    const bool placed = CopyTextToClipboard(text);
    holder.join();
    return placed;
}

TEST(CopyTextToClipboard, PlacesTheBytesAndTheirCharactersOnceTheClipboardIsFree) {
    const std::string lines = "3A4B   東京 ñ.torrent\r\nNot a Torrent File   Привет Ελλά 😀.txt\r\n";
    const std::tuple<std::string, DWORD, bool, std::optional<std::string>> cases[] = {
        {"while held", 100, true, "while held"},
        {"held too long", 1500, false, "while held"},
        {"", 0, true, std::nullopt},
        {lines, 0, true, lines},
    };
    for (const auto& [text, heldMs, placed, content] : cases) {
        EXPECT_EQ(CopyWhileHeld(text, heldMs), placed) << text;
        EXPECT_EQ(ClipboardContent<char>(CF_TEXT), content) << text;
    }
    EXPECT_EQ(ClipboardContent<wchar_t>(CF_UNICODETEXT),
              L"3A4B   東京 ñ.torrent\r\nNot a Torrent File   Привет Ελλά 😀.txt\r\n");
}

} // namespace
