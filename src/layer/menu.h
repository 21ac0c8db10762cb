#pragma once
// Menus built from templates of captions. The first menu built for a form becomes its menu bar;
// every later menu of the same owner is a pop-up menu chained behind it, and the commands of all
// of them reach the owner's menu command handler. Items are numbered depth-first in pre-order
// (the menu itself is -1, its first item 0); command identifiers count from 4096 across the
// process.
//
// Template entries: "" or null ends the template (and the current submenu level); "-" is a
// separator; "(" gives the entry before it a submenu made of the entries up to the matching ")";
// a text starting with "-" is an unchecked check item, with "+" a checked one, and "-!" / "+!"
// a radio item ("!!" starts a new radio group); any other text is a plain item.
#include "layer/bound_handler.h"
#include "layer/control.h"
#include "layer/layer_object.h"

#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <string>

class Menu;
class PointerList;

// Called with the menu object that owns the chosen item and the item's position.
using MenuItemHandler = BoundHandler<Menu*, int32_t>;

constexpr UINT kFirstCommandId = 4096;
// Item state masks; bit 31 stands for the negation of the bits below it.
constexpr UINT kItemEnabledMask = 0x80000003;
constexpr UINT kItemCheckedMask = MFS_CHECKED;

class Menu : public LayerObject {
  public:
    Menu();

    // Top object: the menu bar or pop-up menu. Item: its submenu, or null.
    HMENU MenuHandle = nullptr;
    // Item: the command identifier; top object: 0.
    UINT CommandId = 0;
    // Top object: the control that owns the menu and receives its commands.
    Control* Owner = nullptr;
    // Top object: the next menu in the owner's chain.
    Menu* NextMenu = nullptr;
    // Item: its own handler. Top object: the common handler of all items.
    MenuItemHandler ItemHandler;
    bool FromAccelerator = false;
    UINT PopupFlags = 0;
    // Item: the last known state of the item in the platform menu.
    UINT StateCache = 0;
    Menu* ParentMenu = nullptr;
    PointerList* Items = nullptr;
    uint32_t RadioGroup = 0;
    bool IsCheckItem = false;
    bool IsSeparator = false;
    bool InPlatformMenu = true;
    std::string ItemCaption;

  protected:
    ~Menu() override = default;
    void Destroy() override;
};

Menu* BuildMenu(Control* owner, const char* const* entries, int32_t lastIndex,
                MenuItemHandler commonHandler);
Menu* BuildMenu(Control* owner, std::initializer_list<const char*> entries,
                MenuItemHandler commonHandler = {});
// Handler i goes to the item at position firstIndex + i; stops at a position without an item.
void AssignItemHandlers(Menu* menu, int32_t firstIndex,
                        std::initializer_list<MenuItemHandler> handlers);

// The item at a pre-order position, or, for 4096 and above, the item with that command
// identifier; null when there is none.
Menu* MenuItemAt(Menu* menu, int32_t index);
// The pre-order position of item in menu's tree; -2 when it is not there.
int32_t ItemIndexOf(Menu* menu, Menu* item);

bool ItemState(Menu* item, UINT mask);
void SetItemState(Menu* item, UINT mask, bool flag);
void SetItemEnabled(Menu* item, bool enabled);

void SetMenuBar(Control* form, HMENU menuHandle);
void SetContextMenu(Control* control, Menu* menu);
// Shows the pop-up menu at screen point (x, y); returns when it closes.
BOOL PopupMenuAt(Menu* menu, int32_t x, int32_t y);

bool MenuCommandHandler(Control* control, WindowMessage& message, LRESULT& result);
bool ContextMenuHandler(Control* control, WindowMessage& message, LRESULT& result);
