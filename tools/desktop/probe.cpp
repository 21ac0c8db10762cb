// vantrel_probe: looks at the running program from outside, as another process on the same
// desktop, for the Desktop driver (desktop.py) and tools/run.sh.
//
//   vantrel_probe windows [items]          the visible top-level windows with their children as
//                                          JSON; with "items", every list box entry's text too
//   vantrel_probe clip-read [unicode]      the clipboard's CF_TEXT (or CF_UNICODETEXT), exact
//                                          bytes up to its terminating NUL
//
// Texts are read with the wide calls and written as UTF-8: across processes the ANSI list box
// message returns only the first character of an entry.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

bool ReadItems = false;
// Room for the longest text asked for: a path of the platform's greatest length.
constexpr size_t kTextRoom = 32768;

std::string Json(const std::wstring& text) {
    std::string utf8(text.size() * 4, '\0');
    utf8.resize(static_cast<size_t>(
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(),
                            static_cast<int>(utf8.size()), nullptr, nullptr)));
    std::string out = "\"";
    for (const char c : utf8) {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned char>(c));
        out += c == '"' || c == '\\'                  ? std::string("\\") + c
               : static_cast<unsigned char>(c) < 0x20 ? std::string(escape)
                                                      : std::string(1, c);
    }
    return out + "\"";
}

// Asks another process, which may be busy hashing: bounded, never a hang. The text asked for
// ends at its first NUL (a length reported by the ANSI side counts UTF-8 bytes).
std::wstring AskText(HWND window, UINT message, WPARAM index, bool& ok) {
    std::wstring text(kTextRoom, L'\0');
    DWORD_PTR result = 0;
    ok = SendMessageTimeoutW(window, message, index, reinterpret_cast<LPARAM>(text.data()),
                             SMTO_NORMAL, 5000, &result) != 0;
    text.resize(wcsnlen(text.data(), text.size()));
    return text;
}

std::string ListBoxJson(HWND list) {
    DWORD_PTR count = 0;
    if (SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_NORMAL, 5000, &count) == 0)
        return ",\"busy\":true";
    std::string items;
    bool ok = true;
    for (WPARAM i = 0; ReadItems && ok && i < count; ++i)
        items += (i != 0 ? "," : "") + Json(AskText(list, LB_GETTEXT, i, ok));
    if (!ok)
        return ",\"busy\":true";
    return ",\"count\":" + std::to_string(count) + (ReadItems ? ",\"items\":[" + items + "]" : "");
}

BOOL CALLBACK Collect(HWND window, LPARAM collected) {
    reinterpret_cast<std::vector<HWND>*>(collected)->push_back(window);
    return TRUE;
}

std::string WindowJson(HWND window, bool topLevel) {
    RECT r{};
    GetWindowRect(window, &r);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    const std::string className = name;
    // An edit control keeps its text itself: asked, it answers what was typed.
    bool ok = false;
    std::wstring text(kTextRoom, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), kTextRoom)));
    if (className == "Edit")
        text = AskText(window, WM_GETTEXT, kTextRoom, ok);
    std::string json = "{\"hwnd\":" + std::to_string(reinterpret_cast<UINT_PTR>(window)) +
                       ",\"class\":\"" + className + "\",\"text\":" + Json(text) +
                       ",\"pid\":" + std::to_string(process) +
                       ",\"visible\":" + (IsWindowVisible(window) ? "true" : "false") +
                       ",\"enabled\":" + (IsWindowEnabled(window) ? "true" : "false") +
                       ",\"rect\":[" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
                       std::to_string(r.right) + "," + std::to_string(r.bottom) + "]";
    if (className.find("LISTBOX") != std::string::npos)
        json += ListBoxJson(window);
    std::vector<HWND> children;
    if (topLevel)
        EnumChildWindows(window, Collect, reinterpret_cast<LPARAM>(&children));
    for (size_t i = 0; i < children.size(); ++i)
        json += (i == 0 ? ",\"children\":[" : ",") + WindowJson(children[i], false);
    return json + (topLevel ? children.empty() ? ",\"children\":[]}" : "]}" : "}");
}

int ListWindows() {
    std::vector<HWND> windows;
    EnumWindows(Collect, reinterpret_cast<LPARAM>(&windows));
    std::string json = "{\"windows\":[";
    for (HWND window : windows)
        if (IsWindowVisible(window))
            json += (json.back() == '[' ? "" : ",") + WindowJson(window, true);
    std::fputs((json + "]}\n").c_str(), stdout);
    return 0;
}

int ReadClipboard(bool unicode) {
    for (int attempt = 0; !OpenClipboard(nullptr); ++attempt, Sleep(50))
        if (attempt == 200)
            return 4;
    const HANDLE data = GetClipboardData(unicode ? CF_UNICODETEXT : CF_TEXT);
    const auto* text = data != nullptr ? static_cast<const char*>(GlobalLock(data)) : nullptr;
    const size_t size = text != nullptr ? GlobalSize(data) : 0;
    // Up to the terminating NUL: one byte, or one 16-bit unit for CF_UNICODETEXT.
    const size_t length = text == nullptr ? 0
                          : unicode ? 2 * wcsnlen(reinterpret_cast<const wchar_t*>(text), size / 2)
                                    : strnlen(text, size);
    _setmode(_fileno(stdout), _O_BINARY); // the bytes as they are: no CR added before LF
    const bool written = text != nullptr && std::fwrite(text, 1, length, stdout) == length;
    GlobalUnlock(data);
    CloseClipboard();
    return written && std::fflush(stdout) == 0 ? 0 : 3;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    ReadItems = argc > 2 && std::string(argv[2]) == "items";
    if (command == "windows")
        return ListWindows();
    if (command == "clip-read")
        return ReadClipboard(argc > 2 && std::string(argv[2]) == "unicode");
    std::fputs("usage: vantrel_probe windows [items] | clip-read [unicode]\n", stderr);
    return 2;
}
