// Geometry on real windows: what each setter moves and keeps, client size, centring (a child
// wider than its parent halves towards minus infinity), and alignment as the window is resized.
#include "layer/dispatch.h"
#include "layer/geometry.h"
#include "window_test_support.h"

#include <functional>

namespace {

using GeometryTest = WindowTest;
using Edges = std::vector<LONG>;

Edges EdgesOf(Control* control) {
    const RECT r = BoundsRect(control);
    return {r.left, r.top, r.right, r.bottom};
}

TEST_F(GeometryTest, EachSetterMovesOrSizesWhatItNamesAndKeepsTheRest) {
    Control* form = CreateFormControl(nullptr, "Layer Test");
    SetPosition(form, 120, 90); // before the window exists: it is made there
    SetClientSize(form, 400, 300);
    EXPECT_EQ(
        Edges({ClientWidth(form), ClientHeight(form), BoundsRect(form).left, BoundsRect(form).top}),
        Edges({400, 300, 120, 90}));
    Control* child = CreateListBox(form, kListBoxNoIntegralHeight);
    ASSERT_TRUE(CreateControlWindow(form));
    const std::pair<std::function<void()>, Edges> cases[] = {
        {[&] { SetLeft(child, 5); }, {5, 20, 105, 70}},
        {[&] { SetTop(child, 7); }, {10, 7, 110, 57}},
        {[&] { SetWidth(child, 30); }, {10, 20, 40, 70}},
        {[&] { SetHeight(child, 30); }, {10, 20, 110, 50}},
        {[&] { SetPosition(child, 1, 2); }, {1, 2, 101, 52}},
        {[&] { SetSize(child, 0, 40); }, {10, 20, 110, 60}},
        {[&] { SetSize(child, 40, 0); }, {10, 20, 50, 70}},
        {[&] { CenterOnParent(child); }, {150, 125, 250, 175}},
        {[&] { CenterOnParent(SetSize(child, 501, 50)); }, {-51, 125, 450, 175}},
        {[&] { SetClientSize(form, 0, 200); }, {10, 20, 110, 70}},
    };
    for (const auto& [set, edges] : cases) {
        SetBoundsRect(child, RECT{10, 20, 110, 70});
        set();
        EXPECT_EQ(EdgesOf(child), edges);
    }
    EXPECT_EQ(Edges({ClientWidth(form), ClientHeight(form)}), Edges({400, 200}));

    CenterOnParent(SetSize(form, 401, 201)); // a form: on the screen
    EXPECT_EQ(Edges({BoundsRect(form).left, BoundsRect(form).top}),
              Edges({(GetSystemMetrics(SM_CXSCREEN) - 401) >> 1,
                     (GetSystemMetrics(SM_CYSCREEN) - 201) >> 1}));
    ReleaseForm(form);
}

// Children aligned in a 300 x 300 client area with the margin 2, each given its size (w, h):
// top and bottom ones first, then left and right ones in what is left, then the others. The
// height that the window's resize handler gives a bottom-aligned child stays as the window is
// resized, and its top edge moves.
TEST_F(GeometryTest, AlignedChildrenTakeTheirEdgeInsideTheMargin) {
    using Child = std::tuple<ControlAlignment, LONG, LONG, Edges>;
    const std::vector<Child> cases[] = {
        {{AlignLeft, 50, 40, {2, 2, 52, 256}},
         {AlignBottom, 50, 40, {2, 258, 298, 298}},
         {AlignNone, 50, 40, {2, 2, 52, 42}}},
        {{AlignBottom, 0, 50, {2, 248, 298, 298}}, {AlignBottom, 0, 40, {2, 206, 298, 246}}},
    };
    Control* form = nullptr;
    std::vector<Control*> made;
    for (const std::vector<Child>& children : cases) {
        ReleaseForm(form);
        form = SetClientSize(CreateFormControl(nullptr, "Layer Test"), 300, 300);
        made.clear();
        for (const auto& [alignment, w, h, edges] : children)
            made.push_back(SetAlignment(
                SetSize(CreateListBox(form, kListBoxNoIntegralHeight), w, h), alignment));
        ASSERT_TRUE(CreateControlWindow(form));
        for (size_t i = 0; i < made.size(); ++i)
            EXPECT_EQ(EdgesOf(made[i]), std::get<3>(children[i])) << children.size() << " " << i;
    }
    struct {
        Control *form, *list;
        void Resized(Control*) { SetHeight(list, ClientHeight(form) - 100); }
    } handler{form, made[0]};
    SetResizeHandler(form, NotifyHandler::Bind<&decltype(handler)::Resized>(&handler));
    SetClientSize(form, 400, 500);
    EXPECT_EQ(EdgesOf(made[0]), Edges({2, 98, 398, 498}));
    ReleaseForm(form);
}

} // namespace
