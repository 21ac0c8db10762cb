#include "layer/control.h"

#include "layer/dispatch.h"
#include "layer/geometry.h"
#include "layer/pointer_list.h"

#include <shellapi.h>

#include <array>
#include <string>

namespace {

// Control identifiers of child windows: one per child control created.
uint16_t nextControlId = 0x8000;

constexpr int32_t kListGrowth = 4;
constexpr int32_t kDefaultChildSize = 64;
constexpr int32_t kButtonHeight = 22;
constexpr DWORD kButtonStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_NOTIFY | BS_PUSHLIKE;
constexpr DWORD kListBoxStyle =
    WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY;
// Class styles that must not pass from a system class to the layer's copy of it.
constexpr UINT kUnsharedClassStyles =
    ~static_cast<UINT>(CS_OWNDC | CS_CLASSDC | CS_PARENTDC | CS_GLOBALCLASS);

bool ReportsNotHandled(Control*, WindowMessage&, LRESULT&) {
    return false;
}

void ClearCaption(Control* control) {
    SetCaption(control, "");
}
void ResetListBoxContent(Control* control) {
    SendToWindow(control, LB_RESETCONTENT, 0, 0);
}

ControlKindTable FormKind() {
    ControlKindTable kind{};
    kind.Clear = &ClearCaption;
    return kind;
}

ControlKindTable ButtonKind() {
    ControlKindTable kind = FormKind();
    kind.ClickNotification = BN_CLICKED;
    kind.EnterNotification = BN_SETFOCUS;
    kind.LeaveNotification = BN_KILLFOCUS;
    return kind;
}

ControlKindTable ListBoxKind() {
    ControlKindTable kind{};
    kind.Clear = &ResetListBoxContent;
    kind.ClickNotification = LBN_DBLCLK;
    kind.EnterNotification = LBN_SETFOCUS;
    kind.LeaveNotification = LBN_KILLFOCUS;
    kind.SelectionChangeNotification = LBN_SELCHANGE;
    kind.ItemCountMessage = LB_GETCOUNT;
    kind.SetItemCountMessage = LB_SETCOUNT;
    kind.ItemTextLengthMessage = LB_GETTEXTLEN;
    kind.ItemTextMessage = LB_GETTEXT;
    kind.GetItemDataMessage = LB_GETITEMDATA;
    kind.SetItemDataMessage = LB_SETITEMDATA;
    kind.AddItemMessage = LB_ADDSTRING;
    kind.DeleteItemMessage = LB_DELETESTRING;
    kind.InsertItemMessage = LB_INSERTSTRING;
    kind.FindExactMessage = LB_FINDSTRINGEXACT;
    kind.FindPrefixMessage = LB_FINDSTRING;
    kind.SelectedCountMessage = LB_GETSELCOUNT;
    kind.IsSelectedMessage = LB_GETSEL;
    kind.GetCurrentItemMessage = LB_GETCURSEL;
    kind.SetCurrentItemMessage = LB_SETCURSEL;
    kind.SelectItemMessage = LB_SETSEL;
    kind.ItemRectMessage = LB_GETITEMRECT;
    return kind;
}

// ListBoxOptions bit i -> the style bits it adds when set, and those it adds when clear.
struct ListBoxOptionStyle {
    DWORD whenSet;
    DWORD whenClear;
};
constexpr std::array<ListBoxOptionStyle, 12> kListBoxOptionStyles{{
    {LBS_DISABLENOSCROLL, 0},
    {0, LBS_EXTENDEDSEL},
    {LBS_MULTICOLUMN | WS_HSCROLL, 0},
    {LBS_MULTIPLESEL, 0},
    {LBS_NOINTEGRALHEIGHT, 0},
    {LBS_NOSEL, 0},
    {LBS_SORT, 0},
    {LBS_USETABSTOPS, 0},
    {0, LBS_HASSTRINGS},
    {LBS_NODATA, 0},
    {LBS_OWNERDRAWFIXED, 0},
    {LBS_OWNERDRAWVARIABLE, 0},
}};

DWORD ListBoxStyleOf(ListBoxOptions options) {
    DWORD style = 0;
    for (size_t bit = 0; bit < kListBoxOptionStyles.size(); ++bit) {
        const bool set = (options >> bit & 1u) != 0;
        style |= set ? kListBoxOptionStyles[bit].whenSet : kListBoxOptionStyles[bit].whenClear;
    }
    return style;
}

HINSTANCE ModuleInstance() {
    return GetModuleHandleA(nullptr);
}

// The object and its parent; then what every kind inherits from the parent, its colour among it.
Control* CreateCommon(Control* parent, const char* baseClassName, bool threeD) {
    auto* control = new Control();
    AttachToParent(control, parent);
    control->BaseClassName = baseClassName;
    if (parent != nullptr) {
        control->ChildrenThreeD = parent->ChildrenThreeD;
        control->ThreeD = parent->ChildrenThreeD && threeD;
        control->TextColor = parent->TextColor;
        control->Color = parent->Color;
        control->Margin = parent->Margin;
    }
    return control;
}

Control* CreateChild(Control* parent, const char* baseClassName, DWORD style, bool threeD,
                     const ControlKindTable& kind) {
    Control* control = CreateCommon(parent, baseClassName, threeD);
    control->IsChild = true;
    control->KindTable = kind;
    control->Style = style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    if (control->ThreeD) {
        control->Style &= ~static_cast<DWORD>(WS_BORDER);
        control->ExStyle |= WS_EX_CLIENTEDGE;
    }
    control->Visible = (control->Style & WS_VISIBLE) != 0;
    if (parent != nullptr) {
        const int32_t m = parent->Margin;
        control->Bounds = RECT{m, m, m + kDefaultChildSize, m + kDefaultChildSize};
    }
    Control* form = OwningForm(control);
    if (form != nullptr) {
        control->TabOrder = ++form->TabOrderCounter;
    }
    if ((control->Style & WS_TABSTOP) != 0) {
        control->TabStop = true;
        // The first tab-stop control created gets the focus first.
        if (form != nullptr && form->CurrentControl == nullptr) {
            form->CurrentControl = control;
        }
    }
    control->ControlId = nextControlId++;
    AttachHandler(control, ChildControlHandler);
    return control;
}

// The form's icon, loaded once: a copy of the application window's, or the program's own.
HICON FormIcon(Control* form) {
    if (!form->IconLoaded) {
        form->IconLoaded = true;
        if (ApplicationWindow != nullptr && ApplicationWindow != form &&
            ApplicationWindow->Icon != nullptr) {
            form->Icon =
                static_cast<HICON>(CopyImage(ApplicationWindow->Icon, IMAGE_ICON, 0, 0, 0));
            form->IconIsCopy = form->Icon != nullptr;
        } else {
            form->Icon = LoadIconA(ModuleInstance(), "MAINICON");
        }
    }
    return form->Icon;
}

// The window class for the control: "obj_" + the base class name, a copy of the system class
// where there is one, with the layer's window procedure. Registered once per process.
bool RegisterLayerClass(Control* control, const std::string& className) {
    HINSTANCE instance = ModuleInstance();
    WNDCLASSA record{};
    record.style = control->ClassStyle;
    record.lpfnWndProc = control->BaseWindowProc;
    record.hInstance = instance;
    record.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    if (control->BaseClassName != nullptr) {
        WNDCLASSA system{};
        if (GetClassInfoA(instance, control->BaseClassName, &system) != 0) {
            record = system;
        }
        record.hInstance = instance;
        record.style &= kUnsharedClassStyles;
    }
    if (control->BaseWindowProc == nullptr) {
        control->BaseWindowProc = record.lpfnWndProc;
    }
    WNDCLASSA registered{};
    if (GetClassInfoA(instance, className.c_str(), &registered) != 0) {
        return true;
    }
    record.lpszClassName = className.c_str();
    record.lpszMenuName = nullptr;
    record.lpfnWndProc = LayerWindowProc;
    return RegisterClassA(&record) != 0;
}

// Creates the window of a control that has none.
bool CreateNewWindow(Control* control) {
    const std::string className =
        std::string("obj_") + (control->BaseClassName != nullptr ? control->BaseClassName : "");
    const HWND parentWindow = control->Parent != nullptr ? control->Parent->Handle : nullptr;
    if (!RegisterLayerClass(control, className)) {
        return false;
    }
    if (parentWindow == nullptr && (control->Style & WS_CHILD) != 0) {
        return false;
    }
    const RECT& b = control->Bounds;
    int x = b.left;
    int y = b.top;
    if (!control->IsChild && (control->PositionSet & 3) == 0) {
        x = CW_USEDEFAULT;
        y = CW_USEDEFAULT;
    }
    const int width = b.right - b.left != 0 ? b.right - b.left : CW_USEDEFAULT;
    const int height = b.bottom - b.top != 0 ? b.bottom - b.top : CW_USEDEFAULT;

    PendingWindowObject = control;
    const HWND window =
        CreateWindowExA(control->ExStyle, className.c_str(), control->Caption.c_str(),
                        control->Style, x, y, width, height, parentWindow,
                        reinterpret_cast<HMENU>(control->ControlId), ModuleInstance(), nullptr);
    if (window == nullptr) {
        PendingWindowObject = nullptr;
        return false;
    }
    SendMessageA(window, WM_UPDATEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    if (GetWindowLongPtrA(window, GWLP_USERDATA) == 0) {
        // The window got no message during its creation.
        PendingWindowObject = nullptr;
        control->Handle = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control));
    }
    if (!control->IsChild) {
        SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(FormIcon(control)));
    }
    CreateChildWindows(control);
    return true;
}

} // namespace

