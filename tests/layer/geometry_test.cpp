// Geometry on real windows: client size, centring (rounding towards minus infinity), and
// bottom alignment as the window is resized.
#include "layer/dispatch.h"
#include "layer/geometry.h"
#include "window_test_support.h"

namespace {

using GeometryTest = WindowTest;

// Lets a form grow beyond the screen, as a user can make it with a second monitor.
bool AllowHugeWindows(Control*, WindowMessage& message, LRESULT&) {
    if (message.Message == WM_GETMINMAXINFO)
        reinterpret_cast<MINMAXINFO*>(message.LParam)->ptMaxTrackSize = POINT{8000, 8000};
    return false;
}

TEST_F(GeometryTest, ClientSizeCentringAndBottomAlignment) {
    Control* form = CreateFormControl(nullptr, "Layer Test");
    SetPosition(form, 120, 90);
    SetClientSize(form, 640, 480);
    EXPECT_EQ(std::vector<LONG>({ClientWidth(form), ClientHeight(form), BoundsRect(form).left}),
              std::vector<LONG>({640, 480, 120}));

    AttachHandler(form, AllowHugeWindows);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    SetSize(form, screenWidth + 301, 201);
    CenterOnParent(form);
    EXPECT_EQ(
        std::vector<LONG>({Width(form), BoundsRect(form).left, BoundsRect(form).top}),
        std::vector<LONG>({screenWidth + 301, -151, (GetSystemMetrics(SM_CYSCREEN) - 201) / 2}));

    // Bottom-aligned children stack upwards in creation order, a margin of 2 around each; the
    // height a resize handler gives one stays and its top edge moves.
    SetClientSize(form, 300, 300);
    Control* lower = SetSize(CreateListBox(form, kListBoxNoIntegralHeight), 0, 50);
    Control* upper = SetSize(CreateListBox(form, kListBoxNoIntegralHeight), 0, 40);
    SetAlignment(lower, AlignBottom);
    SetAlignment(upper, AlignBottom);
    ASSERT_TRUE(CreateControlWindow(form));
    auto edges = [](Control* c) {
        const RECT r = BoundsRect(c);
        return std::vector<LONG>{r.left, r.top, r.right, r.bottom};
    };
    EXPECT_EQ(edges(lower), (std::vector<LONG>{2, 248, 298, 298}));
    EXPECT_EQ(edges(upper), (std::vector<LONG>{2, 206, 298, 246}));

    struct {
        Control *form, *list;
        void Resized(Control*) { SetHeight(list, ClientHeight(form) - 100); }
    } handler{form, lower};
    SetResizeHandler(form, NotifyHandler::Bind<&decltype(handler)::Resized>(&handler));
    SetClientSize(form, 400, 500);
    EXPECT_EQ(edges(lower), (std::vector<LONG>{2, 98, 398, 498}));
    ReleaseForm(form);
}

} // namespace
