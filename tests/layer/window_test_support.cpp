#include "window_test_support.h"

#include "layer/dispatch.h"

#include <shlobj.h>

#include <cstring>

namespace {
bool quitSeen = false;
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

void PumpFor(DWORD milliseconds) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    PumpUntil([&] { return GetTickCount64() >= end; }, milliseconds + 1000);
}

void ClickAt(POINT screen, DWORD downFlag, DWORD upFlag) {
    for (DWORD flags : {DWORD{MOUSEEVENTF_MOVE}, downFlag, upFlag}) {
        INPUT input{};
        input.type = INPUT_MOUSE;
        // Absolute coordinates run from 0 to 65535 over the primary screen.
        input.mi.dx = MulDiv(screen.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
        input.mi.dy = MulDiv(screen.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
        input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
        SendInput(1, &input, sizeof(INPUT));
    }
}

POINT ScreenCenterOf(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

void WindowTest::SetUp() {
    ApplicationTerminated = false;
    ApplicationWindow = nullptr;
    PumpFor(0);
}

void WindowTest::TearDown() {
    SetUp();
}

void WindowTest::ReleaseForm(Control*& form) {
    Release(form);
    form = nullptr;
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
