#include "layer/clipboard.h"

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

// A movable global block holding the text and its terminating NUL, or null.
HGLOBAL CopyToGlobalBlock(std::string_view text) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, text.size() + 1);
    if (block == nullptr)
        return nullptr;
    char* bytes = static_cast<char*>(GlobalLock(block));
    if (bytes == nullptr) {
        GlobalFree(block);
        return nullptr;
    }
    std::memcpy(bytes, text.data(), text.size());
    bytes[text.size()] = '\0';
    GlobalUnlock(block);
    return block;
}

// The clipboard is open and empty. On success the block belongs to the clipboard; on failure
// it is still ours and is freed here.
bool HandTextToClipboard(std::string_view text) {
    HGLOBAL block = CopyToGlobalBlock(text);
    if (block == nullptr)
        return false;
    if (SetClipboardData(CF_TEXT, block) != nullptr)
        return true;
    GlobalFree(block);
    return false;
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
