// The Open, Save and folder dialogs on screen, driven by a second thread as a user drives them:
// what each shows, which questions it asks, and what comes back.
#include "layer/dispatch.h"
#include "layer/folder_dialog.h"
#include "layer/open_save_dialog.h"
#include "window_test_support.h"

#include <dlgs.h>
#include <shlobj.h>

namespace {

const char kTorrentFilter[] = "Torrent files *.torrent|*.torrent|All files *.*|*.*";
const char kTextFilter[] = "Text files *.txt|*.txt|All files *.*|*.*";

class DialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ApplicationWindow = form;
        EnsureWindow(form);
        tree.Make({"existing.txt", "single.torrent"});
    }
    void TearDown() override {
        ApplicationWindow = nullptr;
        Release(form);
    }
    // Whether the dialog window belongs to the application's window.
    std::string Owned(HWND box) { return GetWindow(box, GW_OWNER) == form->Handle ? "owned" : ""; }

    Control* form = CreateFormControl(nullptr, "Vantrel");
    TempTree tree;
};

// What the file dialog shows (title, proposed name, file type offered, whether it is owned by
// the application's window and shows the read-only box), whether it asks a question after OK
// (answered Yes) or gives a notice after it, and what comes back. One file comes back as its full
// path, also with multiple selection on in a room too small for several; several as the folder
// and the names separated by CR. Files that do not fit into the room are reported, not dropped
// as if the dialog had been cancelled.
TEST_F(DialogTest, FileDialogsShowTheirSettingsAskAsTheirOptionsSayAndReturnTheChoice) {
    std::string many, listed;
    for (int i = 1000; i < 2000; ++i) {
        const std::string name = "file " + std::to_string(i) + std::string(90, '-') + ".torrent";
        tree.Make({name});
        many += "\"" + name + "\" ";
        listed += "\r" + name;
    }
    const OpenSaveOptions defaults = kDefaultOpenSaveOptions, hide = HideReadOnlyOption,
                          multiple = kDefaultOpenSaveOptions | AllowMultiSelectOption;
    const char* tooMany = "Open|||owned > notice Vantrel: Too many files were selected at once. "
                          "Please select fewer files. > , filter 0";
    const struct {
        const char* title;
        bool open;
        OpenSaveOptions options;
        const char* filter;
        int32_t filterBefore;
        size_t room;
        std::string proposed, typed, seen;
    } cases[] = {
        {"Save Results", false, defaults, kTextFilter, 2, 0, "existing.txt", "",
         "Save Results|existing.txt|All files *.*|owned > asked > \\existing.txt, filter 2"},
        {"", false, hide, kTextFilter, 0, 0, "existing.txt", "",
         "Save As|existing.txt|Text files *.txt|owned > \\existing.txt, filter 1"},
        {"", true, defaults, kTorrentFilter, 0, 0, "missing.torrent", "",
         "Open|missing.torrent|Torrent files *.torrent|owned > asked > , filter 0"},
        {"", true, FileMustExistOption | ReadOnlyOption, "", 0, 0, "", "single.torrent",
         "Open|||owned|read-only box > \\single.torrent, filter 0, read-only"},
        {"", true, CreatePromptOption | hide, kTorrentFilter, 1, 0, "", "new.torrent",
         "Open||Torrent files *.torrent|owned > asked > \\new.torrent, filter 1"},
        {"", false, PathMustExistOption | hide, "", 0, 0, "", "none\\x.txt",
         "Save As|||owned > asked > , filter 0"},
        {"", true, multiple, "", 0, 1, "", "single.torrent",
         "Open|||owned > \\single.torrent, filter 0"},
        {"", true, multiple, "", 0, 0, "", many, "Open|||owned > " + listed + ", filter 0"},
        {"", true, multiple, "", 0, 1, "", many, tooMany},
    };
    auto* dialog = new OpenSaveDialog("", tree.Root(), 0);
    const size_t defaultRoom = dialog->MultipleSelectionCapacity;
    for (const auto& c : cases) {
        dialog->DialogTitle = c.title;
        dialog->OpenMode = c.open;
        dialog->DialogOptions = c.options;
        dialog->FilterSpec = c.filter;
        dialog->SelectedFilter = c.filterBefore;
        dialog->MultipleSelectionCapacity = c.room != 0 ? c.room : defaultRoom;
        dialog->Selection = c.proposed;
        std::string seen;
        DialogUser user([&](DialogUser& u) {
            HWND box = u.WaitForDialog();
            HWND field = box != nullptr ? u.FileNameField(box) : nullptr;
            if (field == nullptr)
                return;
            WaitFor([&] { return WindowTextOf(field) == c.proposed; }, 5000);
            const std::string type = WindowTextOf(GetDlgItem(box, cmb1));
            seen = WindowTextOf(box) + "|" + WindowTextOf(field) + "|" + type + "|" + Owned(box) +
                   (IsWindowVisible(GetDlgItem(box, chx1)) ? "|read-only box" : "");
            EXPECT_NE(GetWindowLongA(box, GWL_STYLE) & WS_THICKFRAME, 0) << "it can be resized";
            if (!c.typed.empty() && !u.Enter(field, c.typed))
                return;
            u.Press(box, IDOK);
            // A question or a warning disables the dialog while it is up.
            WaitFor([&] { return !IsWindow(box) || !IsWindowEnabled(box); });
            HWND notice = IsWindow(box) || c.seen.find("notice") != std::string::npos
                              ? u.WaitForDialog(box)
                              : nullptr;
            if (notice == nullptr)
                return;
            seen += IsWindow(box)
                        ? " > asked"
                        : " > notice " + WindowTextOf(notice) + ": " + MessageTextOf(notice);
            u.Press(notice, GetDlgItem(notice, IDYES) != nullptr ? IDYES : IDOK);
            WaitFor([&] { return !IsWindow(box) || IsWindowEnabled(box); });
            Sleep(500);
            if (IsWindow(box))
                u.Press(box, IDCANCEL);
        });
        const bool chosen = dialog->Choose();
        EXPECT_EQ(chosen, !dialog->Selection.empty());
        const std::string& got = dialog->Selection;
        seen += " > " + got.substr(got.starts_with(tree.Root()) ? tree.Root().size() : 0) +
                ", filter " + std::to_string(dialog->SelectedFilter) +
                (dialog->ReadOnlyChecked ? ", read-only" : "");
        EXPECT_EQ(seen, c.seen);
    }
    Release(dialog);
}

