// The Open and Save dialogs, driven on screen as a user drives them.
#include "dialog_user.h"
#include "layer/dispatch.h"
#include "layer/open_save_dialog.h"
#include "temp_tree.h"

#include <dlgs.h>
#include <gtest/gtest.h>
#include <windows.h>

namespace {

constexpr char kTextFilter[] = "Text files *.txt|*.txt|All files *.*|*.*";

class FileDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ApplicationWindow = nullptr;
        dialog = new OpenSaveDialog("", "", 0);
        dialog->StartFolder = tree.Root();
    }
    void TearDown() override { Release(dialog); }

    // Add Files: Open mode, torrent filter, multiple selection; Save to File otherwise.
    void SetUpFor(bool addFiles) {
        dialog->OpenMode = addFiles;
        dialog->FilterSpec =
            addFiles ? "Torrent files *.torrent|*.torrent|All files *.*|*.*" : kTextFilter;
        dialog->DialogOptions = kDefaultOpenSaveOptions | (addFiles ? AllowMultiSelectOption : 0);
        dialog->Selection.clear();
    }

    // The user enters names into the file-name field and confirms. With `answer`, a box
    // follows (owned by the dialog for IDYES, after it for IDOK): its text is kept and the
    // button pressed.
    bool ChooseByTyping(const std::string& names, int answer = 0) {
        DialogUser user([&](DialogUser& u) {
            HWND box = u.WaitForDialog();
            if (box == nullptr || !u.Enter(u.FileNameField(box), names))
                return;
            u.Press(box, IDOK);
            HWND follower = answer == IDYES                            ? u.WaitForDialog(box)
                            : answer == IDOK && u.WaitUntilClosed(box) ? u.WaitForDialog()
                                                                       : nullptr;
            if (follower != nullptr) {
                followerText = WindowTextOf(follower) + ": " + MessageTextOf(follower);
                u.Press(follower, answer);
            }
        });
        return dialog->Choose();
    }

    TempTree tree;
    OpenSaveDialog* dialog = nullptr;
    std::string followerText;
};

} // namespace

// A path longer than the platform's classic 260 characters comes back whole, in Save to File
// and in Add Files alike.
TEST_F(FileDialogTest, OneFileGivesItsFullPathHoweverLong) {
    const std::string folder = tree.Path(std::string(250, 'f'));
    tree.MakeLongPathFile(folder);
    for (const std::string& name : {folder + "\\saved.txt", folder + "\\deep.txt"}) {
        SetUpFor(name.ends_with("deep.txt"));
        ASSERT_TRUE(ChooseByTyping(name));
        EXPECT_EQ(dialog->Selection, name);
    }
}
