// Menus on real windows: command numbering, template entries in pre-order, item states in the
// platform's menu, chosen items reaching their handlers, and where the context menu pops up.
#include "layer/dispatch.h"
#include "layer/menu.h"
#include "window_test_support.h"

#include <thread>

namespace {

using MenuTest = WindowTest;

struct Chosen {
    std::vector<std::string> log;
    void Common(Menu*, int32_t index) { log.push_back("common " + std::to_string(index)); }
    void Own(Menu*, int32_t index) { log.push_back("own " + std::to_string(index)); }
};

// Asks the list for its context menu; another thread notes where the menu came up and presses
// the keys in it.
std::pair<LONG, LONG> PopUp(Control* list, LPARAM at, const std::vector<WPARAM>& keys) {
    std::pair<LONG, LONG> corner{-9999, -9999};
    std::thread user([&] {
        HWND popup = nullptr;
        for (int wait = 0; wait < 2000 && popup == nullptr; ++wait, Sleep(10))
            for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, "#32768", nullptr)) != nullptr;)
                popup = IsWindowVisible(w) ? w : popup;
        RECT r{};
        GetWindowRect(popup, &r);
        corner = {r.left, r.top};
        for (WPARAM key : keys)
            PostMessageA(popup, WM_KEYDOWN, key, 0);
        WaitFor([&] { return !IsWindowVisible(popup); }, 20000);
        EndMenu();
    });
    SendMessageA(list->Handle, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list->Handle), at);
    user.join();
    return corner;
}

// Command numbering is process-wide, so this test comes first in its program: an empty menu bar
// built first has no items, and the context menu built next numbers from 4096. It pops up at the
// mouse's point, or from the keyboard at the bottom left of the current entry (just above and
// left of the list without one); the item chosen reaches its own handler or the menu's common
// one. Which items are grayed shows in the main form's test of its states.
TEST_F(MenuTest, TheContextMenuPopsUpWhereAskedAndItsItemsReachTheirHandlers) {
    Chosen chosen;
    Control* form = CreateFormControl(nullptr, "Layer Test");
    Control* list = CreateListBox(form, kListBoxNoIntegralHeight);
    Menu* menuBar = BuildMenu(form, {""});
    Menu* listMenu = BuildMenu(form, {"Copy", "Copy All", "Save to File", ""},
                               MenuItemHandler::Bind<&Chosen::Common>(&chosen));
    AssignItemHandlers(listMenu, 1, {MenuItemHandler::Bind<&Chosen::Own>(&chosen)});
    SetContextMenu(list, listMenu);
    ASSERT_TRUE(CreateControlWindow(form));
    EXPECT_EQ(GetMenu(form->Handle), menuBar->MenuHandle);
    EXPECT_EQ(GetMenuItemCount(menuBar->MenuHandle), 0);
    EXPECT_EQ(GetMenuItemID(listMenu->MenuHandle, 2), 4098u); // "Save to File"

    for (const char* entry : {"a", "b", "c"})
        AddItem(list, entry);
    // The first entry added is selected; extended selection, no integral height, strings.
    EXPECT_EQ(std::vector({SendMessageA(list->Handle, LB_GETSELCOUNT, 0, 0),
                           SendMessageA(list->Handle, LB_GETSEL, 0, 0),
                           LRESULT(GetWindowLongA(list->Handle, GWL_STYLE) & 0xFFFF)}),
              std::vector<LRESULT>(
                  {1, 1, LBS_NOTIFY | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT | LBS_EXTENDEDSEL}));
    RECT second{};
    SendMessageA(list->Handle, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&second));
    const auto onScreen = [&](LONG x, LONG y) {
        POINT p{x, y};
        ClientToScreen(list->Handle, &p);
        return std::pair{p.x, p.y};
    };
    // Entry clicked last (an empty list has none), where asked, keys pressed, where it came up.
    const std::tuple<int32_t, LPARAM, std::vector<WPARAM>, std::pair<LONG, LONG>, std::string>
        cases[] = {
            {0, MAKELPARAM(300, 200), {VK_DOWN, VK_RETURN}, {300, 200}, "common 0"},
            {1, -1, {VK_DOWN, VK_DOWN, VK_RETURN}, onScreen(second.left, second.bottom), "own 1"},
            {-1, -1, {VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN}, onScreen(-1, -1), "common 2"},
        };
    for (const auto& [clicked, at, keys, corner, log] : cases) {
        chosen.log.clear();
        if (clicked < 0)
            ClearContent(list);
        const LONG y = second.top + 2 + (second.bottom - second.top) * (clicked - 1);
        for (UINT message : {UINT{WM_LBUTTONDOWN}, UINT{WM_LBUTTONUP}})
            SendMessageA(list->Handle, message, 0, MAKELPARAM(second.left + 5, y));
        EXPECT_EQ(PopUp(list, at, keys), corner) << log;
        ProcessPendingMessages(form);
        EXPECT_EQ(chosen.log, std::vector{log});
    }

    // A template's entries are numbered depth-first in pre-order, submenus and separators too.
    Menu* menu = BuildMenu(form, {"File", "(", "Open", "-", "Close", ")", "Help", ""});
    std::string found;
    for (int32_t i = 0; Menu* item = MenuItemAt(menu, i); ++i) {
        found += item->ItemCaption + "|";
        EXPECT_EQ(ItemIndexOf(menu, item), i);
        EXPECT_EQ(MenuItemAt(menu, static_cast<int32_t>(item->CommandId)), item);
    }
    EXPECT_EQ(found, "File|Open||Close|Help|");
    EXPECT_EQ(GetSubMenu(menu->MenuHandle, 0), MenuItemAt(menu, 0)->MenuHandle);
    ReleaseForm(form);
}

} // namespace