// The folder browser opens on the folder chosen last (stored without a trailing backslash, a
// drive root with it), shows the prompt, offers only folders of the file system (not the
// computer) and gives back the folder confirmed.
TEST_F(DialogTest, FolderDialogOpensOnThePreselectedFolder) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""}, {"Z:\\tmp\\", "Z:\\tmp"}, {"Z:", "Z:\\"}, {"Z:\\", "Z:\\"}};
    auto* folders = new FolderDialog("", 0);
    for (const auto& [preselect, stored] : cases) {
        SCOPED_TRACE(preselect);
        if (!preselect.empty())
            folders->SetPreselectedFolder(preselect);
        folders->Prompt = "Add Directory...";
        EXPECT_EQ(folders->PreselectedFolder(), stored);
        std::string shown;
        DialogUser user([&](DialogUser& u) {
            HWND box = u.WaitForDialog();
            shown = box != nullptr ? MessageTextOf(box) + "|" + Owned(box) : "";
            if (stored.empty()) {
                PIDLIST_ABSOLUTE computer = nullptr;
                SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer);
                SendMessageA(box, BFFM_SETSELECTIONA, FALSE, reinterpret_cast<LPARAM>(computer));
                shown +=
                    IsWindowEnabled(GetDlgItem(box, IDOK)) ? "|the computer can be chosen" : "";
                CoTaskMemFree(computer);
            }
            u.Press(box, stored.empty() ? IDCANCEL : IDOK);
        });
        EXPECT_EQ(folders->Choose(), !stored.empty());
        EXPECT_EQ(shown, "Add Directory...|owned");
        EXPECT_EQ(stored.empty() ? "" : folders->FolderPath(), stored);
        EXPECT_EQ(folders->BrowserWindow() != nullptr, !stored.empty());
    }
    Release(folders);
}

} // namespace
