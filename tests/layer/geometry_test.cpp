// Geometry on real windows: the size setters, client size, centring, the resize event and
// bottom alignment as the window is resized.
#include "layer/control.h"
#include "layer/dispatch.h"
#include "layer/geometry.h"
#include "window_test_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using GeometryTest = WindowTest;

RECT WindowRectOf(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

TEST_F(GeometryTest, SettersChangeOnlyWhatTheyName) {
    Control* form = CreateFormControl(nullptr, "Layer Test");
    SetPosition(form, 120, 90);
    SetClientSize(form, 640, 480);
    const RECT placed = WindowRectOf(form->Handle);
    EXPECT_EQ(placed.left, 120);
    EXPECT_EQ(placed.top, 90);
    EXPECT_EQ(ClientWidth(form), 640);
    EXPECT_EQ(ClientHeight(form), 480);

    const int32_t width = Width(form);
    SetSize(form, 0, 446);
    EXPECT_EQ(Width(form), width);
    EXPECT_EQ(Height(form), 446);
    SetClientSize(form, 500, 0);
    EXPECT_EQ(ClientWidth(form), 500);
    EXPECT_EQ(Height(form), 446);
    const RECT moved = WindowRectOf(form->Handle);
    EXPECT_EQ(moved.left, 120);
    EXPECT_EQ(moved.top, 90);

    Control* button = CreateButton(form, "Start");
    SetPosition(button, 272, 4);
    ASSERT_TRUE(CreateControlWindow(form));
    const RECT b = BoundsRect(button);
    EXPECT_EQ(b.left, 272);
    EXPECT_EQ(b.top, 4);
    EXPECT_EQ(b.right, 336);
    EXPECT_EQ(b.bottom, 26);
    ReleaseForm(form);
}

// Lets a form grow beyond the screen, as a user can make it with a second monitor.
bool AllowHugeWindows(Control*, WindowMessage& message, LRESULT& result) {
    if (message.Message != WM_GETMINMAXINFO) {
        return false;
    }
    auto* info = reinterpret_cast<MINMAXINFO*>(message.LParam);
    info->ptMaxTrackSize = POINT{8000, 8000};
    info->ptMaxSize = POINT{8000, 8000};
    result = 0;
    return true;
}

TEST_F(GeometryTest, CentringAWindowWiderThanTheScreenRoundsTowardsMinusInfinity) {
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    Control* form = CreateFormControl(nullptr, "Layer Test");
    AttachHandler(form, AllowHugeWindows);
    SetSize(form, screenWidth + 301, 201);
    CenterOnParent(form);
    ASSERT_EQ(Width(form), screenWidth + 301);
    const RECT r = WindowRectOf(form->Handle);
    EXPECT_EQ(r.left, -151);
    EXPECT_EQ(r.top, (screenHeight - 201) / 2);

    Control* child = CreateButton(form, "Child");
    SetSize(child, 51, 22);
    CenterOnParent(child);
    EXPECT_EQ(BoundsRect(child).left, (ClientWidth(form) - 51) >> 1);
    ReleaseForm(form);
}

struct ResizeRecorder {
    Control* form = nullptr;
    Control* list = nullptr;
    std::vector<int32_t> formHeights;
    // As the application does it: the list gets the window's height less 60 on every resize.
    void Resized(Control*) {
        formHeights.push_back(Height(form));
        SetHeight(list, Height(form) - 60);
    }
};

TEST_F(GeometryTest, ABottomAlignedListFollowsTheBottomEdgeAndKeepsTheHeightItIsGiven) {
    Control* form = CreateFormControl(nullptr, "Layer Test");
    SetClientSize(form, 640, 480);
    Control* button = CreateButton(form, "Start");
    SetPosition(button, 272, 4);
    Control* list = CreateListBox(form, kListBoxNoIntegralHeight);
    SetAlignment(list, AlignBottom);
    SetSize(list, 0, 446);
    ASSERT_TRUE(CreateControlWindow(form));

    RECT b = BoundsRect(list);
    EXPECT_EQ(b.left, 2);
    EXPECT_EQ(b.right, 638);
    EXPECT_EQ(b.bottom, 478);
    EXPECT_EQ(b.top, 478 - 446);

    SetClientSize(form, 740, 380);
    b = BoundsRect(list);
    EXPECT_EQ(b.left, 2);
    EXPECT_EQ(b.right, 738);
    EXPECT_EQ(b.bottom, 378);
    EXPECT_EQ(b.bottom - b.top, 446);
    const RECT buttonBounds = BoundsRect(button);
    EXPECT_EQ(buttonBounds.left, 272);
    EXPECT_EQ(buttonBounds.top, 4);

    // The resize handler sees the new size first; the height it gives the list stays and the
    // alignment moves the list's top edge.
    ResizeRecorder recorder{form, list, {}};
    SetResizeHandler(form, NotifyHandler::Bind<&ResizeRecorder::Resized>(&recorder));
    SetHeight(form, Height(form) + 100);
    ASSERT_FALSE(recorder.formHeights.empty());
    EXPECT_EQ(recorder.formHeights.back(), Height(form));
    b = BoundsRect(list);
    EXPECT_EQ(b.bottom - b.top, Height(form) - 60);
    EXPECT_EQ(b.bottom, ClientHeight(form) - 2);
    ReleaseForm(form);
}

TEST_F(GeometryTest, TwoBottomAlignedChildrenStackUpwardsInCreationOrder) {
    Control* form = CreateFormControl(nullptr, "Layer Test");
    SetClientSize(form, 300, 300);
    Control* lower = CreateListBox(form, kListBoxNoIntegralHeight);
    Control* upper = CreateListBox(form, kListBoxNoIntegralHeight);
    SetSize(lower, 0, 50);
    SetSize(upper, 0, 40);
    SetAlignment(lower, AlignBottom);
    SetAlignment(upper, AlignBottom);
    ASSERT_TRUE(CreateControlWindow(form));
    const RECT l = BoundsRect(lower);
    const RECT u = BoundsRect(upper);
    EXPECT_EQ(l.bottom, 298);
    EXPECT_EQ(l.top, 248);
    EXPECT_EQ(u.bottom, 246);
    EXPECT_EQ(u.top, 206);
    EXPECT_EQ(u.left, 2);
    EXPECT_EQ(u.right, 298);
    ReleaseForm(form);
}

} // namespace
