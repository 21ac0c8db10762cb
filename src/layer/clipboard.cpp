#include "layer/clipboard.h"

#include "core/wide_path.h"

#include <cstring>
#include <windows.h>

namespace {

constexpr DWORD OpenRetryMilliseconds = 500;
constexpr DWORD OpenRetryPauseMilliseconds = 10;

bool OpenClipboardPatiently() {
    const ULONGLONG giveUpAt = GetTickCount64() + OpenRetryMilliseconds;
    while (!OpenClipboard(nullptr)) {
        if (GetTickCount64() >= giveUpAt)
            return false;
        Sleep(OpenRetryPauseMilliseconds);
    }
    return true;
}

// A movable global block holding the characters and their terminating NUL, or null.
template <typename Char> HGLOBAL CopyToGlobalBlock(std::basic_string_view<Char> text) {
    const size_t bytes = (text.size() + 1) * sizeof(Char);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, bytes);
    if (block == nullptr)
        return nullptr;
    auto* characters = static_cast<Char*>(GlobalLock(block));
    if (characters == nullptr) {
        GlobalFree(block);
        return nullptr;
    }
    std::memcpy(characters, text.data(), text.size() * sizeof(Char));
    characters[text.size()] = Char{0};
    GlobalUnlock(block);
    return block;
}

// The clipboard is open. On success the block belongs to the clipboard; on failure it is still
// ours and is freed here.
template <typename Char> bool HandToClipboard(UINT format, std::basic_string_view<Char> text) {
    HGLOBAL block = CopyToGlobalBlock(text);
    if (block == nullptr)
        return false;
    if (SetClipboardData(format, block) != nullptr)
        return true;
    GlobalFree(block);
    return false;
}

// The same text twice: the program's own bytes for programs that read 8-bit text, and the
// characters they stand for in the active code page for programs that read Unicode, so that
// neither depends on the clipboard's own conversion between the two.
bool HandTextToClipboard(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    const std::wstring characters = WideText(text);
    return HandToClipboard(CF_TEXT, text) &&
           HandToClipboard(CF_UNICODETEXT, std::wstring_view(characters));
}

} // namespace

bool CopyTextToClipboard(std::string_view text) {
    if (!OpenClipboardPatiently())
        return false;
    EmptyClipboard();
    const bool placed = text.empty() || HandTextToClipboard(text);
    CloseClipboard();
    return placed;
}
