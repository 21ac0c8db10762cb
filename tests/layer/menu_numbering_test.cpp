// Command numbering is process-wide, so it is checked in a process of its own: an empty menu
// bar built first has no items, and the context menu built next numbers from 4096. Item states
// reach the platform's menu item with the command.
#include "layer/menu.h"
#include "window_test_support.h"

namespace {

using MenuNumberingTest = WindowTest;

TEST_F(MenuNumberingTest, TheContextMenuNumbersFrom4096AndItsItemsAreGrayedByCommand) {
    Control* form = CreateFormControl(nullptr, "Layer Test");
    Menu* menuBar = BuildMenu(form, {""});
    Menu* listMenu = BuildMenu(form, {"Copy", "Copy All", "Save to File", ""});
    ASSERT_TRUE(CreateControlWindow(form));
    EXPECT_EQ(GetMenu(form->Handle), menuBar->MenuHandle);
    EXPECT_EQ(GetMenuItemCount(menuBar->MenuHandle), 0);
    const HMENU popup = listMenu->MenuHandle;
    ASSERT_EQ(GetMenuItemCount(popup), 3);
    for (UINT i = 0; i < 3; ++i)
        EXPECT_EQ(GetMenuItemID(popup, static_cast<int>(i)), 4096 + i);

    for (bool enabled : {false, true}) {
        for (int32_t i : {1, 2})
            SetItemEnabled(MenuItemAt(listMenu, i), enabled);
        for (UINT id : {4096u, 4097u, 4098u}) {
            const bool grayed = (GetMenuState(popup, id, MF_BYCOMMAND) & MF_GRAYED) != 0;
            EXPECT_EQ(grayed, !enabled && id != 4096u) << id;
        }
    }
    ReleaseForm(form);
}

} // namespace
