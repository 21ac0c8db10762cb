#pragma once
// Control: the layer object that stands for one window (a form, a push button, a list box). The
// application works with these objects and never with window handles. Properties are stored in
// the object and applied to the window when it exists; the window is made on first need
// (EnsureWindow), hidden when that happens before the application loop, and shown by the loop.
#include "layer/bound_handler.h"
#include "layer/layer_object.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

class Control;
class Menu;
class PointerList;

// 32-bit colour: with bit 31 set, the low bits are a system colour index (GetSysColor);
// otherwise an RGB value 0x00BBGGRR.
using ColorValue = uint32_t;
constexpr ColorValue kButtonFaceColor = 0x8000000F;
constexpr ColorValue kWindowColor = 0x80000005;
constexpr ColorValue kDefaultTextColor = 8;
COLORREF RgbOf(ColorValue color);

// The message record handed to handlers. Handlers may change it in place; later handlers and
// the default processing see the changed record.
struct WindowMessage {
    HWND Window;
    UINT Message;
    WPARAM WParam;
    LPARAM LParam;
};

// A message handler attached to a control: answers true when it handled the message, in which
// case result is the message's result.
using MessageHandler = bool (*)(Control* control, WindowMessage& message, LRESULT& result);

// Per kind of control: the notification codes mapped to events and the message numbers of the
// item operations. A zero message number means the kind has no such message.
struct ControlKindTable {
    void (*Clear)(Control* control);
    WORD ClickNotification;
    WORD EnterNotification;
    WORD LeaveNotification;
    WORD ChangeNotification;
    WORD SelectionChangeNotification;
    UINT ItemCountMessage;
    UINT SetItemCountMessage;
    UINT ItemTextLengthMessage;
    UINT ItemTextMessage;
    UINT GetItemDataMessage;
    UINT SetItemDataMessage;
    UINT AddItemMessage;
    UINT DeleteItemMessage;
    UINT InsertItemMessage;
    UINT FindExactMessage;
    UINT FindPrefixMessage;
    UINT SelectedCountMessage;
    UINT IsSelectedMessage;
    UINT GetCurrentItemMessage;
    UINT SetCurrentItemMessage;
    UINT SelectItemMessage;
    UINT ItemRectMessage;
};

// Alignment of a child inside its parent's client area (geometry.h).
enum ControlAlignment : uint8_t {
    AlignNone = 0,
    AlignLeft = 1,
    AlignTop = 2,
    AlignRight = 3,
    AlignBottom = 4,
    AlignClient = 5,
};

// Bits of Control::AlignState.
constexpr uint8_t kNeedsAlignment = 1;
constexpr uint8_t kResizedByAlignment = 2;
constexpr uint8_t kAligningChildren = 4;

// Events: called with the raising control as the sender.
using NotifyHandler = BoundHandler<Control*>;
// Dropped files: the names separated by a single CR, and the drop point in client coordinates.
using DropFilesHandlerType = BoundHandler<Control*, const std::string&, POINT>;

// Bits of the option set of CreateListBox (bit i of the set).
using ListBoxOptions = uint32_t;
constexpr ListBoxOptions kListBoxNoIntegralHeight = 1u << 4;

class Control : public LayerObject {
  public:
    Control();

    HWND Handle = nullptr;
    UINT ClassStyle = CS_OWNDC;
    DWORD Style = WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    DWORD ExStyle = 0;
    HICON Icon = nullptr;
    bool IconLoaded = false;
    bool IconIsCopy = false;
    uint8_t SizeType = 0;
    // The system class's procedure that default processing calls; null for forms.
    WNDPROC BaseWindowProc = nullptr;
    Control* Parent = nullptr;
    bool Enabled = true;
    bool Visible = true;
    bool TabStop = false;
    int32_t TabOrder = 0;
    // Forms: the last tab order handed to a child.
    int32_t TabOrderCounter = 0;
    // Pairs (MessageHandler, keep-after-termination flag), tried newest first.
    PointerList* AttachedHandlers = nullptr;
    // Child controls in creation order.
    PointerList* Children = nullptr;
    HBRUSH Brush = nullptr;
    COLORREF BrushColor = 0;
    bool Destroying = false;
    bool WindowDestroyed = false;
    int32_t NestingDepth = 0;
    // Child controls: the control identifier. Forms: the menu-bar handle.
    UINT_PTR ControlId = 0;
    Menu* FirstMenu = nullptr;
    bool IsLayoutTop = false;
    bool IsChild = false;
    // Bit 0: left was set; bit 1: top was set.
    uint8_t PositionSet = 0;
    Menu* ContextMenu = nullptr;
    MessageHandler DispatchHook;
    const char* BaseClassName = nullptr;
    bool ChildrenThreeD = true;
    bool ThreeD = true;
    ColorValue TextColor = kDefaultTextColor;
    ColorValue Color = kButtonFaceColor;
    int32_t Margin = 2;
    RECT Bounds{0, 0, 0, 0};
    NotifyHandler ClickHandler;
    // Forms: the child that has, or last had, the focus.
    Control* CurrentControl = nullptr;
    bool ShowPending = false;
    uint8_t FocusDepth = 0;
    ControlKindTable KindTable;
    ControlAlignment Alignment = AlignNone;
    uint8_t AlignState = 0;
    NotifyHandler ResizeHandler;
    DropFilesHandlerType DropFilesHandler;
    std::string Caption;

  protected:
    ~Control() override = default;
    void Destroy() override;
};

// Creation. None of them makes a window yet.
Control* CreateFormControl(Control* parent, std::string_view caption);
Control* CreateButton(Control* parent, std::string_view caption);
Control* CreateListBox(Control* parent, ListBoxOptions options);
void AttachToParent(Control* control, Control* parent);

// Windows.
// The window, made first (hidden, to be shown by the next CreateControlWindow) when there is
// none; null when it cannot be made. A control whose window the platform has destroyed gets no
// new one.
HWND EnsureWindow(Control* control);
bool CreateControlWindow(Control* control);
void CreateChildWindows(Control* control);
LRESULT SendToWindow(Control* control, UINT message, WPARAM wParam, LPARAM lParam);
void Invalidate(Control* control);
// Stops (false) or resumes (true) drawing the window while its content changes in bulk: every
// change of a visible list box is drawn at once otherwise, which makes adding many items slow.
void SetRedraw(Control* control, bool redraw);
// Paints the window's invalid parts now instead of when the message queue is empty.
void PaintNow(Control* control);

// Properties.
void SetCaption(Control* control, std::string_view text);
std::string GetCaption(Control* control);
void SetEnabled(Control* control, bool enabled);
bool IsEnabled(Control* control);
void SetVisible(Control* control, bool visible);
void SetColor(Control* control, ColorValue color);
void SetDropFilesHandler(Control* control, DropFilesHandlerType handler);
// List box: removes every item; button or form: empties the caption.
void ClearContent(Control* control);
// The form a control belongs to: up through the parents while the control is a child; null
// when there is none.
Control* OwningForm(Control* control);

// List box items.
int32_t ItemCount(Control* control);
std::string ItemText(Control* control, int32_t index);
int32_t AddItem(Control* control, std::string_view text);
int32_t CurrentIndex(Control* control);
void SetCurrentIndex(Control* control, int32_t index);
