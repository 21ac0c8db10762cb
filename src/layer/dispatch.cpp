#include "layer/dispatch.h"

#include "layer/geometry.h"
#include "layer/pointer_list.h"

#include <shellapi.h>

#include <string>

Control* ApplicationWindow = nullptr;
bool ApplicationTerminated = false;
Control* PendingWindowObject = nullptr;

namespace {

// AttachedHandlers holds each pair as two items: the handler, then its keep-after-termination
// flag. The layer attaches every handler with the flag off.
constexpr int32_t kPairSize = 2;

void* AsItem(MessageHandler handler) {
    return reinterpret_cast<void*>(handler);
}
MessageHandler AsHandler(void* item) {
    return reinterpret_cast<MessageHandler>(item);
}

// The control of a window. The first message of a new window binds it to the control that
// CreateControlWindow is making.
Control* ObjectOfWindow(HWND window) {
    if (window == nullptr) {
        return nullptr;
    }
    if (PendingWindowObject != nullptr) {
        Control* control = PendingWindowObject;
        PendingWindowObject = nullptr;
        control->Handle = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control));
        return control;
    }
    return reinterpret_cast<Control*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

// Tries the attached handlers, the most recently attached first. Once the application has
// terminated, only handlers attached to keep running are tried.
bool RunAttachedHandlers(Control* control, WindowMessage& message, LRESULT& result) {
    PointerList* handlers = control->AttachedHandlers;
    if (control->RefCount < 0 || control->IsBeingDestroyed() || handlers->Count() == 0) {
        return false;
    }
    Retain(control);
    for (int32_t i = handlers->Count() - kPairSize; i >= 0; i -= kPairSize) {
        const bool keepAfterTermination = handlers->ItemAt(i + 1) != nullptr;
        if (ApplicationTerminated && !keepAfterTermination) {
            continue;
        }
        if (AsHandler(handlers->ItemAt(i))(control, message, result)) {
            Release(control);
            return true;
        }
    }
    Release(control);
    return false;
}

// The control's brush for its Color, made again when the colour has changed.
HBRUSH BrushOf(Control* control) {
    const COLORREF rgb = RgbOf(control->Color);
    if (control->Brush != nullptr && control->BrushColor != rgb) {
        DeleteObject(control->Brush);
        control->Brush = nullptr;
    }
    if (control->Brush == nullptr) {
        control->BrushColor = rgb;
        control->Brush = CreateSolidBrush(rgb);
    }
    return control->Brush;
}

bool IsReflectedColor(UINT message) {
    return message >= ReflectedColorBase + WM_CTLCOLORMSGBOX &&
           message <= ReflectedColorBase + WM_CTLCOLORSTATIC;
}

// The object of a window that the platform has destroyed is released once its last message is
// done, unless something else holds it: code that retained it, the application (its main
// window), or its parent. A child control lives exactly as long as its parent, so the
// application's references to its controls stay valid until the main window is released.
// LayerWindowProc's own hold on the object counts as one Retain.
constexpr int32_t kHoldOfOneMessage = 2;

bool EndedByPlatform(const Control* control) {
    return control->WindowDestroyed && control->NestingDepth <= 0 &&
           control->RefCount == kHoldOfOneMessage && control != ApplicationWindow &&
           control->Parent == nullptr;
}

LRESULT HandleKeyMessage(Control* control, WindowMessage& message) {
    if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) {
        return DefaultProcessing(control, message);
    }
    // Tab does not move the focus between controls; its character is swallowed.
    if (message.Message == WM_CHAR && (message.WParam & 0xFF) == '\t') {
        message.WParam = 0;
        return 0;
    }
    return DefaultProcessing(control, message);
}

LRESULT HandleSetFocus(Control* control, WindowMessage& message) {
    const bool tabStop = control->TabStop || (control->Style & WS_TABSTOP) != 0;
    if (!IsEnabled(control) || !tabStop) {
        return 0;
    }
    ++control->FocusDepth;
    SetFocus(control->Handle);
    const LRESULT result = DefaultProcessing(control, message);
    --control->FocusDepth;
    return result;
}

} // namespace

