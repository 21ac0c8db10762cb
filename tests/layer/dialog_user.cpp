#include "dialog_user.h"

#include <gtest/gtest.h>

#include <dlgs.h>
#include <vector>

namespace {

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> TopLevelWindowsOf(DWORD thread) {
    std::vector<HWND> windows;
    EnumThreadWindows(thread, CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

BOOL CALLBACK FindEditWindow(HWND child, LPARAM found) {
    char name[16] = {};
    GetClassNameA(child, name, sizeof name);
    if (std::string(name) != "Edit")
        return TRUE;
    *reinterpret_cast<HWND*>(found) = child;
    return FALSE;
}

bool IsDialogWindow(HWND window) {
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    return std::string(name) == "#32770" && IsWindowVisible(window);
}

} // namespace

DialogUser::DialogUser(Script script) : testThread_(GetCurrentThreadId()) {
    thread_ = std::thread([this, script = std::move(script)] {
        script(*this);
        // Whatever the script left open is cancelled, until the test thread's call returns.
        const ULONGLONG graceEnds = GetTickCount64() + 3000;
        while (!WaitFor([this] { return testDone_.load(); }, 100))
            if (GetTickCount64() > graceEnds)
                CancelOpenDialogs();
    });
}

DialogUser::~DialogUser() {
    testDone_ = true;
    thread_.join();
}

HWND DialogUser::WaitForDialog(HWND owner, HWND other, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitFor(
        [&] {
            for (HWND window : TopLevelWindowsOf(testThread_))
                if (window != other && IsDialogWindow(window) &&
                    (owner == nullptr || GetWindow(window, GW_OWNER) == owner))
                    found = window;
            return found != nullptr;
        },
        timeoutMs);
    EXPECT_NE(found, nullptr) << "no dialog came up";
    return found;
}

HWND DialogUser::FileNameField(HWND dialog) {
    // A plain edit in older dialogs; in explorer-style ones the edit inside a combo box.
    HWND field = GetDlgItem(dialog, edt1);
    if (field == nullptr && GetDlgItem(dialog, cmb13) != nullptr)
        EnumChildWindows(GetDlgItem(dialog, cmb13), FindEditWindow,
                         reinterpret_cast<LPARAM>(&field));
    EXPECT_NE(field, nullptr) << "no file-name field";
    return field;
}

bool DialogUser::Type(HWND field, const std::string& text) {
    SendMessageA(field, EM_SETSEL, 0, -1);
    for (char c : text)
        PostMessageA(field, WM_CHAR, static_cast<unsigned char>(c), 1);
    const bool typed = WaitFor([&] { return WindowTextOf(field) == text; });
    EXPECT_TRUE(typed) << "the field shows \"" << WindowTextOf(field) << "\"";
    return typed;
}

void DialogUser::Press(HWND dialog, int buttonId) {
    HWND button = GetDlgItem(dialog, buttonId);
    EXPECT_NE(button, nullptr) << "no button " << buttonId;
    PostMessageA(button, BM_CLICK, 0, 0);
}

bool DialogUser::Paste(HWND field, const std::string& text) {
    SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    const bool pasted = WindowTextOf(field) == text;
    EXPECT_TRUE(pasted) << "the field holds " << WindowTextOf(field).size() << " characters";
    return pasted;
}

bool DialogUser::WaitUntilClosed(HWND window, DWORD timeoutMs) {
    return WaitFor([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeoutMs);
}

bool DialogUser::WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG giveUpAt = GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (GetTickCount64() >= giveUpAt)
            return false;
        Sleep(20);
    }
    return true;
}

void DialogUser::CancelOpenDialogs() {
    for (HWND window : TopLevelWindowsOf(testThread_))
        if (IsDialogWindow(window))
            PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
}

std::string WindowTextOf(HWND window) {
    std::string text(static_cast<size_t>(GetWindowTextLengthA(window)) + 1, '\0');
    text.resize(
        static_cast<size_t>(GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::string MessageTextOf(HWND messageBox) {
    std::string texts;
    for (HWND child = GetWindow(messageBox, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        char name[16] = {};
        GetClassNameA(child, name, sizeof name);
        const std::string text = WindowTextOf(child);
        if (std::string(name) == "Static" && !text.empty())
            texts += (texts.empty() ? "" : "\n") + text;
    }
    return texts;
}