COLORREF RgbOf(ColorValue color) {
    if ((color & 0x80000000u) != 0) {
        return GetSysColor(static_cast<int>(color & 0xFFu));
    }
    return color;
}

Control::Control()
    : AttachedHandlers(new PointerList(kListGrowth)), Children(new PointerList(kListGrowth)),
      DispatchHook(&ReportsNotHandled), KindTable(FormKind()) {}

void Control::Destroy() {
    Control* form = OwningForm(this);
    if (form != nullptr && form->CurrentControl == this) {
        form->CurrentControl = nullptr;
    }
    if (Handle != nullptr) {
        ShowWindow(Handle, SW_HIDE);
    }
    // Children, menus and whatever else was registered with this control, oldest first.
    ReleaseOwnedObjects();
    if (Destroying) {
        return;
    }
    Destroying = true;
    // A child still retained by code that runs (a handler up the stack) outlives this parent.
    for (int32_t i = 0; i < Children->Count(); ++i) {
        static_cast<Control*>(Children->ItemAt(i))->Parent = nullptr;
    }
    if (IconIsCopy) {
        DestroyIcon(Icon);
    }
    Icon = nullptr;
    if (Handle != nullptr) {
        if (IsWindow(Handle) != 0) {
            // The window's last messages go straight to the system procedure: the object is gone.
            SetWindowLongPtrA(Handle, GWLP_USERDATA, 0);
            SetWindowLongPtrA(Handle, GWLP_WNDPROC,
                              reinterpret_cast<LONG_PTR>(
                                  BaseWindowProc != nullptr ? BaseWindowProc : &DefWindowProcA));
            DestroyWindow(Handle);
        }
        Handle = nullptr;
    }
    if (Brush != nullptr) {
        DeleteObject(Brush);
        Brush = nullptr;
    }
    if (Parent != nullptr) {
        if (Parent->CurrentControl == this) {
            Parent->CurrentControl = nullptr;
        }
        Parent->Children->Remove(this);
        RemoveFromReleaseList(Parent, this);
    }
    Release(AttachedHandlers);
    Release(Children);
    delete this;
}

