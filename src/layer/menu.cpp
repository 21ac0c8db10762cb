#include "layer/menu.h"

#include "layer/dispatch.h"
#include "layer/geometry.h"
#include "layer/pointer_list.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace {

constexpr int32_t kListGrowth = 4;
constexpr int32_t kNotInTree = -2;
constexpr UINT kNegatedMask = 0x80000000;
constexpr ULONG_PTR kCheckItemData = 0x40000000;
constexpr ULONG_PTR kRadioItemData = 0x80000000;

// Command identifiers of menu items, separators included, across the process.
UINT nextCommandId = kFirstCommandId;

// Windows before 98 and NT 4 know only the short record, without its last field.
UINT MenuItemInfoSize() {
    static const UINT size = [] {
        const DWORD version = GetVersion();
        const DWORD major = version & 0xFF;
        const DWORD minor = (version >> 8) & 0xFF;
        const bool windows9x = (version & 0x80000000) != 0;
        const bool current = windows9x ? (major > 4 || (major == 4 && minor >= 10)) : major >= 5;
        return static_cast<UINT>(current ? sizeof(MENUITEMINFOA)
                                         : offsetof(MENUITEMINFOA, hbmpItem));
    }();
    return size;
}

MENUITEMINFOA StateRecord() {
    MENUITEMINFOA info{};
    info.cbSize = MenuItemInfoSize();
    info.fMask = MIIM_STATE;
    return info;
}

Menu* ItemOf(const Menu* menu, int32_t index) {
    return static_cast<Menu*>(menu->Items->ItemAt(index));
}

// Walks the items below menu depth first in pre-order, numbering them from next on, until
// found answers true for one of them.
template <class Predicate> Menu* FindInTree(Menu* menu, int32_t& next, Predicate found) {
    for (int32_t i = 0; i < menu->Items->Count(); ++i) {
        Menu* item = ItemOf(menu, i);
        if (found(item, next++)) {
            return item;
        }
        if (Menu* inner = FindInTree(item, next, found)) {
            return inner;
        }
    }
    return nullptr;
}

bool IsEntry(const char* entry, std::string_view text) {
    return entry != nullptr && std::string_view(entry) == text;
}

// Parses template entries from `from` on into items of parent (platform menu handle). Returns
// the index where parsing stopped: at an end entry, or just after the ")" closing this level.
int32_t AddMenuItems(Menu* parent, HMENU handle, int32_t from, const char* const* entries,
                     int32_t last) {
    int32_t i = from;
    Menu* previous = nullptr;
    while (i <= last) {
        const char* entry = entries[i];
        if (entry == nullptr || *entry == '\0') {
            return i;
        }
        if (IsEntry(entry, ")")) {
            return i + 1;
        }
        auto* item = new Menu();
        item->ParentMenu = parent;
        parent->Items->Add(item);

        MENUITEMINFOA info{};
        info.cbSize = MenuItemInfoSize();
        info.fMask = MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_TYPE | MIIM_DATA;
        const char* caption = entry;
        if (IsEntry(entry, "-")) {
            item->IsSeparator = true;
            info.fType = MFT_SEPARATOR;
            info.fState = MFS_GRAYED;
        } else if (*caption == '-' || *caption == '+') {
            item->IsCheckItem = true;
            info.dwItemData = kCheckItemData;
            if (*caption == '+') {
                info.fState |= MFS_CHECKED;
            }
            ++caption;
            if (*caption == '!') {
                info.fType |= MFT_RADIOCHECK;
                info.dwItemData |= kRadioItemData;
                ++caption;
                item->RadioGroup =
                    previous != nullptr && previous->RadioGroup != 0 ? previous->RadioGroup : 1;
                if (*caption == '!') {
                    ++caption;
                    ++item->RadioGroup;
                }
            }
        }
        if (!item->IsSeparator) {
            item->ItemCaption = caption;
        }
        item->CommandId = nextCommandId++;
        info.wID = item->CommandId;
        const bool hasSubmenu = i < last && IsEntry(entries[i + 1], "(");
        if (hasSubmenu) {
            item->MenuHandle = CreatePopupMenu();
        }
        info.hSubMenu = item->MenuHandle;
        info.dwTypeData = const_cast<char*>(caption);
        info.cch = static_cast<UINT>(std::strlen(caption));
        InsertMenuItemA(handle, 0xFFFFFFFF, TRUE, &info);
        i = hasSubmenu ? AddMenuItems(item, item->MenuHandle, i + 2, entries, last) : i + 1;
        previous = item;
    }
    return i;
}

// Refreshes the cached state from the platform menu; a failed query leaves it as it was.
void RefreshStateCache(Menu* item) {
    if (!item->InPlatformMenu || item->ParentMenu == nullptr) {
        return;
    }
    MENUITEMINFOA info = StateRecord();
    if (GetMenuItemInfoA(item->ParentMenu->MenuHandle, item->CommandId, FALSE, &info) != 0) {
        item->StateCache = info.fState;
    }
}

