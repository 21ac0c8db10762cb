// The Open and Save dialogs, driven on screen as a user drives them.
#include "dialog_user.h"
#include "layer/dispatch.h"
#include "layer/open_save_dialog.h"
#include "temp_tree.h"

#include <dlgs.h>
#include <gtest/gtest.h>
#include <windows.h>

namespace {

constexpr char kTorrentFilter[] = "Torrent files *.torrent|*.torrent|All files *.*|*.*";
constexpr char kTextFilter[] = "Text files *.txt|*.txt|All files *.*|*.*";

class FileDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ApplicationWindow = nullptr;
        dialog = new OpenSaveDialog("", "", 0);
        dialog->StartFolder = tree.Root();
    }
    void TearDown() override { Release(dialog); }

    // Opens the dialog in Add Files fashion: Open mode, torrent filter, multiple selection.
    void SetUpForAddFiles() {
        dialog->OpenMode = true;
        dialog->FilterSpec = kTorrentFilter;
        dialog->DialogOptions = kDefaultOpenSaveOptions | AllowMultiSelectOption;
        dialog->Selection.clear();
    }

    // The user types names into the file-name field and confirms.
    bool ChooseByTyping(const std::string& names) {
        DialogUser user([&](DialogUser& u) {
            if (HWND box = u.WaitForDialog())
                if (u.Type(u.FileNameField(box), names))
                    u.Press(box, IDOK);
        });
        return dialog->Choose();
    }

    TempTree tree;
    OpenSaveDialog* dialog = nullptr;
};

int ShownFilter(HWND dialog) {
    return static_cast<int>(SendMessageA(GetDlgItem(dialog, cmb1), CB_GETCURSEL, 0, 0));
}

} // namespace

TEST_F(FileDialogTest, OneFileGivesItsFullPath) {
    tree.MakeFile("single.torrent");
    dialog->FilterSpec = kTorrentFilter;
    ASSERT_TRUE(ChooseByTyping("single.torrent"));
    EXPECT_EQ(dialog->Selection, tree.Path("single.torrent"));
    EXPECT_EQ(dialog->SelectedFilter, 1);

    // With multiple selection on, one file still comes back as its full path, no CR in it.
    SetUpForAddFiles();
    ASSERT_TRUE(ChooseByTyping("single.torrent"));
    EXPECT_EQ(dialog->Selection, tree.Path("single.torrent"));
}

TEST_F(FileDialogTest, ThreeFilesGiveTheFolderAndTheNamesSeparatedByCr) {
    tree.MakeFile("a.torrent");
    tree.MakeFile("b.torrent");
    tree.MakeFile("c.torrent");
    SetUpForAddFiles();
    ASSERT_TRUE(ChooseByTyping("\"a.torrent\" \"b.torrent\" \"c.torrent\""));
    EXPECT_EQ(dialog->Selection, tree.Root() + "\ra.torrent\rb.torrent\rc.torrent");
}

TEST_F(FileDialogTest, CancelGivesFalseAndAnEmptySelection) {
    tree.MakeFile("proposed.torrent");
    SetUpForAddFiles();
    dialog->Selection = "proposed.torrent";
    std::string shownName;
    DialogUser user([&](DialogUser& u) {
        if (HWND box = u.WaitForDialog()) {
            HWND field = u.FileNameField(box);
            u.WaitFor([&] { return WindowTextOf(field) == "proposed.torrent"; });
            shownName = WindowTextOf(field);
            u.Press(box, IDCANCEL);
        }
    });
    EXPECT_FALSE(dialog->Choose());
    EXPECT_EQ(shownName, "proposed.torrent");
    EXPECT_EQ(dialog->Selection, "");
}