Control* CreateFormControl(Control* parent, std::string_view caption) {
    Control* form = CreateCommon(parent, "Form", true);
    form->ClassStyle |= CS_DBLCLKS;
    AttachHandler(form, FormFocusHandler);
    AttachHandler(form, FormBackgroundHandler);
    form->IsLayoutTop = true;
    SetCaption(form, caption);
    return form;
}

Control* CreateButton(Control* parent, std::string_view caption) {
    Control* button = CreateChild(parent, "BUTTON", kButtonStyle, false, ButtonKind());
    button->Bounds.bottom = button->Bounds.top + kButtonHeight;
    SetCaption(button, caption);
    AttachHandler(button, ButtonHandler);
    return button;
}

Control* CreateListBox(Control* parent, ListBoxOptions options) {
    Control* list = CreateChild(parent, "LISTBOX", ListBoxStyleOf(options) | kListBoxStyle, true,
                                ListBoxKind());
    list->Bounds.right += 100;
    list->Bounds.bottom += 136;
    list->Color = kWindowColor;
    return list;
}

void AttachToParent(Control* control, Control* parent) {
    Control* old = control->Parent;
    if (old == parent) {
        return;
    }
    if (old != nullptr) {
        old->Children->Remove(control);
        RemoveFromReleaseList(old, control);
    }
    control->Parent = parent;
    if (parent != nullptr) {
        parent->Children->Add(control);
        ReleaseTogether(parent, control);
        if (control->Handle != nullptr) {
            SetParent(control->Handle, EnsureWindow(parent));
        }
        Invalidate(control);
    }
}

