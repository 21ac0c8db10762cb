// Controls on real windows: when and how their windows come into existence, their styles and
// classes, captions, enabled state, list box items and dropped files.
#include "layer/control.h"
#include "layer/dispatch.h"
#include "layer/geometry.h"
#include "window_test_support.h"

#include <gtest/gtest.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>

#include <string>
#include <vector>

namespace {

using ControlsTest = WindowTest;

DWORD StyleOf(HWND window) {
    return static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE));
}
DWORD ExStyleOf(HWND window) {
    return static_cast<DWORD>(GetWindowLongPtrA(window, GWL_EXSTYLE));
}

// The layer's own windows, in the order they were made, with the styles they were made with.
std::vector<CreationLog::Entry> LayerWindows(const CreationLog& log) {
    std::vector<CreationLog::Entry> windows;
    for (const auto& entry : log.Entries()) {
        if (entry.className.rfind("obj_", 0) == 0) {
            windows.push_back(entry);
        }
    }
    return windows;
}

TEST_F(ControlsTest, WindowsNeededEarlyAreMadeHiddenAndTheCreationRequestShowsEverything) {
    CreationLog log;
    Control* form = CreateFormControl(nullptr, "Layer Test");
    EXPECT_FALSE(HasWindow(form));
    // Measuring the frame needs the form's window: it is made now, hidden.
    SetClientSize(form, 300, 200);
    ASSERT_TRUE(HasWindow(form));
    EXPECT_FALSE(IsWindowVisible(form->Handle));

    Control* button = CreateButton(form, "Start");
    Control* list = CreateListBox(form, kListBoxNoIntegralHeight);
    EXPECT_FALSE(HasWindow(button));
    EXPECT_FALSE(HasWindow(list));
    const HWND listWindow = EnsureWindow(list);
    ASSERT_NE(listWindow, nullptr);
    EXPECT_FALSE(HasWindow(button));
    EXPECT_EQ(GetParent(listWindow), form->Handle);
    EXPECT_FALSE(IsWindowVisible(listWindow));

    // The creation request on the form makes the missing button and shows all of them.
    ASSERT_TRUE(CreateControlWindow(form));
    ASSERT_TRUE(HasWindow(button));
    EXPECT_TRUE(IsWindowVisible(form->Handle));
    EXPECT_TRUE(IsWindowVisible(button->Handle));
    EXPECT_TRUE(IsWindowVisible(listWindow));

    const auto windows = LayerWindows(log);
    ASSERT_EQ(windows.size(), 3u);
    EXPECT_EQ(windows[0].className, "obj_Form");
    EXPECT_EQ(windows[1].className, "obj_LISTBOX");
    EXPECT_EQ(windows[2].className, "obj_BUTTON");
    EXPECT_EQ(windows[0].style & WS_VISIBLE, 0u);
    EXPECT_EQ(windows[1].style & WS_VISIBLE, 0u);
    EXPECT_NE(windows[2].style & WS_VISIBLE, 0u);
    ReleaseForm(form);
}

TEST_F(ControlsTest, ButtonsAndListBoxesGetTheirStylesIdentifiersAndDefaultBounds) {
    CreationLog log;
    Control* form = CreateFormControl(nullptr, "Layer Test");
    Control* first = CreateButton(form, "First");
    Control* list = CreateListBox(form, kListBoxNoIntegralHeight);
    ASSERT_TRUE(CreateControlWindow(form));

    const auto windows = LayerWindows(log);
    ASSERT_EQ(windows.size(), 3u);
    EXPECT_EQ(windows[1].style, 0x56015000u);
    EXPECT_EQ(windows[2].style, 0x56210941u);
    EXPECT_EQ(StyleOf(first->Handle), 0x56015000u);
    EXPECT_EQ(ExStyleOf(first->Handle), 0u);
    // The list box drops WS_VSCROLL by itself while it has nothing to scroll.
    EXPECT_EQ(StyleOf(list->Handle) | WS_VSCROLL, 0x56210941u);
    EXPECT_EQ(ExStyleOf(list->Handle), static_cast<DWORD>(WS_EX_CLIENTEDGE));
    EXPECT_EQ(GetDlgCtrlID(list->Handle), GetDlgCtrlID(first->Handle) + 1);
    EXPECT_GE(GetDlgCtrlID(first->Handle), 0x8000);

    const RECT button = BoundsRect(first);
    EXPECT_EQ(button.left, 2);
    EXPECT_EQ(button.top, 2);
    EXPECT_EQ(button.right, 66);
    EXPECT_EQ(button.bottom, 24);
    const RECT box = BoundsRect(list);
    EXPECT_EQ(box.right - box.left, 164);
    EXPECT_EQ(box.bottom - box.top, 200);
    ReleaseForm(form);
}