TEST_F(FileDialogTest, FilterChosenWhenOpeningIsOfferedFirstWhenSaving) {
    tree.MakeFile("list.txt");
    SetUpForAddFiles();
    int offeredWhenSaving = -1;
    {
        DialogUser user([&](DialogUser& u) {
            HWND box = u.WaitForDialog();
            if (box == nullptr)
                return;
            // The user steps the file-type list down to "All files".
            HWND types = GetDlgItem(box, cmb1);
            PostMessageA(types, WM_KEYDOWN, VK_DOWN, 1);
            PostMessageA(types, WM_KEYUP, VK_DOWN, static_cast<LPARAM>(0xC0000001u));
            EXPECT_TRUE(u.WaitFor([&] { return ShownFilter(box) == 1; }));
            if (u.Type(u.FileNameField(box), "list.txt"))
                u.Press(box, IDOK);
        });
        ASSERT_TRUE(dialog->Choose());
    }
    EXPECT_EQ(dialog->Selection, tree.Path("list.txt"));
    EXPECT_EQ(dialog->SelectedFilter, 2);

    dialog->DialogOptions = kDefaultOpenSaveOptions;
    dialog->FilterSpec = kTextFilter;
    dialog->OpenMode = false;
    dialog->Selection.clear();
    {
        DialogUser user([&](DialogUser& u) {
            if (HWND box = u.WaitForDialog()) {
                u.WaitFor([&] { return ShownFilter(box) == 1; }, 3000);
                offeredWhenSaving = ShownFilter(box);
                u.Press(box, IDCANCEL);
            }
        });
        EXPECT_FALSE(dialog->Choose());
    }
    EXPECT_EQ(offeredWhenSaving, 1); // the second pair, "All files *.*"
    EXPECT_EQ(dialog->SelectedFilter, 2);
}

TEST_F(FileDialogTest, SavingOverAnExistingFileAsksFirst) {
    tree.MakeFile("results.txt");
    dialog->FilterSpec = kTextFilter;
    dialog->OpenMode = false;
    std::string question;
    bool stayedOpenAfterNo = false;
    DialogUser user([&](DialogUser& u) {
        HWND box = u.WaitForDialog();
        if (box == nullptr || !u.Type(u.FileNameField(box), "results.txt"))
            return;
        u.Press(box, IDOK);
        HWND ask = u.WaitForDialog(box);
        if (ask == nullptr)
            return;
        question = MessageTextOf(ask);
        u.Press(ask, IDNO);
        stayedOpenAfterNo = u.WaitUntilClosed(ask) && IsWindowVisible(box);
        u.Press(box, IDOK);
        if (HWND askAgain = u.WaitForDialog(box))
            u.Press(askAgain, IDYES);
    });
    ASSERT_TRUE(dialog->Choose());
    EXPECT_NE(question.find("exists"), std::string::npos) << question;
    EXPECT_TRUE(stayedOpenAfterNo);
    EXPECT_EQ(dialog->Selection, tree.Path("results.txt"));
}

// Files chosen at once whose names do not fit are reported instead of being dropped as if the
// dialog had been cancelled.
TEST_F(FileDialogTest, SelectionTooLargeForItsRoomIsReported) {
    tree.MakeFile("first file with a long name.torrent");
    tree.MakeFile("second file with a long name.torrent");
    SetUpForAddFiles();
    dialog->MultipleSelectionCapacity = tree.Root().size() + 40;
    std::string noticeTitle, noticeText;
    DialogUser user([&](DialogUser& u) {
        HWND box = u.WaitForDialog();
        if (box == nullptr || !u.Type(u.FileNameField(box), "\"first file with a long "
                                                            "name.torrent\" \"second file with "
                                                            "a long name.torrent\""))
            return;
        u.Press(box, IDOK);
        if (!u.WaitUntilClosed(box))
            return;
        if (HWND notice = u.WaitForDialog()) {
            noticeTitle = WindowTextOf(notice);
            noticeText = MessageTextOf(notice);
            u.Press(notice, IDOK);
        }
    });
    EXPECT_FALSE(dialog->Choose());
    EXPECT_EQ(dialog->Selection, "");
    EXPECT_EQ(noticeText, kTooManyFilesNotice);
    EXPECT_EQ(noticeTitle, "Error");
}

// The default room holds far more than the platform's old 65,520-byte limit.
TEST_F(FileDialogTest, ManyFilesFitIntoTheDefaultRoom) {
    SetUpForAddFiles();
    std::string typed;
    std::string expected = tree.Root();
    for (int i = 0; i < 1500; ++i) {
        const std::string name =
            "file number " + std::to_string(1000 + i) + " with a rather long name.torrent";
        tree.MakeFile(name);
        typed += "\"" + name + "\" ";
        expected += "\r" + name;
    }
    ASSERT_GT(expected.size(), 0xFFF0u);
    DialogUser user([&](DialogUser& u) {
        if (HWND box = u.WaitForDialog())
            if (u.Paste(u.FileNameField(box), typed))
                u.Press(box, IDOK);
    });
    ASSERT_TRUE(dialog->Choose());
    EXPECT_EQ(dialog->Selection, expected);
}