// Gives a radio item the mark within the run of neighbouring items of its group.
void CheckRadioItem(Menu* item) {
    Menu* parent = item->ParentMenu;
    const int32_t index = parent->Items->IndexOf(item);
    int32_t first = index;
    int32_t last = index;
    while (first > 0 && ItemOf(parent, first - 1)->RadioGroup == item->RadioGroup) {
        --first;
    }
    while (last + 1 < parent->Items->Count() &&
           ItemOf(parent, last + 1)->RadioGroup == item->RadioGroup) {
        ++last;
    }
    CheckMenuRadioItem(parent->MenuHandle, ItemOf(parent, first)->CommandId,
                       ItemOf(parent, last)->CommandId, item->CommandId, MF_BYCOMMAND);
}

// Takes menu out of its owner's chain. Only the owner's first menu takes the chain behind it
// along; a menu further down leaves the rest of the chain linked.
bool UnlinkFromOwner(Menu* menu) {
    Control* owner = menu->Owner;
    if (owner == nullptr || menu->ParentMenu != nullptr) {
        return false;
    }
    if (owner->FirstMenu == menu) {
        owner->FirstMenu = nullptr;
        return true;
    }
    for (Menu* m = owner->FirstMenu; m != nullptr; m = m->NextMenu) {
        if (m->NextMenu == menu) {
            m->NextMenu = menu->NextMenu;
            menu->NextMenu = nullptr;
            break;
        }
    }
    return false;
}

} // namespace

Menu::Menu() : Items(new PointerList(kListGrowth)) {}

void Menu::Destroy() {
    for (int32_t i = Items->Count() - 1; i >= 0; --i) {
        Release(ItemOf(this, i));
    }
    if (ParentMenu != nullptr) {
        RemoveMenu(ParentMenu->MenuHandle, CommandId, MF_BYCOMMAND);
        ParentMenu->Items->Remove(this);
    }
    if (Owner != nullptr && MenuHandle != nullptr &&
        Owner->ControlId == reinterpret_cast<UINT_PTR>(MenuHandle)) {
        if (!Owner->IsBeingDestroyed() && Owner->Handle != nullptr) {
            SetMenu(Owner->Handle, nullptr);
        }
        Owner->ControlId = 0;
    }
    const bool wasFirstMenu = UnlinkFromOwner(this);
    if (MenuHandle != nullptr) {
        DestroyMenu(MenuHandle);
        MenuHandle = nullptr;
    }
    Release(Items);
    if (wasFirstMenu) {
        Menu* next = NextMenu;
        NextMenu = nullptr;
        Release(next);
    }
    LayerObject::Destroy();
}

Menu* BuildMenu(Control* owner, const char* const* entries, int32_t lastIndex,
                MenuItemHandler commonHandler) {
    auto* menu = new Menu();
    menu->ItemHandler = commonHandler;
    if (lastIndex >= 0 && entries[0] != nullptr) {
        const bool menuBar = owner != nullptr && !owner->IsChild && owner->FirstMenu == nullptr;
        menu->MenuHandle = menuBar ? CreateMenu() : CreatePopupMenu();
        AddMenuItems(menu, menu->MenuHandle, 0, entries, lastIndex);
    }
    if (owner == nullptr) {
        return menu;
    }
    menu->Owner = owner;
    if (owner->FirstMenu != nullptr) {
        Menu* tail = owner->FirstMenu;
        while (tail->NextMenu != nullptr) {
            tail = tail->NextMenu;
        }
        tail->NextMenu = menu;
        return menu;
    }
    if (!owner->IsChild) {
        SetMenuBar(owner, menu->MenuHandle);
    }
    owner->FirstMenu = menu;
    AttachHandler(owner, MenuCommandHandler);
    ReleaseTogether(owner, menu);
    return menu;
}

Menu* BuildMenu(Control* owner, std::initializer_list<const char*> entries,
                MenuItemHandler commonHandler) {
    return BuildMenu(owner, entries.begin(), static_cast<int32_t>(entries.size()) - 1,
                     commonHandler);
}

void AssignItemHandlers(Menu* menu, int32_t firstIndex,
                        std::initializer_list<MenuItemHandler> handlers) {
    int32_t index = firstIndex;
    for (const MenuItemHandler& handler : handlers) {
        Menu* item = MenuItemAt(menu, index++);
        if (item == nullptr) {
            return;
        }
        item->ItemHandler = handler;
    }
}

Menu* MenuItemAt(Menu* menu, int32_t index) {
    if (index == -1) {
        return menu;
    }
    int32_t next = 0;
    if (index >= static_cast<int32_t>(kFirstCommandId)) {
        const auto command = static_cast<UINT>(index);
        return FindInTree(menu, next,
                          [command](Menu* item, int32_t) { return item->CommandId == command; });
    }
    return FindInTree(menu, next, [index](Menu*, int32_t position) { return position == index; });
}

int32_t ItemIndexOf(Menu* menu, Menu* item) {
    if (item == menu) {
        return -1;
    }
    int32_t next = 0;
    int32_t found = kNotInTree;
    FindInTree(menu, next, [item, &found](Menu* candidate, int32_t position) {
        if (candidate != item) {
            return false;
        }
        found = position;
        return true;
    });
    return found;
}

