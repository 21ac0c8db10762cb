#include "dialog_user.h"

#include <gtest/gtest.h>

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
    std::vector<HWND> windows, dialogs;
    EnumThreadWindows(thread, Collect, reinterpret_cast<LPARAM>(&windows));
    for (HWND window : windows)
        if (ClassOf(window) == "#32770" && IsWindowVisible(window))
            dialogs.push_back(window);
    return dialogs;
}

} // namespace

DialogUser::DialogUser(Script script) : testThread_(GetCurrentThreadId()) {
    thread_ = std::thread([this, script = std::move(script)] {
        script(*this);
        // What the script left open is cancelled after a grace, until the modal call returns.
        const ULONGLONG graceEnds = GetTickCount64() + 3000;
        while (!WaitFor([this] { return testDone_.load(); }, 100))
            for (HWND dialog :
                 GetTickCount64() > graceEnds ? DialogsOf(testThread_) : std::vector<HWND>())
                PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
}

DialogUser::~DialogUser() {
    testDone_ = true;
    thread_.join();
}

HWND DialogUser::WaitForDialog(HWND owner) {
    HWND found = nullptr;
    WaitFor([&] {
        for (HWND dialog : DialogsOf(testThread_))
            if (owner == nullptr || GetWindow(dialog, GW_OWNER) == owner)
                found = dialog;
        return found != nullptr;
    });
    EXPECT_NE(found, nullptr) << "no dialog came up";
    return found;
}

HWND DialogUser::FileNameField(HWND dialog) {
    // The explorer-style dialogs' name field: the edit inside a combo box.
    std::vector<HWND> children;
    EnumChildWindows(GetDlgItem(dialog, cmb13), Collect, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children)
        if (ClassOf(child) == "Edit")
            return child;
    ADD_FAILURE() << "no file-name field";
    return nullptr;
}

bool DialogUser::Enter(HWND field, const std::string& text) {
    SendMessageA(field, EM_SETSEL, 0, -1);
    const bool paste = text.size() > 200;
    for (char c : paste ? std::string() : text)
        PostMessageA(field, WM_CHAR, static_cast<unsigned char>(c), 1);
    // A paste, unlike typing, does not queue behind the dialog's own setting up of the field,
    // which may still empty it: it is repeated until it stays.
    const bool entered = WaitFor([&] {
        if (paste && WindowTextOf(field) != text)
            SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        return WindowTextOf(field) == text;
    });
    EXPECT_TRUE(entered) << "the field holds " << WindowTextOf(field).size() << " characters";
    return entered;
}

void DialogUser::Press(HWND dialog, int buttonId) {
    HWND button = GetDlgItem(dialog, buttonId);
    EXPECT_NE(button, nullptr) << "no button " << buttonId;
    PostMessageA(button, BM_CLICK, 0, 0);
}

bool DialogUser::WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG giveUpAt = GetTickCount64() + timeoutMs;
    while (!condition())
        if (GetTickCount64() >= giveUpAt)
            return false;
        else
            Sleep(20);
    return true;
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