HWND EnsureWindow(Control* control) {
    if (control->Handle == nullptr && !control->WindowDestroyed) {
        SetVisible(control, false);
        CreateControlWindow(control);
        control->ShowPending = true;
    }
    return control->Handle;
}

bool CreateControlWindow(Control* control) {
    if (control->Parent != nullptr && EnsureWindow(control->Parent) == nullptr) {
        return false;
    }
    if (control->Handle != nullptr) {
        CreateChildWindows(control);
        if (control->ShowPending) {
            SetVisible(control, true);
            control->ShowPending = false;
        }
        return true;
    }
    // A window the platform destroyed is not made again behind the application's back.
    if (control->WindowDestroyed) {
        return false;
    }
    return CreateNewWindow(control);
}

void CreateChildWindows(Control* control) {
    for (int32_t i = 0; i < control->Children->Count(); ++i) {
        CreateControlWindow(static_cast<Control*>(control->Children->ItemAt(i)));
    }
}

LRESULT SendToWindow(Control* control, UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND window = EnsureWindow(control);
    if (window == nullptr) {
        return 0;
    }
    return SendMessageA(window, message, wParam, lParam);
}

void Invalidate(Control* control) {
    if (control->Handle != nullptr) {
        InvalidateRect(control->Handle, nullptr, TRUE);
    }
}

void SetRedraw(Control* control, bool redraw) {
    SendToWindow(control, WM_SETREDRAW, redraw ? TRUE : FALSE, 0);
}

void PaintNow(Control* control) {
    if (control->Handle != nullptr) {
        UpdateWindow(control->Handle);
    }
}

void SetCaption(Control* control, std::string_view text) {
    control->Caption.assign(text);
    if (control->Handle != nullptr) {
        SendMessageA(control->Handle, WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(control->Caption.c_str()));
    }
    Invalidate(control);
}

std::string GetCaption(Control* control) {
    if (control->Handle != nullptr) {
        const int length = GetWindowTextLengthA(control->Handle);
        std::string text(static_cast<size_t>(length) + 1, '\0');
        const int copied = GetWindowTextA(control->Handle, text.data(), length + 1);
        text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
        control->Caption = text;
    }
    return control->Caption;
}

