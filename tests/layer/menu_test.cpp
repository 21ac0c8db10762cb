// Menus on real windows: template entries and positions, item state, and the context menu
// popped up by the mouse and the keyboard and driven with real keys.
#include "layer/control.h"
#include "layer/dispatch.h"
#include "layer/geometry.h"
#include "layer/menu.h"
#include "window_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using MenuTest = WindowTest;

UINT StateOf(Menu* item) {
    return GetMenuState(item->ParentMenu->MenuHandle, item->CommandId, MF_BYCOMMAND);
}

TEST_F(MenuTest, TemplateEntriesBecomeItemsNumberedInPreOrder) {
    Control* form = CreateFormControl(nullptr, "Layer Test");
    BuildMenu(form, {""});
    Menu* menu = BuildMenu(form, {"File", "(", "Open", "-", "-Check", "+!Radio A", "-!Radio B",
                                  "-!!Radio C", ")", "Help", ""});
    ASSERT_EQ(GetMenuItemCount(menu->MenuHandle), 2);
    const std::vector<std::string> captions{"File",    "Open",    "",        "Check",
                                            "Radio A", "Radio B", "Radio C", "Help"};
    for (int32_t i = 0; i < static_cast<int32_t>(captions.size()); ++i) {
        Menu* item = MenuItemAt(menu, i);
        ASSERT_NE(item, nullptr) << i;
        EXPECT_EQ(item->ItemCaption, captions[static_cast<size_t>(i)]) << i;
        EXPECT_EQ(ItemIndexOf(menu, item), i);
        EXPECT_EQ(MenuItemAt(menu, static_cast<int32_t>(item->CommandId)), item);
    }
    EXPECT_EQ(MenuItemAt(menu, 8), nullptr);
    EXPECT_EQ(MenuItemAt(menu, -1), menu);
    EXPECT_EQ(ItemIndexOf(menu, MenuItemAt(form->FirstMenu, 0)), -2);

    Menu* file = MenuItemAt(menu, 0);
    ASSERT_NE(file->MenuHandle, nullptr);
    EXPECT_EQ(GetSubMenu(menu->MenuHandle, 0), file->MenuHandle);
    EXPECT_EQ(GetMenuItemCount(file->MenuHandle), 6);
    EXPECT_TRUE(MenuItemAt(menu, 2)->IsSeparator);
    EXPECT_NE(StateOf(MenuItemAt(menu, 2)) & MF_SEPARATOR, 0u);
    EXPECT_TRUE(MenuItemAt(menu, 3)->IsCheckItem);
    EXPECT_FALSE(ItemState(MenuItemAt(menu, 3), kItemCheckedMask));
    EXPECT_TRUE(ItemState(MenuItemAt(menu, 4), kItemCheckedMask));
    EXPECT_EQ(MenuItemAt(menu, 4)->RadioGroup, 1u);
    EXPECT_EQ(MenuItemAt(menu, 5)->RadioGroup, 1u);
    EXPECT_EQ(MenuItemAt(menu, 6)->RadioGroup, 2u);

    // Choosing the check item toggles it; choosing Radio B moves the mark within its group.
    const HWND window = EnsureWindow(form);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(MenuItemAt(menu, 3)->CommandId, 0), 0);
    EXPECT_TRUE(ItemState(MenuItemAt(menu, 3), kItemCheckedMask));
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(MenuItemAt(menu, 5)->CommandId, 0), 0);
    EXPECT_FALSE(ItemState(MenuItemAt(menu, 4), kItemCheckedMask));
    EXPECT_TRUE(ItemState(MenuItemAt(menu, 5), kItemCheckedMask));
    ReleaseForm(form);
}