// noexcept: a C++ exception must not unwind through the platform's frames, which on 64-bit
// Windows silently swallow it for messages the system sends. It ends in std::terminate instead,
// and so in the unhandled-exception notice.
LRESULT CALLBACK LayerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    Control* control = ObjectOfWindow(window);
    // A window without an object gets the platform's default. (Handing its messages to the main
    // window would let another window's WM_DESTROY mark the main window as destroyed.)
    if (control == nullptr) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    // This call holds the object until the message is done: a handler may release it, and the
    // built-in handling after the handlers still needs it.
    Retain(control);
    ++control->NestingDepth;
    WindowMessage record{window, message, wParam, lParam};
    const LRESULT result = HandleMessage(control, record);
    --control->NestingDepth;
    const bool endedByPlatform = EndedByPlatform(control);
    Release(control);
    if (endedByPlatform) {
        Release(control);
    }
    return result;
}

LRESULT HandleMessage(Control* control, WindowMessage& message) {
    if (message.Window != nullptr && control->Handle == nullptr && !control->WindowDestroyed) {
        control->Handle = message.Window;
    }
    LRESULT result = 0;
    if (control->DispatchHook(control, message, result)) {
        return result;
    }
    const UINT number = message.Message;
    switch (number) {
    case WM_CLOSE:
        if (control == ApplicationWindow || (ApplicationWindow == nullptr && !control->IsChild)) {
            PostQuitMessage(0);
        }
        return DefaultProcessing(control, message);
    case WM_DESTROY:
        control->WindowDestroyed = true;
        return DefaultProcessing(control, message);
    case WM_NCDESTROY:
        // The window is gone; the object no longer has one.
        control->Handle = nullptr;
        return 0;
    case WM_SIZE: {
        result = DefaultProcessing(control, message);
        control->SizeType = static_cast<uint8_t>(message.WParam & 0xFF);
        RunAlignmentHook(control);
        return result;
    }
    case WM_SETFOCUS:
        return HandleSetFocus(control, message);
    case WM_COMMAND: {
        const auto sender = reinterpret_cast<HWND>(message.LParam);
        // Menu commands (no sender) and windows without a layer object get the default.
        if (GetWindowLongPtrA(sender, GWLP_USERDATA) == 0) {
            return DefaultProcessing(control, message);
        }
        return SendMessageA(sender, ReflectedCommand, message.WParam, message.LParam);
    }
    default:
        break;
    }
    if (number >= WM_CTLCOLORMSGBOX && number <= WM_CTLCOLORSTATIC) {
        // The child that asks answers for itself.
        return SendMessageA(reinterpret_cast<HWND>(message.LParam), number + ReflectedColorBase,
                            message.WParam, message.LParam);
    }
    if (number >= 0x100 && number <= 0x108) {
        return HandleKeyMessage(control, message);
    }
    return DefaultProcessing(control, message);
}

void AttachHandler(Control* control, MessageHandler handler) {
    PointerList* handlers = control->AttachedHandlers;
    for (int32_t i = 0; i < handlers->Count(); i += kPairSize) {
        if (handlers->ItemAt(i) == AsItem(handler)) {
            return;
        }
    }
    handlers->Add(AsItem(handler));
    handlers->Add(nullptr);
    control->DispatchHook = &RunAttachedHandlers;
}

LRESULT DefaultProcessing(Control* control, const WindowMessage& message) {
    if (control->BaseWindowProc != nullptr) {
        return CallWindowProcA(control->BaseWindowProc, control->Handle, message.Message,
                               message.WParam, message.LParam);
    }
    return DefWindowProcA(message.Window, message.Message, message.WParam, message.LParam);
}

bool ChildControlHandler(Control* control, WindowMessage& message, LRESULT& result) {
    if (IsReflectedColor(message.Message)) {
        const auto dc = reinterpret_cast<HDC>(message.WParam);
        SetTextColor(dc, RgbOf(control->TextColor));
        SetBkMode(dc, OPAQUE);
        SetBkColor(dc, RgbOf(control->Color));
        result = reinterpret_cast<LRESULT>(BrushOf(control));
        return true;
    }
    if (message.Message == ReflectedCommand) {
        const WORD code = HIWORD(message.WParam);
        const ControlKindTable& kind = control->KindTable;
        if (code == kind.ClickNotification) {
            if (control->FocusDepth == 0) {
                FocusControl(control);
                control->ClickHandler(control);
            }
        } else if (code != kind.EnterNotification && code != kind.LeaveNotification &&
                   code != kind.ChangeNotification && code != kind.SelectionChangeNotification) {
            return false;
        }
        // Enter, leave, change and selection change raise no event in this program.
        result = DefaultProcessing(control, message);
        return true;
    }
    if (message.Message == WM_SETFOCUS) {
        result = 0;
        Control* form = OwningForm(control);
        if (form == nullptr) {
            return true;
        }
        form->CurrentControl = control;
        return false;
    }
    return false;
}

