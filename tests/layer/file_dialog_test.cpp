// The Open and Save dialogs, driven on screen as a user drives them.
#include "dialog_user.h"
#include "layer/dispatch.h"
#include "layer/open_save_dialog.h"
#include "temp_tree.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

class FileDialogTest : public ::testing::Test {
  protected:
    void TearDown() override { Release(dialog); }

    // The user enters names into the file-name field and confirms; when a notice is expected,
    // its title and text are kept and it is closed.
    bool ChooseByTyping(const std::string& names, bool noticeExpected = false) {
        dialog->StartFolder = tree.Root();
        DialogUser user([&](DialogUser& u) {
            HWND box = u.WaitForDialog();
            if (box == nullptr || !u.Enter(u.FileNameField(box), names))
                return;
            u.Press(box, IDOK);
            HWND notice = noticeExpected && u.WaitFor([&] { return !IsWindow(box); })
                              ? u.WaitForDialog()
                              : nullptr;
            if (notice != nullptr) {
                noticeText = WindowTextOf(notice) + ": " + MessageTextOf(notice);
                u.Press(notice, IDOK);
            }
        });
        return dialog->Choose();
    }

    TempTree tree;
    OpenSaveDialog* dialog = new OpenSaveDialog("", "", 0);
    std::string noticeText;
};

} // namespace

// One file comes back as its full path, also with multiple selection on, where it fits into
// the room however small the room for several files is set.
TEST_F(FileDialogTest, OneFileGivesItsFullPath) {
    tree.MakeFile("single.torrent");
    dialog->MultipleSelectionCapacity = 1;
    for (bool multiple : {false, true}) {
        dialog->DialogOptions = multiple ? kDefaultOpenSaveOptions | AllowMultiSelectOption : 0;
        ASSERT_TRUE(ChooseByTyping("single.torrent"));
        EXPECT_EQ(dialog->Selection, tree.Path("single.torrent"));
    }
}

// Files chosen at once come back as the folder and the names separated by CR; the default room
// holds far more than the platform's old 65,520 bytes. Files that do not fit into a smaller
// room are reported, not dropped as if the dialog had been cancelled.
TEST_F(FileDialogTest, ManyFilesFitTheDefaultRoomAndTooManyAreReported) {
    std::string typed, expected = tree.Root();
    for (int i = 1000; i < 2000; ++i) {
        const std::string name = "file " + std::to_string(i) + std::string(90, '-') + ".torrent";
        tree.MakeFile(name);
        typed += "\"" + name + "\" ";
        expected += "\r" + name;
    }
    dialog->DialogOptions |= AllowMultiSelectOption;
    ASSERT_TRUE(ChooseByTyping(typed));
    EXPECT_EQ(dialog->Selection, expected);

    dialog->MultipleSelectionCapacity = 1;
    EXPECT_FALSE(ChooseByTyping(typed, true));
    EXPECT_EQ(dialog->Selection, "");
    EXPECT_EQ(noticeText, std::string("Error: ") + kTooManyFilesNotice);
}