bool ItemState(Menu* item, UINT mask) {
    RefreshStateCache(item);
    const bool any = (item->StateCache & mask & ~kNegatedMask) != 0;
    return (mask & kNegatedMask) != 0 ? !any : any;
}

void SetItemState(Menu* item, UINT mask, bool flag) {
    RefreshStateCache(item);
    const bool set = (mask & kNegatedMask) != 0 ? !flag : flag;
    const UINT bits = mask & ~kNegatedMask;
    item->StateCache = set ? (item->StateCache | bits) : (item->StateCache & ~bits);
    if (!item->InPlatformMenu || item->ParentMenu == nullptr) {
        return;
    }
    HMENU parentHandle = item->ParentMenu->MenuHandle;
    MENUITEMINFOA info = StateRecord();
    GetMenuItemInfoA(parentHandle, item->CommandId, FALSE, &info);
    info.fState = item->StateCache;
    if (SetMenuItemInfoA(parentHandle, item->CommandId, FALSE, &info) == 0) {
        return;
    }
    // Only a menu bar needs redrawing; a pop-up menu shows its state when it is next opened.
    const Menu* top = item->ParentMenu;
    const Control* owner = top->Owner;
    if (top->ParentMenu == nullptr && owner != nullptr && owner->FirstMenu == top &&
        !ApplicationTerminated && owner->Handle != nullptr) {
        DrawMenuBar(owner->Handle);
    }
}

void SetItemEnabled(Menu* item, bool enabled) {
    SetItemState(item, kItemEnabledMask, enabled);
}

void SetMenuBar(Control* form, HMENU menuHandle) {
    if (form->ControlId == reinterpret_cast<UINT_PTR>(menuHandle)) {
        return;
    }
    if (form->FirstMenu != nullptr) {
        Menu* previous = form->FirstMenu;
        RemoveFromReleaseList(form, previous);
        Release(previous);
    }
    if (form->ControlId != 0) {
        DestroyMenu(reinterpret_cast<HMENU>(form->ControlId));
    }
    form->ControlId = reinterpret_cast<UINT_PTR>(menuHandle);
    if (form->Handle != nullptr) {
        SetMenu(form->Handle, menuHandle);
    }
}

void SetContextMenu(Control* control, Menu* menu) {
    control->ContextMenu = menu;
    AttachHandler(control, ContextMenuHandler);
}

BOOL PopupMenuAt(Menu* menu, int32_t x, int32_t y) {
    const HWND owner = menu->Owner != nullptr ? menu->Owner->Handle : nullptr;
    return TrackPopupMenu(menu->MenuHandle, menu->PopupFlags, x, y, 0, owner, nullptr);
}

bool MenuCommandHandler(Control* control, WindowMessage& message, LRESULT& result) {
    const WORD source = HIWORD(message.WParam);
    if (message.Message != WM_COMMAND || message.LParam != 0 || source > 1) {
        return false;
    }
    Menu* menu = control->FirstMenu;
    for (Control* c = control->Parent; menu == nullptr && c != nullptr; c = c->Parent) {
        menu = c->FirstMenu;
    }
    for (; menu != nullptr; menu = menu->NextMenu) {
        Menu* item = MenuItemAt(menu, LOWORD(message.WParam));
        if (item == nullptr) {
            continue;
        }
        result = 0;
        const int32_t index = ItemIndexOf(menu, item);
        menu->FromAccelerator = source != 0;
        if (item->RadioGroup != 0 && item->ParentMenu != nullptr) {
            CheckRadioItem(item);
        } else if (item->IsCheckItem) {
            SetItemState(item, kItemCheckedMask, !ItemState(item, kItemCheckedMask));
        }
        if (item->ItemHandler.IsSet()) {
            item->ItemHandler(menu, index);
        } else {
            menu->ItemHandler(menu, index);
        }
        return true;
    }
    return false;
}

bool ContextMenuHandler(Control* control, WindowMessage& message, LRESULT& result) {
    if (message.Message != WM_CONTEXTMENU || control->ContextMenu == nullptr) {
        return false;
    }
    int32_t x = static_cast<int16_t>(LOWORD(message.LParam));
    int32_t y = static_cast<int16_t>(HIWORD(message.LParam));
    // From the keyboard: below the current entry, or just above and left of the client area.
    if (static_cast<DWORD>(message.LParam) == 0xFFFFFFFF) {
        x = -1;
        y = -1;
        const int32_t current = CurrentIndex(control);
        const UINT itemRectMessage = control->KindTable.ItemRectMessage;
        if (current >= 0 && itemRectMessage != 0) {
            RECT item{0, 0, 0, 0};
            SendToWindow(control, itemRectMessage, static_cast<WPARAM>(current),
                         reinterpret_cast<LPARAM>(&item));
            const RECT client = ClientRect(control);
            x = std::clamp<int32_t>(item.left, client.left, client.right);
            y = std::clamp<int32_t>(item.bottom, client.top, client.bottom);
        }
        POINT point{x, y};
        ClientToScreen(control->Handle, &point);
        x = point.x;
        y = point.y;
    }
    PopupMenuAt(control->ContextMenu, x, y);
    result = 0;
    return true;
}