TEST_F(ControlsTest, TheFirstTabStopControlBecomesCurrentAndGetsTheFocusWithTheForm) {
    Control* form = CreateFormControl(nullptr, "Layer Test");
    Control* first = CreateButton(form, "First");
    Control* second = CreateButton(form, "Second");
    EXPECT_EQ(form->CurrentControl, first);
    EXPECT_EQ(first->TabOrder, 1);
    EXPECT_EQ(second->TabOrder, 2);
    ASSERT_TRUE(CreateControlWindow(form));
    SetForegroundWindow(form->Handle);
    SetFocus(form->Handle);
    EXPECT_TRUE(PumpUntil([&] { return GetFocus() == first->Handle; }));
    ReleaseForm(form);
}

TEST_F(ControlsTest, CaptionIsStoredBeforeTheWindowAndReadBackFromIt) {
    Control* form = CreateFormControl(nullptr, "Layer Test");
    Control* button = CreateButton(form, "Start");
    SetCaption(button, "Abort");
    SetCaption(form, "Processing...");
    ASSERT_TRUE(CreateControlWindow(form));
    char text[64] = {};
    GetWindowTextA(button->Handle, text, sizeof text);
    EXPECT_STREQ(text, "Abort");
    GetWindowTextA(form->Handle, text, sizeof text);
    EXPECT_STREQ(text, "Processing...");

    SetWindowTextA(form->Handle, "Done");
    EXPECT_EQ(GetCaption(form), "Done");
    ClearContent(button);
    EXPECT_EQ(GetCaption(button), "");
    ReleaseForm(form);
}

TEST_F(ControlsTest, SetEnabledChangesTheWindowOnlyWhenTheStateDiffers) {
    Control* form = CreateFormControl(nullptr, "Layer Test");
    Control* early = CreateButton(form, "Early");
    Control* button = CreateButton(form, "Start");
    SetEnabled(early, false);
    ASSERT_TRUE(CreateControlWindow(form));
    EXPECT_FALSE(IsWindowEnabled(early->Handle));
    PumpFor(50);

    UpdateWindow(button->Handle);
    ValidateRect(button->Handle, nullptr);
    SetEnabled(button, true);
    EXPECT_FALSE(GetUpdateRect(button->Handle, nullptr, FALSE));

    SetEnabled(button, false);
    EXPECT_FALSE(IsWindowEnabled(button->Handle));
    EXPECT_FALSE(IsEnabled(button));
    EXPECT_TRUE(GetUpdateRect(button->Handle, nullptr, FALSE));
    SetEnabled(button, true);
    EXPECT_TRUE(IsWindowEnabled(button->Handle));
    ReleaseForm(form);
}

