#include "layer/geometry.h"

#include "layer/dispatch.h"
#include "layer/pointer_list.h"

#include <array>

namespace {

// Alignment costs nothing until some control is given an alignment.
bool alignmentInUse = false;

// The three passes of AlignChildren, each a bit set over alignment values: top and bottom
// first, then left and right, then none and client.
constexpr std::array<uint8_t, 3> kAlignmentPasses{0x14, 0x0A, 0x21};

int32_t WidthOf(const RECT& r) {
    return r.right - r.left;
}
int32_t HeightOf(const RECT& r) {
    return r.bottom - r.top;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool IsShowable(const Control* control) {
    return control->Visible || control->ShowPending;
}

// Whether the layout of t can be done now; otherwise t (and the controls up to the one that is
// hidden) are marked as needing it when they are shown.
bool CanAlign(Control* t) {
    if (t == nullptr) {
        return false;
    }
    if (!IsShowable(t)) {
        t->AlignState |= kNeedsAlignment;
        return false;
    }
    if (t->IsLayoutTop || t->Parent == nullptr) {
        return true;
    }
    if (!CanAlign(t->Parent)) {
        t->AlignState |= kNeedsAlignment;
        return false;
    }
    return true;
}

// Places b inside area by the alignment and takes the used strip off the area.
void PlaceAligned(ControlAlignment alignment, RECT& b, RECT& area, int32_t m) {
    const int32_t w = WidthOf(b);
    const int32_t h = HeightOf(b);
    switch (alignment) {
    case AlignLeft:
        OffsetRect(&b, area.left + m - b.left, 0);
        b.top = area.top + m;
        b.bottom = area.bottom - m;
        area.left += w + m;
        break;
    case AlignTop:
        OffsetRect(&b, 0, area.top + m - b.top);
        b.left = area.left + m;
        b.right = area.right - m;
        area.top += h + m;
        break;
    case AlignRight:
        OffsetRect(&b, area.right - m - b.right, 0);
        b.top = area.top + m;
        b.bottom = area.bottom - m;
        area.right -= w + m;
        break;
    case AlignBottom:
        OffsetRect(&b, 0, area.bottom - m - b.bottom);
        b.left = area.left + m;
        b.right = area.right - m;
        area.bottom -= h + m;
        break;
    case AlignClient:
        b = RECT{area.left + m, area.top + m, area.right - m, area.bottom - m};
        break;
    case AlignNone:
        break;
    }
    // Negative sizes never reach the platform.
    if (b.left > b.right) {
        b.right = b.left;
    }
    if (b.top > b.bottom) {
        b.bottom = b.top;
    }
}

} // namespace

RECT BoundsRect(Control* control) {
    RECT bounds = control->Bounds;
    if (control->Handle == nullptr) {
        return bounds;
    }
    GetWindowRect(control->Handle, &bounds);
    if (control->IsChild && control->Parent != nullptr) {
        POINT origin{0, 0};
        ClientToScreen(control->Parent->Handle, &origin);
        OffsetRect(&bounds, -origin.x, -origin.y);
    }
    control->Bounds = bounds;
    return bounds;
}

void SetBoundsRect(Control* control, const RECT& bounds) {
    const RECT current = BoundsRect(control);
    if (SameRect(bounds, current)) {
        return;
    }
    if (bounds.left != current.left) {
        control->PositionSet |= 1;
    }
    if (bounds.top != current.top) {
        control->PositionSet |= 2;
    }
    control->Bounds = bounds;
    if (control->Handle != nullptr) {
        SetWindowPos(control->Handle, nullptr, bounds.left, bounds.top, WidthOf(bounds),
                     HeightOf(bounds), SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void SetLeft(Control* control, int32_t x) {
    RECT b = BoundsRect(control);
    b.right = b.right - b.left + x;
    b.left = x;
    SetBoundsRect(control, b);
}

void SetTop(Control* control, int32_t y) {
    RECT b = BoundsRect(control);
    b.bottom = b.bottom - b.top + y;
    b.top = y;
    SetBoundsRect(control, b);
}

int32_t Width(Control* control) {
    return WidthOf(BoundsRect(control));
}
int32_t Height(Control* control) {
    return HeightOf(BoundsRect(control));
}

void SetWidth(Control* control, int32_t width) {
    RECT b = BoundsRect(control);
    b.right = b.left + width;
    SetBoundsRect(control, b);
}

void SetHeight(Control* control, int32_t height) {
    RECT b = BoundsRect(control);
    b.bottom = b.top + height;
    SetBoundsRect(control, b);
}

Control* SetPosition(Control* control, int32_t x, int32_t y) {
    SetLeft(control, x);
    SetTop(control, y);
    return control;
}

Control* SetSize(Control* control, int32_t width, int32_t height) {
    RECT b = BoundsRect(control);
    if (width != 0) {
        b.right = b.left + width;
    }
    if (height != 0) {
        b.bottom = b.top + height;
    }
    SetBoundsRect(control, b);
    return control;
}

RECT ClientRect(Control* control) {
    const HWND window = EnsureWindow(control);
    if (window == nullptr) {
        return control->Bounds;
    }
    RECT client{};
    GetClientRect(window, &client);
    return client;
}

int32_t ClientWidth(Control* control) {
    return WidthOf(ClientRect(control));
}
int32_t ClientHeight(Control* control) {
    return HeightOf(ClientRect(control));
}

Control* SetClientSize(Control* control, int32_t width, int32_t height) {
    if (width > 0) {
        const int32_t clientWidth = ClientWidth(control);
        SetWidth(control, width + Width(control) - clientWidth);
    }
    if (height > 0) {
        const int32_t clientHeight = ClientHeight(control);
        SetHeight(control, height + Height(control) - clientHeight);
    }
    return control;
}

void CenterOnParent(Control* control) {
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (control->IsChild && control->Parent != nullptr) {
        area = ClientRect(control->Parent);
    }
    EnsureWindow(control);
    // Halving by an arithmetic shift rounds towards minus infinity.
    SetLeft(control, (WidthOf(area) - Width(control)) >> 1);
    SetTop(control, (HeightOf(area) - Height(control)) >> 1);
}

void SetResizeHandler(Control* control, NotifyHandler handler) {
    control->ResizeHandler = handler;
    AttachHandler(control, ResizeMessageHandler);
}

bool ResizeMessageHandler(Control* control, WindowMessage& message, LRESULT&) {
    if (message.Message == WM_SIZE && control->ResizeHandler.IsSet()) {
        control->ResizeHandler(control);
    }
    return false;
}

Control* SetAlignment(Control* control, ControlAlignment alignment) {
    alignmentInUse = true;
    if (alignment != control->Alignment) {
        control->Alignment = alignment;
        RequestAlign(control);
    }
    return control;
}

void RequestAlign(Control* control) {
    if (control == nullptr) {
        return;
    }
    const bool top = control->Parent == nullptr || control->IsLayoutTop;
    const bool resizedByParent = (control->AlignState & kResizedByAlignment) != 0;
    control->AlignState &= static_cast<uint8_t>(~kResizedByAlignment);
    Control* target = control;
    if (!top || resizedByParent) {
        control->AlignState |= kNeedsAlignment;
        target = control->Parent;
    }
    if (CanAlign(target)) {
        AlignChildren(target);
    }
}

void AlignChildren(Control* parent) {
    parent->AlignState &= static_cast<uint8_t>(~kNeedsAlignment);
    parent->AlignState |= kAligningChildren;
    RECT area = ClientRect(parent);
    const int32_t m = parent->Margin;
    for (const uint8_t pass : kAlignmentPasses) {
        for (int32_t i = 0; i < parent->Children->Count(); ++i) {
            auto* child = static_cast<Control*>(parent->Children->ItemAt(i));
            if ((pass >> child->Alignment & 1) == 0 || !IsShowable(child)) {
                continue;
            }
            const RECT before = BoundsRect(child);
            RECT b = before;
            PlaceAligned(child->Alignment, b, area, m);
            if (WidthOf(b) != WidthOf(before) || HeightOf(b) != HeightOf(before)) {
                child->AlignState &= static_cast<uint8_t>(~kNeedsAlignment);
                child->AlignState |= kResizedByAlignment;
            }
            if (!SameRect(b, before)) {
                SetBoundsRect(child, b);
            }
            if ((child->AlignState & kNeedsAlignment) != 0) {
                AlignChildren(child);
            }
            // A nested layout of this parent, started by the child's WM_SIZE, has finished it.
            if ((parent->AlignState & kAligningChildren) == 0) {
                return;
            }
        }
    }
    parent->AlignState &= static_cast<uint8_t>(~kAligningChildren);
}

void RunAlignmentHook(Control* control) {
    if (alignmentInUse) {
        RequestAlign(control);
    }
}