TEST_F(MenuTest, DisabledPopupItemsAreGrayedAndEnabledAgain) {
    Control* form = CreateFormControl(nullptr, "Layer Test");
    BuildMenu(form, {""});
    Menu* listMenu = BuildMenu(form, {"Copy", "Copy All", "Save to File", ""});
    SetItemEnabled(MenuItemAt(listMenu, 1), false);
    SetItemEnabled(MenuItemAt(listMenu, 2), false);
    EXPECT_EQ(StateOf(MenuItemAt(listMenu, 0)) & MF_GRAYED, 0u);
    EXPECT_NE(StateOf(MenuItemAt(listMenu, 1)) & MF_GRAYED, 0u);
    EXPECT_NE(StateOf(MenuItemAt(listMenu, 2)) & MF_GRAYED, 0u);
    EXPECT_FALSE(ItemState(MenuItemAt(listMenu, 1), kItemEnabledMask));
    SetItemEnabled(MenuItemAt(listMenu, 1), true);
    SetItemEnabled(MenuItemAt(listMenu, 2), true);
    EXPECT_EQ(StateOf(MenuItemAt(listMenu, 1)) & (MF_GRAYED | MF_DISABLED), 0u);
    EXPECT_TRUE(ItemState(MenuItemAt(listMenu, 2), kItemEnabledMask));
    ReleaseForm(form);
}

// --- The context menu, driven as a user drives it -------------------------------------------

// While a pop-up menu is open its owner gets WM_ENTERIDLE with the menu's window; the test
// then records where the menu is and acts on it with real keys.
struct PopupScript {
    std::vector<WORD> keys; // empty: close the menu without choosing
    std::vector<RECT> menuRects;
};
PopupScript popupScript;

bool DriveOpenPopup(Control*, WindowMessage& message, LRESULT&) {
    if (message.Message != WM_ENTERIDLE || message.WParam != MSGF_MENU) {
        return false;
    }
    const auto menuWindow = reinterpret_cast<HWND>(message.LParam);
    RECT r{};
    GetWindowRect(menuWindow, &r);
    popupScript.menuRects.push_back(r);
    if (popupScript.keys.empty()) {
        EndMenu();
    }
    for (const WORD key : popupScript.keys) {
        TapKey(key);
    }
    popupScript.keys.clear();
    return false;
}

// A menu left open by a failed test must not hang it.
void CALLBACK CloseStuckMenu(HWND, UINT, UINT_PTR, DWORD) {
    EndMenu();
}

struct ChosenItems {
    std::vector<std::pair<Menu*, int32_t>> calls;
    void Chosen(Menu* sender, int32_t index) { calls.emplace_back(sender, index); }
};

struct ContextForm {
    Control* form;
    Control* list;
    Menu* listMenu;
};

ContextForm BuildContextForm(ChosenItems& chosen) {
    Control* form = CreateFormControl(nullptr, "Layer Test");
    SetPosition(form, 100, 100);
    SetClientSize(form, 400, 300);
    BuildMenu(form, {""});
    Menu* listMenu = BuildMenu(form, {"Copy", "Copy All", "Save to File", ""});
    const auto handler = MenuItemHandler::Bind<&ChosenItems::Chosen>(&chosen);
    AssignItemHandlers(listMenu, 0, {handler, handler, handler});
    Control* list = CreateListBox(form, kListBoxNoIntegralHeight);
    SetAlignment(list, AlignBottom);
    SetSize(list, 0, 200);
    SetContextMenu(list, listMenu);
    AttachHandler(form, DriveOpenPopup);
    return {form, list, listMenu};
}