TEST_F(ControlsTest, FirstItemAddedIsSelectedAndTextsOutsideTheListAreEmpty) {
    Control* form = CreateFormControl(nullptr, "Layer Test");
    Control* list = CreateListBox(form, kListBoxNoIntegralHeight);
    EXPECT_EQ(AddItem(list, "first"), 0);
    EXPECT_NE(SendMessageA(list->Handle, LB_GETSEL, 0, 0), 0);
    EXPECT_EQ(AddItem(list, ""), 1);
    EXPECT_EQ(AddItem(list, "third"), 2);
    EXPECT_EQ(SendMessageA(list->Handle, LB_GETSELCOUNT, 0, 0), 1);
    EXPECT_EQ(SendMessageA(list->Handle, LB_GETSEL, 2, 0), 0);

    EXPECT_EQ(ItemCount(list), 3);
    EXPECT_EQ(ItemText(list, 0), "first");
    EXPECT_EQ(ItemText(list, 1), "");
    EXPECT_EQ(ItemText(list, 2), "third");
    EXPECT_EQ(ItemText(list, 3), "");
    EXPECT_EQ(ItemText(list, -1), "");

    ClearContent(list);
    EXPECT_EQ(ItemCount(list), 0);
    ReleaseForm(form);
}

TEST_F(ControlsTest, DestroyingAParentReleasesItsChildrenOldestFirst) {
    std::vector<std::string> destroyed;
    struct Recorder {
        std::vector<std::string>* log;
        std::string name;
        void Record(LayerObject*) { log->push_back(name); }
    };
    Control* form = CreateFormControl(nullptr, "Layer Test");
    Recorder records[3] = {{&destroyed, "A"}, {&destroyed, "B"}, {&destroyed, "C"}};
    Control* children[3] = {CreateButton(form, "A"), CreateListBox(form, 0),
                            CreateButton(form, "C")};
    for (int i = 0; i < 3; ++i) {
        children[i]->DestroyHandler =
            BoundHandler<LayerObject*>::Bind<&Recorder::Record>(&records[i]);
    }
    ASSERT_TRUE(CreateControlWindow(form));
    const HWND listWindow = children[1]->Handle;
    ReleaseForm(form);
    EXPECT_EQ(destroyed, (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_FALSE(IsWindow(listWindow));
}

// --- Dropped files -------------------------------------------------------------------------

struct DropRecord {
    int events = 0;
    std::string names;
    POINT point{};
    void Dropped(Control*, const std::string& droppedNames, POINT at) {
        ++events;
        names = droppedNames;
        point = at;
    }
};

TEST_F(ControlsTest, DroppedFilesArriveAsOneEventWithNamesSeparatedByCarriageReturns) {
    DropRecord record;
    Control* form = CreateFormControl(nullptr, "Layer Test");
    SetDropFilesHandler(form, DropFilesHandlerType::Bind<&DropRecord::Dropped>(&record));
    EXPECT_NE(ExStyleOf(form->Handle) & WS_EX_ACCEPTFILES, 0u);
    PostDrop(form->Handle, {"C:\\T\\a.torrent", "C:\\T\\b.torrent", "D:\\c"}, POINT{17, 23});
    ASSERT_TRUE(PumpUntil([&] { return record.events > 0; }));
    PumpFor(20);
    EXPECT_EQ(record.events, 1);
    EXPECT_EQ(record.names, "C:\\T\\a.torrent\rC:\\T\\b.torrent\rD:\\c");
    EXPECT_EQ(record.point.x, 17);
    EXPECT_EQ(record.point.y, 23);

    SetDropFilesHandler(form, {});
    EXPECT_EQ(ExStyleOf(form->Handle) & WS_EX_ACCEPTFILES, 0u);
    ReleaseForm(form);
}

TEST_F(ControlsTest, ALongDroppedNameArrivesWhole) {
    DropRecord record;
    Control* form = CreateFormControl(nullptr, "Layer Test");
    SetDropFilesHandler(form, DropFilesHandlerType::Bind<&DropRecord::Dropped>(&record));
    std::string longName = "C:\\";
    while (longName.size() < 600) {
        longName += "deep\\";
    }
    longName.resize(592);
    longName += ".torrent";
    ASSERT_EQ(longName.size(), 600u);
    PostDrop(form->Handle, {"C:\\short", longName}, POINT{1, 1});
    ASSERT_TRUE(PumpUntil([&] { return record.events > 0; }));
    EXPECT_EQ(record.names, "C:\\short\r" + longName);
    ReleaseForm(form);
}

} // namespace
