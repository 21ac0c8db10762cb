#pragma once
// Helpers for tests that build real windows through the layer and drive them with real input
// and real messages. Every wait has a bound that a busy machine meets.
#include "layer/control.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <windows.h>

// Dispatches queued messages until done() holds; false when it did not within the timeout.
// A WM_QUIT taken here is remembered in QuitSeen() rather than acted on.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 20000);
bool QuitSeen();
// Dispatches queued messages for a while.
void PumpFor(DWORD milliseconds);

// A real mouse click through the platform, at a point on the screen.
void ClickAt(POINT screen, DWORD downFlag = MOUSEEVENTF_LEFTDOWN,
             DWORD upFlag = MOUSEEVENTF_LEFTUP);
POINT ScreenCenterOf(HWND window);

// Posts a real WM_DROPFILES to window, with a drop block made the way the shell makes one.
void PostDrop(HWND window, const std::vector<std::string>& names, POINT point);

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

// The layer keeps process-wide state; every window test starts from a clean queue, no
// application window and a running application.
class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Releases a form made by the test, unless the test released it itself.
    void ReleaseForm(Control*& form);
};
