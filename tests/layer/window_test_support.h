#pragma once
// Helpers for tests that build real windows through the layer and drive them with real input,
// real messages and real folder trees. Every wait has a bound that a busy machine meets.
#include "../core/temp_folder.h"
#include "layer/control.h"
#include "layer/dispatch.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>

// Dispatches queued messages until done() holds; false when it did not within the timeout.
// A WM_QUIT taken here is remembered in QuitSeen() rather than acted on.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 20000);
bool QuitSeen();
// Waits, without dispatching, until the condition holds; whether it does.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = 120000);

// A real mouse click through the platform at the centre of a window.
void ClickCenterOf(HWND window);
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
    void SetUp() override {
        ApplicationTerminated = false;
        ApplicationWindow = nullptr;
    }
    void TearDown() override { WindowTest::SetUp(); }
    // Releases a form made by the test, unless the test released it itself.
    void ReleaseForm(Control*& form) { Release(std::exchange(form, nullptr)); }
};

// A second thread that plays the user of the modal dialogs the test thread opens: it waits for
// a dialog to come up, types into it and presses its buttons through the dialog's own controls.
// Once the script is over, any dialog still open on the test thread is cancelled (at once after
// a failure, else after a generous bound), so a test never hangs on a modal call.
class DialogUser {
  public:
    // Starts the script; the test thread then makes its modal call.
    explicit DialogUser(std::function<void(DialogUser&)> script);
    // Called once the modal call has returned: waits for the script to end.
    ~DialogUser() {
        testDone_ = true;
        thread_.join();
    }

    // A visible dialog window ("#32770") of the test thread, other than `besides`.
    HWND WaitForDialog(HWND besides = nullptr);
    // The file dialogs' file-name field.
    HWND FileNameField(HWND dialog);
    // Replaces the field's content with the text, as pasting it would.
    bool Enter(HWND field, const std::string& text);
    void Press(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

  private:
    DWORD testThread_;
    std::atomic<bool> testDone_{false};
    std::thread thread_;
};

std::string WindowTextOf(HWND window);
// The texts of a message box's static controls, joined by newlines.
std::string MessageTextOf(HWND messageBox);

// A real folder tree in the temporary folder for one test, removed again at the end.
class TempTree : public TempFolder {
  public:
    // The tree's folder, without a trailing backslash.
    std::string Root() const { return std::filesystem::path(Path("x")).parent_path().string(); }
    // Makes the folders, then the files (names of folders end in a backslash).
    void Make(std::initializer_list<std::string_view> names) const;
};
