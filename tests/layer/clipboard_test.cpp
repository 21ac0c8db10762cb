// Text put on the real clipboard, read back as another program reads it, also while another
// window holds the clipboard open for a moment. The program runs with UTF-8 as its code page,
// as vantrel.exe does.
#include "layer/clipboard.h"
#include "window_test_support.h"

#include <atomic>
#include <string>
#include <thread>

namespace {

// Another window of another thread holds the clipboard open for a while.
class ClipboardHolder {
  public:
    explicit ClipboardHolder(DWORD milliseconds)
        : thread_([this, milliseconds] {
              HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                            nullptr, nullptr);
              opened_ = OpenClipboard(window) != 0;
              held_ = true;
              Sleep(milliseconds);
              CloseClipboard();
              DestroyWindow(window);
          }) {
        while (!held_)
            Sleep(1);
        EXPECT_TRUE(opened_);
    }
    ~ClipboardHolder() { thread_.join(); }

  private:
    std::atomic<bool> held_{false}, opened_{false};
    std::thread thread_;
};

TEST(CopyTextToClipboard, PlacesTheBytesAndTheirCharactersOnceTheClipboardIsFree) {
    const std::string lines = "3A4B   東京 ñ.torrent\r\nNot a Torrent File   Привет Ελλά 😀.txt\r\n";
    const struct {
        std::string text;
        DWORD heldMs;
        bool placed;
        std::optional<std::string> content;
    } cases[] = {
        {lines, 0, true, lines},
        {"", 0, true, std::nullopt},
        {"while held", 200, true, "while held"},
        {"held too long", 3000, false, "while held"},
    };
    for (const auto& c : cases) {
        bool placed = false;
        {
            ClipboardHolder holder(c.heldMs);
            placed = CopyTextToClipboard(c.text);
        }
        EXPECT_EQ(placed, c.placed) << c.text;
        EXPECT_EQ(ClipboardContent<char>(CF_TEXT), c.content) << c.text;
    }
    ASSERT_TRUE(CopyTextToClipboard(lines));
    EXPECT_EQ(ClipboardContent<wchar_t>(CF_UNICODETEXT),
              L"3A4B   東京 ñ.torrent\r\nNot a Torrent File   Привет Ελλά 😀.txt\r\n");
}

} // namespace
