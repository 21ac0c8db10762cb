// Controls on real windows: their windows made hidden when needed early and shown by the
// creation request, captions, list items, and dropped files.
#include "layer/dispatch.h"
#include "layer/geometry.h"
#include "window_test_support.h"

namespace {

using ControlsTest = WindowTest;

TEST_F(ControlsTest, WindowsMadeEarlyStayHiddenUntilTheCreationRequestShowsEverything) {
    Control* form = CreateFormControl(nullptr, "Layer Test");
    Control* button = CreateButton(form, "Start");
    Control* list = CreateListBox(form, kListBoxNoIntegralHeight);
    SetCaption(button, "Abort");
    SetClientSize(form, 300, 200); // measuring the frame needs the form's window
    EXPECT_EQ(AddItem(list, "first"), 0);
    EXPECT_EQ(AddItem(list, ""), 1);
    EXPECT_FALSE(IsWindowVisible(form->Handle) || IsWindowVisible(list->Handle));
    ASSERT_TRUE(CreateControlWindow(form));
    for (Control* control : {form, button, list})
        EXPECT_TRUE(IsWindowVisible(control->Handle));
    EXPECT_EQ(GetCaption(button), "Abort");
    EXPECT_EQ(SendMessageA(list->Handle, LB_GETSEL, 0, 0), 1); // the first item added is selected
    EXPECT_EQ(ItemText(list, 0) + "|" + ItemText(list, 1) + "|" + ItemText(list, 2), "first||");
    ReleaseForm(form);
}

struct DropRecord {
    int events = 0;
    std::string names;
    void Dropped(Control*, const std::string& droppedNames, POINT) {
        ++events;
        names = droppedNames;
    }
};

TEST_F(ControlsTest, DroppedFilesArriveAsOneEventWithNamesSeparatedByCarriageReturns) {
    DropRecord record;
    Control* form = CreateFormControl(nullptr, "Layer Test");
    SetDropFilesHandler(form, DropFilesHandlerType::Bind<&DropRecord::Dropped>(&record));
    const std::string longName = "C:\\" + std::string(600, 'd') + ".torrent";
    PostDrop(form->Handle, {"C:\\T\\a.torrent", longName, "D:\\c"}, POINT{17, 23});
    ASSERT_TRUE(PumpUntil([&] { return record.events > 0; }));
    PumpFor(20);
    EXPECT_EQ(record.events, 1);
    EXPECT_EQ(record.names, "C:\\T\\a.torrent\r" + longName + "\rD:\\c");
    ReleaseForm(form);
}

} // namespace
