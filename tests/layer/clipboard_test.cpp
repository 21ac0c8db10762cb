// Text put on the real clipboard, read back as another program would read it.
#include "layer/clipboard.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <thread>
#include <windows.h>

namespace {

// The CF_TEXT content, or nothing when the clipboard holds no text.
std::optional<std::string> ClipboardText() {
    if (!OpenClipboard(nullptr))
        return std::string("<clipboard busy>");
    std::optional<std::string> text;
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const char* bytes = static_cast<const char*>(GlobalLock(data))) {
            text = std::string(bytes);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

// Keeps the clipboard open for a window of its own thread, as another program would, until
// released.
class ClipboardHolder {
  public:
    ClipboardHolder() {
        holder_ = std::thread([this] {
            HWND window = CreateWindowExA(0, "STATIC", "holder", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                          nullptr, GetModuleHandleA(nullptr), nullptr);
            opened_ = window != nullptr && OpenClipboard(window) != 0;
            ready_ = true;
            while (!release_)
                Sleep(5);
            if (opened_)
                CloseClipboard();
            DestroyWindow(window);
        });
        while (!ready_)
            Sleep(1);
    }
    ~ClipboardHolder() { Release(); }
    bool Opened() const { return opened_; }
    void Release() {
        release_ = true;
        if (holder_.joinable())
            holder_.join();
    }

  private:
    std::atomic<bool> opened_{false}, ready_{false}, release_{false};
    std::thread holder_;
};

} // namespace

TEST(CopyTextToClipboard, PlacesTheExactBytes) {
    const std::string lines = "3A4B   one.torrent\r\nNot a Torrent File   two.txt\r\n";
    ASSERT_TRUE(CopyTextToClipboard(lines));
    EXPECT_EQ(ClipboardText(), lines);

    ASSERT_TRUE(CopyTextToClipboard("second"));
    EXPECT_EQ(ClipboardText(), "second");
}

TEST(CopyTextToClipboard, EmptyTextEmptiesTheClipboard) {
    ASSERT_TRUE(CopyTextToClipboard("something"));
    ASSERT_TRUE(CopyTextToClipboard(""));
    EXPECT_EQ(ClipboardText(), std::nullopt);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_EQ(CountClipboardFormats(), 0);
    CloseClipboard();
}

TEST(CopyTextToClipboard, WaitsForAClipboardHeldBriefly) {
    ClipboardHolder holder;
    ASSERT_TRUE(holder.Opened());
    std::thread releaser([&holder] {
        Sleep(150);
        holder.Release();
    });
    const bool copied = CopyTextToClipboard("after the wait");
    releaser.join();
    EXPECT_TRUE(copied);
    EXPECT_EQ(ClipboardText(), "after the wait");
}

TEST(CopyTextToClipboard, GivesUpOnAClipboardThatStaysHeld) {
    ASSERT_TRUE(CopyTextToClipboard("kept"));
    ClipboardHolder holder;
    ASSERT_TRUE(holder.Opened());
    EXPECT_FALSE(CopyTextToClipboard("refused"));
    holder.Release();
    EXPECT_EQ(ClipboardText(), "kept");
}
