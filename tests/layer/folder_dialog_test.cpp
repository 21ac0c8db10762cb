// The folder browser, driven on screen as a user drives it.
#include "dialog_user.h"
#include "layer/dispatch.h"
#include "layer/folder_dialog.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <windows.h>

namespace {

class FolderDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ApplicationWindow = nullptr;
        CreateDirectoryA("C:\\Data", nullptr);
        dialog = new FolderDialog("Add Directory...", 0);
    }
    void TearDown() override { Release(dialog); }

    FolderDialog* dialog = nullptr;
};

// The text of the folder the browser's tree shows as selected.
std::string SelectedTreeItem(HWND browser) {
    HWND tree = FindWindowExA(browser, nullptr, WC_TREEVIEWA, nullptr);
    if (tree == nullptr)
        return "<no tree>";
    auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (item == nullptr)
        return "<no selection>";
    char text[MAX_PATH] = {};
    TVITEMA request{};
    request.mask = TVIF_TEXT;
    request.hItem = item;
    request.pszText = text;
    request.cchTextMax = sizeof text;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&request));
    return text;
}

// The user looks at the browser until it shows the folder expected, then confirms.
std::string ConfirmShownFolder(FolderDialog* dialog, const std::string& expected, HWND& browser) {
    std::string shown;
    DialogUser user([&](DialogUser& u) {
        browser = u.WaitForDialog();
        if (browser == nullptr)
            return;
        u.WaitFor([&] { return SelectedTreeItem(browser).find(expected) != std::string::npos; });
        shown = SelectedTreeItem(browser);
        u.Press(browser, IDOK);
    });
    EXPECT_TRUE(dialog->Choose());
    return shown;
}

} // namespace

TEST_F(FolderDialogTest, PreselectedFolderIsShownAndChosen) {
    dialog->SetPreselectedFolder("C:\\Data\\");
    EXPECT_EQ(dialog->PreselectedFolder(), "C:\\Data");
    HWND browser = nullptr;
    EXPECT_EQ(ConfirmShownFolder(dialog, "Data", browser), "Data");
    EXPECT_EQ(dialog->FolderPath(), "C:\\Data");
    EXPECT_EQ(dialog->BrowserWindow(), browser);
}

TEST_F(FolderDialogTest, DriveRootKeepsItsBackslash) {
    dialog->SetPreselectedFolder("C:\\");
    EXPECT_EQ(dialog->PreselectedFolder(), "C:\\");
    dialog->SetPreselectedFolder("C:");
    EXPECT_EQ(dialog->PreselectedFolder(), "C:\\");
    HWND browser = nullptr;
    EXPECT_NE(ConfirmShownFolder(dialog, "(C:)", browser).find("(C:)"), std::string::npos);
    EXPECT_EQ(dialog->FolderPath(), "C:\\");
}

TEST_F(FolderDialogTest, CancelGivesFalseAndNoPreselectionBeforeItIsSet) {
    std::string shown;
    DialogUser user([&](DialogUser& u) {
        if (HWND browser = u.WaitForDialog()) {
            u.WaitFor([&] { return SelectedTreeItem(browser) != "<no selection>"; }, 2000);
            shown = SelectedTreeItem(browser);
            u.Press(browser, IDCANCEL);
        }
    });
    EXPECT_FALSE(dialog->Choose());
    EXPECT_NE(shown, "Data");
    // No browse callback was installed, so none recorded the browser.
    EXPECT_EQ(dialog->BrowserWindow(), nullptr);
}
