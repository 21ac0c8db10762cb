// vantrel_probe: looks at the running program from outside, as another process on the same
// desktop, for the end-to-end tests.
//
//   vantrel_probe windows [items]  every top-level window with its children, as JSON on stdout;
//                                  with "items", the text of every list box entry too
//   vantrel_probe clip-read FILE   the clipboard's CF_TEXT, exact bytes up to its NUL, into FILE
//   vantrel_probe clip-set TEXT    puts TEXT on the clipboard as CF_TEXT
//   vantrel_probe clip-hold        keeps the clipboard open until stdin closes
//   vantrel_probe lock FILE        holds FILE open without sharing until stdin closes
//
// List box entries are read with SendMessageW and a wide buffer: across processes the ANSI
// message returns only the first character of an entry.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
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
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string WindowText(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    const int length = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<size_t>(length > 0 ? length : 0));
    return Utf8(text);
}

std::string ClassOf(HWND window) {
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string RectJson(const RECT& r) {
    return "[" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
           std::to_string(r.right) + "," + std::to_string(r.bottom) + "]";
}

// A message to another process that may be busy hashing: bounded, never a hang.
LRESULT SendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool& ok) {
    DWORD_PTR result = 0;
    ok = SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, 5000, &result) != 0;
    return static_cast<LRESULT>(result);
}

// The text a control reports for itself (a drop-down list's selected entry, for example).
std::string SentText(HWND window) {
    bool ok = false;
    const LRESULT length = SendBounded(window, WM_GETTEXTLENGTH, 0, 0, ok);
    if (!ok || length <= 0) {
        return {};
    }
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied =
        SendBounded(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), ok);
    text.resize(ok && copied > 0 ? static_cast<size_t>(copied) : 0);
    return Utf8(text);
}

// Whether list entries are read: each read is a message the program answers only when it
// pumps, which during a batch run is once a file.
bool ReadItems = false;

std::string ListBoxJson(HWND list) {
    bool ok = false;
    const LRESULT count = SendBounded(list, LB_GETCOUNT, 0, 0, ok);
    if (!ok || count < 0) {
        return ",\"busy\":true";
    }
    std::string items;
    std::string selected;
    for (LRESULT i = 0; ReadItems && i < count; ++i) {
        const auto index = static_cast<WPARAM>(i);
        const LRESULT length = SendBounded(list, LB_GETTEXTLEN, index, 0, ok);
        if (!ok || length < 0) {
            return ",\"busy\":true";
        }
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        SendBounded(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()), ok);
        text.resize(static_cast<size_t>(length));
        items += (i != 0 ? "," : "") + Quoted(Utf8(text));
        if (SendBounded(list, LB_GETSEL, index, 0, ok) > 0) {
            selected += (selected.empty() ? "" : ",") + std::to_string(i);
        }
    }
    const LRESULT current = SendBounded(list, LB_GETCURSEL, 0, 0, ok);
    const LRESULT top = SendBounded(list, LB_GETTOPINDEX, 0, 0, ok);
    const LRESULT itemHeight = SendBounded(list, LB_GETITEMHEIGHT, 0, 0, ok);
    return ",\"count\":" + std::to_string(count) +
           (ReadItems ? ",\"items\":[" + items + "],\"selected\":[" + selected + "]" : "") +
           ",\"current\":" + std::to_string(current) + ",\"top\":" + std::to_string(top) +
           ",\"item_height\":" + std::to_string(itemHeight);
}

std::string WindowJson(HWND window);

BOOL CALLBACK CollectChild(HWND child, LPARAM collected) {
    auto* children = reinterpret_cast<std::vector<HWND>*>(collected);
    children->push_back(child);
    return TRUE;
}

std::string WindowJson(HWND window) {
    RECT outer{};
    RECT client{};
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    const std::string className = ClassOf(window);
    std::string json =
        "{\"hwnd\":" + std::to_string(reinterpret_cast<UINT_PTR>(window)) +
        ",\"class\":" + Quoted(className) + ",\"text\":" + Quoted(WindowText(window)) +
        ",\"pid\":" + std::to_string(process) + ",\"id\":" + std::to_string(GetDlgCtrlID(window)) +
        ",\"visible\":" + (IsWindowVisible(window) ? "true" : "false") +
        ",\"enabled\":" + (IsWindowEnabled(window) ? "true" : "false") + ",\"focus_owner\":" +
        std::to_string(reinterpret_cast<UINT_PTR>(GetWindow(window, GW_OWNER))) +
        ",\"style\":" + std::to_string(GetWindowLongW(window, GWL_STYLE)) +
        ",\"exstyle\":" + std::to_string(GetWindowLongW(window, GWL_EXSTYLE)) +
        ",\"rect\":" + RectJson(outer) + ",\"client\":" + RectJson(client) +
        ",\"client_origin\":[" + std::to_string(origin.x) + "," + std::to_string(origin.y) + "]" +
        ",\"has_menu\":" + (GetMenu(window) != nullptr ? "true" : "false");
    if (className.find("LISTBOX") != std::string::npos || className == "ListBox") {
        json += ListBoxJson(window);
    }
    if (className == "ComboBox") {
        json += ",\"combo_text\":" + Quoted(SentText(window));
    }
    if ((GetWindowLongW(window, GWL_STYLE) & WS_CHILD) == 0) {
        std::vector<HWND> children;
        EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&children));
        json += ",\"children\":[";
        for (size_t i = 0; i < children.size(); ++i) {
            json += (i != 0 ? "," : "") + WindowJson(children[i]);
        }
        json += "]";
    }
    return json + "}";
}

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM collected) {
    auto* windows = reinterpret_cast<std::vector<HWND>*>(collected);
    windows->push_back(window);
    return TRUE;
}

