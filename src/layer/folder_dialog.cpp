#include "layer/folder_dialog.h"

#include "core/wide_path.h"

#include "core/text_ops.h"
#include "layer/control.h"
#include "layer/dispatch.h"

#include <array>
#include <cstring>

#include <shlobj.h>

namespace {

// The platform flag of each option, by bit number.
constexpr std::array<UINT, 9> kOptionFlags = {
    BIF_BROWSEFORCOMPUTER,  BIF_BROWSEFORPRINTER, BIF_DONTGOBELOWDOMAIN,
    BIF_RETURNFSANCESTORS,  BIF_RETURNONLYFSDIRS, BIF_STATUSTEXT,
    BIF_BROWSEINCLUDEFILES, BIF_EDITBOX,          BIF_NEWDIALOGSTYLE,
};

UINT FlagsOf(FolderOptions options) {
    UINT flags = 0;
    for (size_t bit = 0; bit < kOptionFlags.size(); ++bit)
        if ((options & (1u << bit)) != 0)
            flags |= kOptionFlags[bit];
    return flags;
}

} // namespace

FolderDialog::FolderDialog(std::string_view prompt, FolderOptions options)
    : Prompt(prompt), DialogOptions(options == 0 ? kDefaultFolderOptions : options) {}

bool FolderDialog::Choose() {
    BROWSEINFOA request{};
    request.hwndOwner = OwnerWindow != nullptr         ? OwnerWindow
                        : ApplicationWindow != nullptr ? ApplicationWindow->Handle
                                                       : nullptr;
    request.pidlRoot = nullptr;
    request.pszDisplayName = pathBuffer_;
    request.lpszTitle = Prompt.empty() ? nullptr : Prompt.c_str();
    request.ulFlags = FlagsOf(DialogOptions);
    request.lpfn = useBrowseCallback_ ? &FolderDialog::BrowseCallback : nullptr;
    request.lParam = reinterpret_cast<LPARAM>(this);

    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&request);
    if (chosen == nullptr)
        return false;
    // The path in characters, converted afterwards: its UTF-8 form may be longer than the
    // ANSI call's buffer of MAX_PATH bytes.
    wchar_t path[MAX_PATH + 1] = {};
    const bool hasPath = SHGetPathFromIDListW(chosen, path) != 0;
    CoTaskMemFree(chosen);
    folderPath_ = hasPath ? ProgramText(path) : std::string();
    return hasPath;
}

std::string FolderDialog::FolderPath() const {
    return folderPath_;
}

void FolderDialog::SetPreselectedFolder(std::string_view path) {
    preselectedFolder_ = StripTrailingBackslash(path);
    useBrowseCallback_ = true;
}

int CALLBACK FolderDialog::BrowseCallback(HWND window, UINT message, LPARAM, LPARAM dialog) {
    auto* self = reinterpret_cast<FolderDialog*>(dialog);
    self->browserWindow_ = window;
    if (message == BFFM_INITIALIZED && !self->preselectedFolder_.empty())
        SendMessageA(window, BFFM_SETSELECTIONA, TRUE,
                     reinterpret_cast<LPARAM>(self->preselectedFolder_.c_str()));
    return 0;
}