bool ButtonHandler(Control*, WindowMessage& message, LRESULT&) {
    // The second click of a double click acts as a second press.
    if (message.Message == WM_LBUTTONDBLCLK) {
        message.Message = WM_LBUTTONDOWN;
    }
    return false;
}

bool FormFocusHandler(Control* control, WindowMessage& message, LRESULT& result) {
    if (message.Message != WM_SETFOCUS || control->CurrentControl == nullptr) {
        return false;
    }
    Control* current = control->CurrentControl;
    if (CreateControlWindow(current)) {
        SetFocus(current->Handle);
    }
    result = 0;
    return true;
}

bool FormBackgroundHandler(Control* control, WindowMessage& message, LRESULT&) {
    if (message.Message != WM_ERASEBKGND) {
        return false;
    }
    const auto dc = reinterpret_cast<HDC>(message.WParam);
    CreateChildWindows(control);
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, RgbOf(control->Color));
    SetBrushOrgEx(dc, 0, 0, nullptr);
    RECT client{};
    GetClientRect(control->Handle, &client);
    FillRect(dc, &client, BrushOf(control));
    return false;
}

bool DropFilesMessageHandler(Control* control, WindowMessage& message, LRESULT& result) {
    if (message.Message != WM_DROPFILES || !control->DropFilesHandler.IsSet()) {
        return false;
    }
    const auto drop = reinterpret_cast<HDROP>(message.WParam);
    POINT point{0, 0};
    DragQueryPoint(drop, &point);
    const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    std::string names;
    for (UINT i = 0; i < count; ++i) {
        if (!names.empty()) {
            names += '\r';
        }
        // Each name is fetched whole, however long: a cut name would name another file.
        const UINT length = DragQueryFileA(drop, i, nullptr, 0);
        std::string name(static_cast<size_t>(length) + 1, '\0');
        const UINT copied = DragQueryFileA(drop, i, name.data(), length + 1);
        name.resize(copied);
        names += name;
    }
    DragFinish(drop);
    control->DropFilesHandler(control, names, point);
    result = 0;
    return true;
}

void FocusControl(Control* control) {
    if (!control->TabStop) {
        return;
    }
    if (!control->IsChild) {
        SetForegroundWindow(EnsureWindow(control));
        return;
    }
    Control* form = OwningForm(control);
    if (form != nullptr) {
        if (form->CurrentControl != nullptr && form->CurrentControl != control) {
            SetFocus(nullptr);
        }
        form->CurrentControl = control;
    }
    SetFocus(EnsureWindow(control));
}

void ApplicationLoop(Control*& window) {
    ApplicationWindow = window;
    if (ApplicationWindow == nullptr) {
        return;
    }
    CreateControlWindow(ApplicationWindow);
    while (!ApplicationTerminated) {
        WaitMessage();
        ProcessPendingMessages(ApplicationWindow);
    }
    if (window != nullptr) {
        TerminateApplication(window);
    }
}

bool ProcessOneMessage(Control*) {
    MSG message{};
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) == 0) {
        return false;
    }
    if (message.message == WM_QUIT) {
        // Acted on by the application loop once control returns to it.
        ApplicationTerminated = true;
    } else {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return message.message != WM_NULL;
}

void ProcessPendingMessages(Control* applicationWindow) {
    while (ProcessOneMessage(applicationWindow)) {
    }
}

void TerminateApplication(Control*& window) {
    const bool alreadyTerminated = ApplicationTerminated;
    ApplicationTerminated = true;
    Control* application = ApplicationWindow;
    ApplicationWindow = nullptr;
    if (application == nullptr) {
        return;
    }
    Retain(application);
    if (!alreadyTerminated) {
        ProcessPendingMessages(application);
        SendToWindow(application, WM_CLOSE, 0, 0);
    }
    window = nullptr;
    Release(application);
    Release(application);
}
