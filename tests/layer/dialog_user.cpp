#include "dialog_user.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <dlgs.h>
#include <vector>

namespace {

std::string ClassOf(HWND window) {
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

BOOL CALLBACK Collect(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

// The visible dialog windows of the thread.
std::vector<HWND> DialogsOf(DWORD thread) {
    std::vector<HWND> windows;
    EnumThreadWindows(thread, Collect, reinterpret_cast<LPARAM>(&windows));
    std::erase_if(windows, [](HWND w) { return ClassOf(w) != "#32770" || !IsWindowVisible(w); });
    return windows;
}

} // namespace

DialogUser::DialogUser(std::function<void(DialogUser&)> script)
    : testThread_(GetCurrentThreadId()) {
    thread_ = std::thread([this, script = std::move(script)] {
        script(*this);
        // A dialog the script left open is cancelled until the modal call returns: at once
        // after a failure, otherwise once a busy machine has had ample time to close it.
        const ULONGLONG cancelAt =
            GetTickCount64() + (testing::Test::HasFailure() ? 0 : kPatienceMs);
        while (!WaitFor([this] { return testDone_.load(); }, 100))
            for (HWND dialog :
                 GetTickCount64() > cancelAt ? DialogsOf(testThread_) : std::vector<HWND>())
                PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
}

DialogUser::~DialogUser() {
    testDone_ = true;
    thread_.join();
}

HWND DialogUser::WaitForDialog(HWND besides) {
    HWND found = nullptr;
    WaitFor([&] {
        std::vector<HWND> dialogs = DialogsOf(testThread_);
        std::erase(dialogs, besides);
        return (found = dialogs.empty() ? nullptr : dialogs.back()) != nullptr;
    });
    EXPECT_NE(found, nullptr) << "no dialog came up";
    return found;
}

HWND DialogUser::FileNameField(HWND dialog) {
    // The explorer-style dialogs' name field: the edit inside a combo box.
    std::vector<HWND> children;
    EnumChildWindows(GetDlgItem(dialog, cmb13), Collect, reinterpret_cast<LPARAM>(&children));
    auto edit = std::ranges::find_if(children, [](HWND c) { return ClassOf(c) == "Edit"; });
    return edit == children.end() ? nullptr : *edit;
}

bool DialogUser::Enter(HWND field, const std::string& text) {
    // Set until it stays: the dialog's own setting up of the field may still empty it.
    const bool entered = WaitFor([&] {
        if (WindowTextOf(field) != text)
            SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        return WindowTextOf(field) == text;
    });
    EXPECT_TRUE(entered) << "the field holds " << WindowTextOf(field).size() << " characters";
    return entered;
}

void DialogUser::Press(HWND dialog, int buttonId) {
    PostMessageA(GetDlgItem(dialog, buttonId), BM_CLICK, 0, 0);
}

bool DialogUser::WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG giveUpAt = GetTickCount64() + timeoutMs;
    while (!condition() && GetTickCount64() < giveUpAt)
        Sleep(20);
    return condition();
}

std::string WindowTextOf(HWND window) {
    std::string text(static_cast<size_t>(GetWindowTextLengthA(window)) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(window, text.data(), int(text.size()))));
    return text;
}

std::string MessageTextOf(HWND messageBox) {
    std::string texts;
    for (HWND child = GetWindow(messageBox, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (ClassOf(child) == "Static" && !WindowTextOf(child).empty())
            texts += (texts.empty() ? "" : "\n") + WindowTextOf(child);
    return texts;
}
