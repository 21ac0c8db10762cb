// Menus on real windows: template entries numbered in pre-order, check and radio items
// chosen through real commands.
#include "layer/dispatch.h"
#include "layer/menu.h"
#include "window_test_support.h"

namespace {

using MenuTest = WindowTest;

TEST_F(MenuTest, TemplateEntriesBecomeItemsNumberedInPreOrder) {
    Control* form = CreateFormControl(nullptr, "Layer Test");
    Menu* menu = BuildMenu(form, {"File", "(", "Open", "-", "-Check", "+!Radio A", "-!Radio B",
                                  "-!!Radio C", ")", "Help", ""});
    ASSERT_EQ(GetMenuItemCount(menu->MenuHandle), 2);
    std::string found;
    for (int32_t i = 0; Menu* item = MenuItemAt(menu, i); ++i) {
        found += item->ItemCaption + "|";
        EXPECT_EQ(ItemIndexOf(menu, item), i);
        EXPECT_EQ(MenuItemAt(menu, static_cast<int32_t>(item->CommandId)), item);
    }
    EXPECT_EQ(found, "File|Open||Check|Radio A|Radio B|Radio C|Help|");
    EXPECT_EQ(GetSubMenu(menu->MenuHandle, 0), MenuItemAt(menu, 0)->MenuHandle);

    // Choosing the check item toggles it; choosing Radio B moves the mark within its group.
    const HWND window = EnsureWindow(form);
    auto checked = [&](int32_t index) {
        return ItemState(MenuItemAt(menu, index), kItemCheckedMask);
    };
    EXPECT_EQ(std::vector({checked(3), checked(4), checked(5)}), std::vector({false, true, false}));
    for (int32_t index : {3, 5})
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(MenuItemAt(menu, index)->CommandId, 0), 0);
    EXPECT_EQ(std::vector({checked(3), checked(4), checked(5), checked(6)}),
              std::vector({true, false, true, false}));
    ReleaseForm(form);
}

} // namespace