TEST_F(MenuTest, RightClickOpensTheMenuAtTheMouseAndAChosenItemReachesItsHandler) {
    ChosenItems chosen;
    ContextForm f = BuildContextForm(chosen);
    AddItem(f.list, "one");
    ASSERT_TRUE(CreateControlWindow(f.form));
    ASSERT_TRUE(FocusWindow(f.form->Handle, f.list->Handle));
    SetTimer(nullptr, 0, 5000, CloseStuckMenu);

    POINT at = ScreenCenterOf(f.list->Handle);
    popupScript = PopupScript{{VK_DOWN, VK_DOWN, VK_RETURN}, {}};
    ClickAt(at, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
    const bool chose = PumpUntil([&] { return !chosen.calls.empty(); });
    ASSERT_EQ(popupScript.menuRects.size(), 1u);
    ASSERT_TRUE(chose);
    EXPECT_EQ(popupScript.menuRects[0].left, at.x);
    EXPECT_EQ(popupScript.menuRects[0].top, at.y);
    ASSERT_EQ(chosen.calls.size(), 1u);
    EXPECT_EQ(chosen.calls[0].first, f.listMenu);
    EXPECT_EQ(chosen.calls[0].second, 1);

    // A grayed item cannot be chosen.
    SetItemEnabled(MenuItemAt(f.listMenu, 1), false);
    chosen.calls.clear();
    popupScript = PopupScript{{VK_DOWN, VK_DOWN, VK_RETURN, VK_ESCAPE}, {}};
    ClickAt(at, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
    ASSERT_TRUE(PumpUntil([] { return !popupScript.menuRects.empty(); }));
    PumpFor(300);
    for (const auto& call : chosen.calls) {
        EXPECT_NE(call.second, 1);
    }
    ReleaseForm(f.form);
}

TEST_F(MenuTest, TheKeyboardOpensTheMenuBelowTheCurrentEntryOrAtTheListOrigin) {
    ChosenItems chosen;
    ContextForm f = BuildContextForm(chosen);
    ASSERT_TRUE(CreateControlWindow(f.form));
    ASSERT_TRUE(FocusWindow(f.form->Handle, f.list->Handle));
    SetTimer(nullptr, 0, 5000, CloseStuckMenu);

    // No current entry: just above and left of the client area.
    ASSERT_LT(CurrentIndex(f.list), 0);
    popupScript = PopupScript{};
    PressKey(VK_SHIFT);
    TapKey(VK_F10);
    ReleaseKey(VK_SHIFT);
    ASSERT_TRUE(PumpUntil([] { return !popupScript.menuRects.empty(); }));
    POINT origin{0, 0};
    ClientToScreen(f.list->Handle, &origin);
    EXPECT_EQ(popupScript.menuRects[0].left, origin.x - 1);
    EXPECT_EQ(popupScript.menuRects[0].top, origin.y - 1);
    PumpFor(50);

    // With a current entry: at the left end of its bottom edge.
    for (const char* line : {"one", "two", "three"}) {
        AddItem(f.list, line);
    }
    SendMessageA(f.list->Handle, LB_SETCARETINDEX, 1, FALSE);
    ASSERT_EQ(CurrentIndex(f.list), 1);
    RECT entry{};
    SendMessageA(f.list->Handle, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&entry));
    POINT below{entry.left, entry.bottom};
    ClientToScreen(f.list->Handle, &below);
    popupScript = PopupScript{};
    PressKey(VK_SHIFT);
    TapKey(VK_F10);
    ReleaseKey(VK_SHIFT);
    ASSERT_TRUE(PumpUntil([] { return !popupScript.menuRects.empty(); }));
    EXPECT_EQ(popupScript.menuRects[0].left, below.x);
    EXPECT_EQ(popupScript.menuRects[0].top, below.y);
    PumpFor(50);
    EXPECT_TRUE(chosen.calls.empty());
    ReleaseForm(f.form);
}

TEST_F(MenuTest, AnItemWithoutHandlerFallsBackToTheCommonHandlerAndCountsAsHandled) {
    ChosenItems common;
    Control* form = CreateFormControl(nullptr, "Layer Test");
    Menu* bar =
        BuildMenu(form, {"One", "Two", ""}, MenuItemHandler::Bind<&ChosenItems::Chosen>(&common));
    Menu* silent = BuildMenu(form, {"Quiet", ""});
    const HWND window = EnsureWindow(form);
    EXPECT_EQ(GetMenu(window), bar->MenuHandle);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(MenuItemAt(bar, 1)->CommandId, 0), 0);
    ASSERT_EQ(common.calls.size(), 1u);
    EXPECT_EQ(common.calls[0].first, bar);
    EXPECT_EQ(common.calls[0].second, 1);
    // Handled without any handler: the default processing does not see it.
    EXPECT_EQ(SendMessageA(window, WM_COMMAND, MAKEWPARAM(MenuItemAt(silent, 0)->CommandId, 0), 0),
              0);
    EXPECT_EQ(common.calls.size(), 1u);
    ReleaseForm(form);
}

} // namespace
