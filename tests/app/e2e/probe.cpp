// vantrel_probe: looks at the running program from outside, as another process on the same
// desktop, for the end-to-end tests and tools/run.sh.
//
//   vantrel_probe hello                   prints "vantrel_probe": the probe runs here at all
//   vantrel_probe windows [items]         every top-level window with its children, as JSON; with
//                                         "items", the text of every list box entry too
//   vantrel_probe clip-read FILE [unicode]  the clipboard's CF_TEXT (or CF_UNICODETEXT), exact
//                                         bytes up to its terminating NUL, into FILE
//
// Texts are read with the wide calls and written as UTF-8: across processes the ANSI list box
// message returns only the first character of an entry.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned char>(c));
        out += c == '"' || c == '\\' ? std::string("\\") + c
               : static_cast<unsigned char>(c) < 0x20 ? std::string(escape)
                                                       : std::string(1, c);
    }
    return out + "\"";
}

std::string Rect(const RECT& r) {
    return "[" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
           std::to_string(r.right) + "," + std::to_string(r.bottom) + "]";
}

// A message to another process that may be busy hashing: bounded, never a hang.
LRESULT Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool& ok) {
    DWORD_PTR result = 0;
    ok = SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, 5000, &result) != 0;
    return static_cast<LRESULT>(result);
}

bool ReadItems = false;

std::string ListBoxJson(HWND list) {
    bool ok = false;
    const LRESULT count = Ask(list, LB_GETCOUNT, 0, 0, ok);
    if (!ok || count < 0)
        return ",\"busy\":true";
    std::string items;
    for (LRESULT i = 0; ReadItems && i < count; ++i) {
        const auto index = static_cast<WPARAM>(i);
        const LRESULT length = Ask(list, LB_GETTEXTLEN, index, 0, ok);
        std::wstring text(static_cast<size_t>(ok && length > 0 ? length : 0) + 1, L'\0');
        Ask(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()), ok);
        if (!ok || length < 0)
            return ",\"busy\":true";
        // The length reported may be the ANSI one, which counts UTF-8 bytes.
        text.resize(wcsnlen(text.data(), text.size()));
        items += (i != 0 ? "," : "") + Quoted(Utf8(text));
    }
    return ",\"count\":" + std::to_string(count) + (ReadItems ? ",\"items\":[" + items + "]" : "");
}

BOOL CALLBACK Collect(HWND window, LPARAM collected) {
    reinterpret_cast<std::vector<HWND>*>(collected)->push_back(window);
    return TRUE;
}

std::string WindowJson(HWND window, bool topLevel) {
    RECT outer{};
    GetWindowRect(window, &outer);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char className[256] = {};
    GetClassNameA(window, className, sizeof className);
    // An edit control keeps its text itself: asked for it, it answers what was typed.
    std::wstring text(1024, L'\0');
    bool ok = false;
    if (std::string(className) == "Edit")
        Ask(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), ok);
    else
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    text.resize(wcsnlen(text.data(), text.size()));
    std::string json = "{\"hwnd\":" + std::to_string(reinterpret_cast<UINT_PTR>(window)) +
                       ",\"class\":" + Quoted(className) + ",\"text\":" + Quoted(Utf8(text)) +
                       ",\"pid\":" + std::to_string(process) +
                       ",\"visible\":" + (IsWindowVisible(window) ? "true" : "false") +
                       ",\"enabled\":" + (IsWindowEnabled(window) ? "true" : "false") +
                       ",\"rect\":" + Rect(outer);
    if (std::string(className).find("LISTBOX") != std::string::npos)
        json += ListBoxJson(window);
    if (topLevel) {
        std::vector<HWND> children;
        EnumChildWindows(window, Collect, reinterpret_cast<LPARAM>(&children));
        json += ",\"children\":[";
        for (size_t i = 0; i < children.size(); ++i)
            json += (i != 0 ? "," : "") + WindowJson(children[i], false);
        json += "]";
    }
    return json + "}";
}

int ListWindows() {
    std::vector<HWND> windows;
    EnumWindows(Collect, reinterpret_cast<LPARAM>(&windows));
    std::string json = "{\"windows\":[";
    for (HWND window : windows) {
        if (IsWindowVisible(window))
            json += (json.back() == '[' ? "" : ",") + WindowJson(window, true);
    }
    json += "]}\n";
    std::fwrite(json.data(), 1, json.size(), stdout);
    return 0;
}

int ReadClipboard(const char* path, bool unicode) {
    for (int attempt = 0; !OpenClipboard(nullptr); ++attempt, Sleep(50))
        if (attempt == 200)
            return 4;
    const HANDLE data = GetClipboardData(unicode ? CF_UNICODETEXT : CF_TEXT);
    std::string bytes;
    if (const char* text = data != nullptr ? static_cast<const char*>(GlobalLock(data)) : nullptr) {
        const size_t size = GlobalSize(data);
        size_t length = 0;
        // Up to the terminating NUL: one byte, or one 16-bit unit for CF_UNICODETEXT.
        while (length < size && (text[length] != 0 || (unicode && text[length + 1] != 0)))
            length += unicode ? 2 : 1;
        bytes.assign(text, length);
        GlobalUnlock(data);
    }
    CloseClipboard();
    if (data == nullptr)
        return 3;
    FILE* out = std::fopen(path, "wb");
    if (out == nullptr)
        return 5;
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "hello")
        return std::puts("vantrel_probe") >= 0 ? 0 : 1;
    if (command == "windows") {
        ReadItems = argc > 2 && std::string(argv[2]) == "items";
        return ListWindows();
    }
    if (command == "clip-read" && argc >= 3)
        return ReadClipboard(argv[2], argc > 3 && std::string(argv[3]) == "unicode");
    std::fputs("usage: vantrel_probe hello | windows [items] | clip-read FILE [unicode]\n", stderr);
    return 2;
}
