#include "layer/open_save_dialog.h"

#include "layer/control.h"
#include "layer/dispatch.h"
#include "layer/notice.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <vector>

#include <cderr.h>
#include <commdlg.h>

namespace {

// The platform flag of each option, by bit number.
constexpr std::array<DWORD, 13> kOptionFlags = {
    OFN_CREATEPROMPT,     OFN_EXTENSIONDIFFERENT, OFN_FILEMUSTEXIST,    OFN_HIDEREADONLY,
    OFN_NOCHANGEDIR,      OFN_NODEREFERENCELINKS, OFN_ALLOWMULTISELECT, OFN_NONETWORKBUTTON,
    OFN_NOREADONLYRETURN, OFN_OVERWRITEPROMPT,    OFN_PATHMUSTEXIST,    OFN_READONLY,
    OFN_NOVALIDATE,
};
constexpr DWORD kAlwaysSetFlags = OFN_EXPLORER | OFN_LONGNAMES | OFN_ENABLESIZING;
// Room for the longest path the platform can name, 32,767 UTF-16 units, in UTF-8 (three bytes
// a unit at most) with its NUL: one file, however long its path, always fits, so running out
// of room means that several files were chosen.
constexpr size_t kOnePathCapacity = 3 * 32767 + 1;
// The record without the fields that came with Windows 2000: 76 bytes in 32-bit programs.
constexpr size_t kRequestSize =
    offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(OPENFILENAMEA::lpTemplateName);
static_assert(sizeof(void*) != 4 || kRequestSize == 76);

DWORD FlagsOf(OpenSaveOptions options) {
    DWORD flags = kAlwaysSetFlags;
    for (size_t bit = 0; bit < kOptionFlags.size(); ++bit)
        if ((options & (1u << bit)) != 0)
            flags |= kOptionFlags[bit];
    return flags;
}

// "desc|pattern|desc|pattern" becomes "desc\0pattern\0desc\0pattern\0", and the string's own
// terminator closes the list with the empty string the platform expects.
std::string FilterListOf(const std::string& filterSpec) {
    std::string list = filterSpec + '\0';
    std::replace(list.begin(), list.end(), '|', '\0');
    return list;
}

// The proposed name, cut to the room, and NULs after it. Two more NULs follow the room the
// platform is told of, so the result always ends within the buffer.
std::vector<char> NameBuffer(const std::string& selection, size_t room) {
    std::vector<char> buffer(room + 2, '\0');
    std::copy_n(selection.begin(), std::min(selection.size(), room - 1), buffer.begin());
    return buffer;
}

// A complete multiple selection ends with two NULs inside the room. Some implementations of the
// dialog fill the room and stop, instead of reporting that it was too small.
bool ResultIsComplete(const std::vector<char>& buffer, size_t room) {
    for (size_t i = 0; i + 1 < room; ++i)
        if (buffer[i] == '\0' && buffer[i + 1] == '\0')
            return true;
    return false;
}

// The explorer-style result of a multiple selection, folder NUL name NUL ... name NUL NUL,
// becomes folder CR name ... CR name. A single full path stays as it is.
void JoinNamesWithCarriageReturns(std::vector<char>& buffer) {
    for (size_t i = 0; i + 1 < buffer.size() && !(buffer[i] == '\0' && buffer[i + 1] == '\0'); ++i)
        if (buffer[i] == '\0')
            buffer[i] = '\r';
}

HWND ApplicationWindowHandle() {
    return ApplicationWindow != nullptr ? ApplicationWindow->Handle : nullptr;
}

const char* NullWhenEmpty(const std::string& text) {
    return text.empty() ? nullptr : text.c_str();
}

} // namespace

OpenSaveDialog::OpenSaveDialog(std::string_view title, std::string_view startFolder,
                               OpenSaveOptions options)
    : StartFolder(startFolder), DialogTitle(title),
      DialogOptions(options == 0 ? kDefaultOpenSaveOptions : options) {}

bool OpenSaveDialog::Choose() {
    const DWORD flags = FlagsOf(DialogOptions);
    const bool multipleSelection = (flags & OFN_ALLOWMULTISELECT) != 0;
    const size_t room =
        std::clamp<size_t>(multipleSelection ? MultipleSelectionCapacity : kOnePathCapacity,
                           kOnePathCapacity, MAXDWORD);
    std::vector<char> names = NameBuffer(Selection, room);
    const std::string filterList = FilterSpec.empty() ? std::string() : FilterListOf(FilterSpec);

    OPENFILENAMEA request{};
    request.lStructSize = kRequestSize;
    request.hwndOwner = OwnerWindow != nullptr ? OwnerWindow : ApplicationWindowHandle();
    request.hInstance = GetModuleHandleA(nullptr);
    request.lpstrFilter = NullWhenEmpty(filterList);
    request.nFilterIndex = static_cast<DWORD>(SelectedFilter);
    request.lpstrFile = names.data();
    request.nMaxFile = static_cast<DWORD>(room);
    request.lpstrInitialDir = NullWhenEmpty(StartFolder);
    request.lpstrTitle = NullWhenEmpty(DialogTitle);
    request.Flags = flags;
    request.lpstrDefExt = DefaultExtension.c_str();
    request.lCustData = reinterpret_cast<LPARAM>(this);

    const bool confirmed =
        (OpenMode ? GetOpenFileNameA(&request) : GetSaveFileNameA(&request)) != 0;
    const bool tooSmall = confirmed ? multipleSelection && !ResultIsComplete(names, room)
                                    : CommDlgExtendedError() == FNERR_BUFFERTOOSMALL;
    if (!confirmed || tooSmall) {
        Selection.clear();
        // The user's choice of many files must not vanish as if the dialog had been cancelled.
        if (tooSmall && multipleSelection)
            ShowNotice(kTooManyFilesNotice);
        return false;
    }
    SelectedFilter = static_cast<int32_t>(request.nFilterIndex);
    ReadOnlyChecked = (request.Flags & OFN_READONLY) != 0;
    if (multipleSelection)
        JoinNamesWithCarriageReturns(names);
    Selection.assign(names.data(), strnlen(names.data(), room));
    return true;
}