void SetEnabled(Control* control, bool enabled) {
    if (IsEnabled(control) == enabled) {
        return;
    }
    control->Enabled = enabled;
    if (enabled) {
        control->Style &= ~static_cast<DWORD>(WS_DISABLED);
    } else {
        control->Style |= WS_DISABLED;
    }
    if (control->Handle != nullptr) {
        EnableWindow(control->Handle, enabled ? TRUE : FALSE);
    }
    Invalidate(control);
}

bool IsEnabled(Control* control) {
    if (control->Handle != nullptr) {
        return IsWindowEnabled(control->Handle) != 0;
    }
    return (control->Style & WS_DISABLED) == 0;
}

void SetVisible(Control* control, bool visible) {
    if (visible) {
        control->Style |= WS_VISIBLE;
    } else {
        control->Style &= ~static_cast<DWORD>(WS_VISIBLE);
    }
    control->Visible = visible;
    if (control->Handle == nullptr) {
        return;
    }
    if (visible) {
        RunAlignmentHook(control);
        ShowWindow(control->Handle, SW_SHOW);
    } else {
        control->ShowPending = false;
        ShowWindow(control->Handle, SW_HIDE);
        RunAlignmentHook(control);
    }
}

void SetColor(Control* control, ColorValue color) {
    EnsureWindow(control);
    if (color == control->Color) {
        return;
    }
    control->Color = color;
    if (control->Brush != nullptr) {
        DeleteObject(control->Brush);
        control->Brush = nullptr;
    }
    Invalidate(control);
}

void SetDropFilesHandler(Control* control, DropFilesHandlerType handler) {
    control->DropFilesHandler = handler;
    AttachHandler(control, DropFilesMessageHandler);
    DragAcceptFiles(EnsureWindow(control), handler.IsSet() ? TRUE : FALSE);
}

void ClearContent(Control* control) {
    control->KindTable.Clear(control);
}

Control* OwningForm(Control* control) {
    Control* current = control;
    while (current != nullptr && current->IsChild) {
        current = current->Parent;
    }
    return current;
}

int32_t ItemCount(Control* control) {
    const UINT message = control->KindTable.ItemCountMessage;
    if (message == 0) {
        return 0;
    }
    return static_cast<int32_t>(SendToWindow(control, message, 0, 0));
}

std::string ItemText(Control* control, int32_t index) {
    const ControlKindTable& kind = control->KindTable;
    if (kind.ItemTextLengthMessage == 0 || kind.ItemTextMessage == 0) {
        return {};
    }
    const auto item = static_cast<WPARAM>(index);
    const LRESULT length = SendToWindow(control, kind.ItemTextLengthMessage, item, 0);
    if (length <= 0) {
        return {};
    }
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const LRESULT copied =
        SendToWindow(control, kind.ItemTextMessage, item, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(copied > 0 && copied < length ? copied : length));
    return text;
}

int32_t AddItem(Control* control, std::string_view text) {
    const ControlKindTable& kind = control->KindTable;
    if (kind.AddItemMessage == 0) {
        return -1;
    }
    const std::string item(text);
    const auto index = static_cast<int32_t>(
        SendToWindow(control, kind.AddItemMessage, 0, reinterpret_cast<LPARAM>(item.c_str())));
    if (ItemCount(control) == 1) {
        SendToWindow(control, kind.SelectItemMessage, TRUE, 0);
    }
    return index;
}

int32_t CurrentIndex(Control* control) {
    const UINT message = control->KindTable.GetCurrentItemMessage;
    if (message == 0) {
        return -1;
    }
    return static_cast<int32_t>(SendToWindow(control, message, 0, 0));
}

void SetCurrentIndex(Control* control, int32_t index) {
    const UINT message = control->KindTable.SetCurrentItemMessage;
    if (message != 0) {
        SendToWindow(control, message, static_cast<WPARAM>(index), 0);
    }
}
