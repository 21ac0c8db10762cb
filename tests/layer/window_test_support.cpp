#include "window_test_support.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <dlgs.h>
#include <fstream>
#include <vector>

namespace {

bool quitSeen = false;

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

bool QuitSeen() {
    return quitSeen;
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG giveUpAt = GetTickCount64() + timeoutMs;
    for (MSG message{}; !done(); message = MSG{}) {
        if (GetTickCount64() > giveUpAt)
            return false;
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) == 0)
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        else if (message.message == WM_QUIT)
            quitSeen = true;
        else if (TranslateMessage(&message) >= 0)
            DispatchMessageA(&message); // keys become characters, as in a program's loop
    }
    return true;
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG giveUpAt = GetTickCount64() + timeoutMs;
    while (!condition() && GetTickCount64() < giveUpAt)
        Sleep(20);
    return condition();
}

void ClickCenterOf(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    for (DWORD flags :
         {DWORD{MOUSEEVENTF_MOVE}, DWORD{MOUSEEVENTF_LEFTDOWN}, DWORD{MOUSEEVENTF_LEFTUP}}) {
        INPUT input{};
        input.type = INPUT_MOUSE;
        // Absolute coordinates run from 0 to 65535 over the primary screen.
        input.mi.dx = MulDiv((r.left + r.right) / 2, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
        input.mi.dy = MulDiv((r.top + r.bottom) / 2, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
        input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
        SendInput(1, &input, sizeof(INPUT));
    }
}

// DROPFILES, then the names, each NUL-terminated, then one more NUL; the window owns the block.
void PostDrop(HWND window, const std::vector<std::string>& names, POINT point) {
    std::string text;
    for (const auto& name : names)
        text += name + '\0';
    HGLOBAL block = GlobalAlloc(GHND, sizeof(DROPFILES) + text.size() + 1);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(block));
    drop->pFiles = sizeof(DROPFILES);
    drop->pt = point;
    std::memcpy(drop + 1, text.data(), text.size());
    GlobalUnlock(block);
    PostMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0);
}

DialogUser::DialogUser(std::function<void(DialogUser&)> script)
    : testThread_(GetCurrentThreadId()) {
    thread_ = std::thread([this, script = std::move(script)] {
        script(*this);
        const ULONGLONG cancelAt = GetTickCount64() + (testing::Test::HasFailure() ? 0 : 120000);
        while (!WaitFor([this] { return testDone_.load(); }, 100))
            for (HWND dialog :
                 GetTickCount64() > cancelAt ? DialogsOf(testThread_) : std::vector<HWND>())
                PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
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

// Sent as wide messages, the whole text crosses over from another process too, in any script.
std::string WindowTextOf(HWND window) {
    DWORD_PTR length = 0;
    SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length);
    std::wstring text(length + 1, L'\0');
    SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, 5000, &length);
    const std::u8string utf8 = std::filesystem::path(text.substr(0, length)).u8string();
    return std::string(utf8.begin(), utf8.end());
}

std::string MessageTextOf(HWND messageBox) {
    std::string texts;
    for (HWND child = GetWindow(messageBox, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (ClassOf(child) == "Static" && !WindowTextOf(child).empty())
            texts += (texts.empty() ? "" : "\n") + WindowTextOf(child);
    return texts;
}

void TempTree::Make(std::initializer_list<std::string_view> names) const {
    for (std::string_view name : names) {
        const std::string path = Path(std::string(name));
        if (name.ends_with('\\'))
            ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr)) << path;
        else
            ASSERT_TRUE(std::ofstream(path).good()) << path;
    }
}
