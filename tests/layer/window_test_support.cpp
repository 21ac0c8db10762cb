#include "window_test_support.h"

#include "layer/dispatch.h"
#include "layer/layer_object.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstring>

namespace {

bool quitSeen = false;

HHOOK creationHook = nullptr;
std::vector<CreationLog::Entry> creationEntries;

LRESULT CALLBACK RecordCreation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        const auto* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam);
        creationEntries.push_back(
            {ClassNameOf(reinterpret_cast<HWND>(wParam)), static_cast<DWORD>(create->lpcs->style)});
    }
    return CallNextHookEx(creationHook, code, wParam, lParam);
}

void SendKeyInput(WORD virtualKey, DWORD flags) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = flags;
    SendInput(1, &input, sizeof(INPUT));
}

void SendMouseInput(LONG x, LONG y, DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    // Absolute coordinates run from 0 to 65535 over the primary screen.
    input.mi.dx = MulDiv(x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof(INPUT));
}

} // namespace

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) {
            return false;
        }
        MSG message{};
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) != 0) {
            if (message.message == WM_QUIT) {
                quitSeen = true;
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }
    return true;
}

void PumpFor(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    PumpUntil([&] { return GetTickCount() - start >= milliseconds; }, milliseconds + 1000);
}

bool QuitSeen() {
    return quitSeen;
}

void PressKey(WORD virtualKey) {
    SendKeyInput(virtualKey, 0);
}
void ReleaseKey(WORD virtualKey) {
    SendKeyInput(virtualKey, KEYEVENTF_KEYUP);
}
void TapKey(WORD virtualKey) {
    PressKey(virtualKey);
    ReleaseKey(virtualKey);
}

void ClickAt(POINT screen, DWORD downFlag, DWORD upFlag) {
    SendMouseInput(screen.x, screen.y, MOUSEEVENTF_MOVE);
    SendMouseInput(screen.x, screen.y, downFlag);
    SendMouseInput(screen.x, screen.y, upFlag);
}

POINT ScreenCenterOf(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

bool FocusWindow(HWND form, HWND window) {
    SetForegroundWindow(form);
    SetActiveWindow(form);
    SetFocus(window);
    return PumpUntil([&] { return GetFocus() == window && GetForegroundWindow() == form; });
}

std::string ClassNameOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

void WindowTest::SetUp() {
    ApplicationTerminated = false;
    ApplicationWindow = nullptr;
    quitSeen = false;
    PumpFor(0);
    quitSeen = false;
}

void WindowTest::TearDown() {
    ApplicationTerminated = false;
    ApplicationWindow = nullptr;
}

void WindowTest::ReleaseForm(Control*& form) {
    Release(form);
    form = nullptr;
}

CreationLog::CreationLog() {
    creationEntries.clear();
    creationHook = SetWindowsHookExA(WH_CBT, RecordCreation, nullptr, GetCurrentThreadId());
}

CreationLog::~CreationLog() {
    UnhookWindowsHookEx(creationHook);
}

const std::vector<CreationLog::Entry>& CreationLog::Entries() const {
    return creationEntries;
}

// A drop block as the shell hands it over: DROPFILES, then the names, each NUL-terminated,
// then one more NUL. Posted to the window, which owns it from then on.
void PostDrop(HWND window, const std::vector<std::string>& names, POINT point) {
    size_t size = sizeof(DROPFILES) + 1;
    for (const auto& name : names) {
        size += name.size() + 1;
    }
    HGLOBAL block = GlobalAlloc(GHND, size);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(block));
    drop->pFiles = sizeof(DROPFILES);
    drop->pt = point;
    drop->fNC = FALSE;
    drop->fWide = FALSE;
    char* text = reinterpret_cast<char*>(drop) + sizeof(DROPFILES);
    for (const auto& name : names) {
        std::memcpy(text, name.c_str(), name.size() + 1);
        text += name.size() + 1;
    }
    GlobalUnlock(block);
    PostMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0);
}