int ListWindows() {
    std::vector<HWND> windows;
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&windows));
    std::string json = "{\"screen\":[" + std::to_string(GetSystemMetrics(SM_CXSCREEN)) + "," +
                       std::to_string(GetSystemMetrics(SM_CYSCREEN)) + "],\"foreground\":" +
                       std::to_string(reinterpret_cast<UINT_PTR>(GetForegroundWindow())) +
                       ",\"windows\":[";
    bool first = true;
    for (HWND window : windows) {
        const std::string className = ClassOf(window);
        // Only windows a person could see or the program's own (hidden ones included).
        if (!IsWindowVisible(window) && className.rfind("obj_", 0) != 0) {
            continue;
        }
        json += (first ? "" : ",") + WindowJson(window);
        first = false;
    }
    json += "]}\n";
    std::fwrite(json.data(), 1, json.size(), stdout);
    return 0;
}

bool OpenClipboardPatiently() {
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (OpenClipboard(nullptr)) {
            return true;
        }
        Sleep(50);
    }
    return false;
}

int ReadClipboard(const char* path) {
    if (!OpenClipboardPatiently()) {
        std::fputs("cannot open the clipboard\n", stderr);
        return 4;
    }
    const HANDLE data = GetClipboardData(CF_TEXT);
    if (data == nullptr) {
        CloseClipboard();
        std::fputs("no CF_TEXT on the clipboard\n", stderr);
        return 3;
    }
    const auto* text = static_cast<const char*>(GlobalLock(data));
    const size_t size = GlobalSize(data);
    const size_t length = text != nullptr ? strnlen(text, size) : 0;
    std::string bytes(text != nullptr ? text : "", length);
    GlobalUnlock(data);
    CloseClipboard();
    FILE* out = std::fopen(path, "wb");
    if (out == nullptr) {
        return 5;
    }
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
    return 0;
}

int SetClipboard(const char* text) {
    if (!OpenClipboardPatiently()) {
        return 4;
    }
    EmptyClipboard();
    const size_t size = std::strlen(text) + 1;
    const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    std::memcpy(GlobalLock(block), text, size);
    GlobalUnlock(block);
    const bool placed = SetClipboardData(CF_TEXT, block) != nullptr;
    CloseClipboard();
    return placed ? 0 : 6;
}

// Keeps the clipboard open, as a busy program may, so that nobody else can open it. It is
// opened for a window of ours: the platform refuses a second opener only when the windows differ.
int HoldClipboard() {
    const HWND owner = CreateWindowExA(0, "STATIC", "vantrel_probe", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                       nullptr, nullptr, nullptr);
    if (owner == nullptr || !OpenClipboard(owner)) {
        return 4;
    }
    std::fputs("held\n", stdout);
    std::fflush(stdout);
    char line[16];
    while (std::fgets(line, sizeof line, stdin) != nullptr) {
    }
    CloseClipboard();
    DestroyWindow(owner);
    return 0;
}

int LockFile(const char* path) {
    const HANDLE file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot open %s: %lu\n", path, GetLastError());
        return 7;
    }
    std::fputs("locked\n", stdout);
    std::fflush(stdout);
    char line[16];
    while (std::fgets(line, sizeof line, stdin) != nullptr) {
    }
    CloseHandle(file);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "windows") {
        ReadItems = argc > 2 && std::string(argv[2]) == "items";
        return ListWindows();
    }
    if (command == "clip-read" && argc == 3) {
        return ReadClipboard(argv[2]);
    }
    if (command == "clip-set" && argc == 3) {
        return SetClipboard(argv[2]);
    }
    if (command == "clip-hold") {
        return HoldClipboard();
    }
    if (command == "lock" && argc == 3) {
        return LockFile(argv[2]);
    }
    std::fputs(
        "usage: vantrel_probe windows [items] | clip-read FILE | clip-set TEXT | clip-hold | "
        "lock FILE\n",
        stderr);
    return 2;
}
