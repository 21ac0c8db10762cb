// Command numbering is process-wide, so it is checked in a process of its own: an empty menu
// bar built first has no items, and the context menu built next numbers from 4096.
#include "layer/control.h"
#include "layer/menu.h"
#include "window_test_support.h"

#include <gtest/gtest.h>

namespace {

using MenuNumberingTest = WindowTest;

TEST_F(MenuNumberingTest, AnEmptyMenuBarComesFirstAndTheContextMenuNumbersFrom4096) {
    Control* form = CreateFormControl(nullptr, "Layer Test");
    Menu* menuBar = BuildMenu(form, {""});
    Menu* listMenu = BuildMenu(form, {"Copy", "Copy All", "Save to File", ""});
    ASSERT_TRUE(CreateControlWindow(form));

    EXPECT_EQ(GetMenu(form->Handle), menuBar->MenuHandle);
    EXPECT_EQ(GetMenuItemCount(menuBar->MenuHandle), 0);
    EXPECT_EQ(form->FirstMenu, menuBar);
    EXPECT_EQ(menuBar->NextMenu, listMenu);
    EXPECT_NE(GetMenu(form->Handle), listMenu->MenuHandle);
    ASSERT_EQ(GetMenuItemCount(listMenu->MenuHandle), 3);
    EXPECT_EQ(GetMenuItemID(listMenu->MenuHandle, 0), 4096u);
    EXPECT_EQ(GetMenuItemID(listMenu->MenuHandle, 1), 4097u);
    EXPECT_EQ(GetMenuItemID(listMenu->MenuHandle, 2), 4098u);
    EXPECT_EQ(MenuItemAt(listMenu, 1)->ItemCaption, "Copy All");
    EXPECT_EQ(MenuItemAt(listMenu, 4098)->ItemCaption, "Save to File");
    ReleaseForm(form);
}

} // namespace
