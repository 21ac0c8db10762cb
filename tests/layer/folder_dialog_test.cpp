// The folder browser, driven on screen as a user drives it.
#include "dialog_user.h"
#include "layer/dispatch.h"
#include "layer/folder_dialog.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <windows.h>

namespace {

// The text of the folder the browser's tree shows as selected.
std::string SelectedTreeItem(HWND browser) {
    HWND tree = FindWindowExA(browser, nullptr, WC_TREEVIEWA, nullptr);
    char text[MAX_PATH] = {};
    TVITEMA request{};
    request.mask = TVIF_TEXT;
    request.hItem = tree ? TreeView_GetSelection(tree) : nullptr;
    request.pszText = text;
    request.cchTextMax = sizeof text;
    if (request.hItem != nullptr)
        SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&request));
    return text;
}

// The user waits until the browser shows the expected folder selected, then confirms.
TEST(FolderDialog, ThePreselectedFolderIsShownAndChosenAndDriveRootsKeepTheirBackslash) {
    ApplicationWindow = nullptr;
    CreateDirectoryA("C:\\Data", nullptr);
    for (const auto& [preselected, shown, chosen] :
         {std::tuple{"C:\\Data\\", "Data", "C:\\Data"}, {"C:", "(C:)", "C:\\"}}) {
        auto* dialog = new FolderDialog("Add Directory...", 0);
        dialog->SetPreselectedFolder(preselected);
        EXPECT_EQ(dialog->PreselectedFolder(), chosen);
        HWND browser = nullptr;
        DialogUser user([&](DialogUser& u) {
            if ((browser = u.WaitForDialog()) == nullptr)
                return;
            u.WaitFor([&] { return SelectedTreeItem(browser).find(shown) != std::string::npos; });
            u.Press(browser, IDOK);
        });
        EXPECT_TRUE(dialog->Choose());
        EXPECT_EQ(dialog->FolderPath(), chosen);
        EXPECT_EQ(dialog->BrowserWindow(), browser);
        Release(dialog);
    }
}

} // namespace
