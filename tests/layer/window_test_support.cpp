#include "window_test_support.h"

#include "layer/dispatch.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstring>

namespace {

void SendMouseInput(POINT screen, DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    // Absolute coordinates run from 0 to 65535 over the primary screen.
    input.mi.dx = MulDiv(screen.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(screen.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof(INPUT));
}

} // namespace

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG giveUpAt = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() > giveUpAt)
            return false;
        MSG message{};
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) == 0)
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        else if (message.message != WM_QUIT && TranslateMessage(&message) >= 0)
            DispatchMessageA(&message); // keys become characters, as in a program's loop
    }
    return true;
}

void PumpFor(DWORD milliseconds) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    PumpUntil([&] { return GetTickCount64() >= end; }, milliseconds + 1000);
}

void ClickAt(POINT screen, DWORD downFlag, DWORD upFlag) {
    SendMouseInput(screen, MOUSEEVENTF_MOVE);
    SendMouseInput(screen, downFlag);
    SendMouseInput(screen, upFlag);
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
    ApplicationTerminated = false;
    ApplicationWindow = nullptr;
}

void WindowTest::ReleaseForm(Control*& form) {
    Release(form);
    form = nullptr;
}

// DROPFILES, then the names, each NUL-terminated, then one more NUL; the window owns the block.
void PostDrop(HWND window, const std::vector<std::string>& names, POINT point) {
    size_t size = sizeof(DROPFILES) + 1;
    for (const auto& name : names)
        size += name.size() + 1;
    HGLOBAL block = GlobalAlloc(GHND, size);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(block));
    drop->pFiles = sizeof(DROPFILES);
    drop->pt = point;
    char* text = reinterpret_cast<char*>(drop) + sizeof(DROPFILES);
    for (const auto& name : names)
        text =
            static_cast<char*>(std::memcpy(text, name.c_str(), name.size() + 1)) + name.size() + 1;
    GlobalUnlock(block);
    PostMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0);
}
