#include "layer/notice.h"

#include "layer/control.h"
#include "layer/dispatch.h"

#include <optional>
#include <string>
#include <windows.h>

void ShowNotice(std::string_view text) {
    const std::string message(text);
    HWND owner = nullptr;
    // A copy: handlers that run inside the box's own message loop may change the caption.
    std::optional<std::string> title;
    if (ApplicationWindow != nullptr) {
        owner = ApplicationWindow->Handle;
        title = ApplicationWindow->Caption;
    }
    MessageBoxA(owner, message.c_str(), title ? title->c_str() : nullptr, MB_OK | MB_SETFOREGROUND);
}
