// Message dispatch and the application loop on real windows: the order of attached handlers,
// handlers that release their own control, the quit message inside the one-message pump, the
// Tab key, double clicks, and closing the main window while a run pumps messages.
#include "layer/control.h"
#include "layer/dispatch.h"
#include "layer/geometry.h"
#include "layer/pointer_list.h"
#include "window_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using DispatchTest = WindowTest;

constexpr UINT kProbeMessage = WM_APP + 1;

// Attached handlers are plain functions; they report to this log.
std::vector<std::string> handlerLog;

bool FirstAttached(Control*, WindowMessage& message, LRESULT&) {
    if (message.Message == kProbeMessage) {
        handlerLog.push_back("first");
    }
    return false;
}

bool SecondAttached(Control*, WindowMessage& message, LRESULT& result) {
    if (message.Message != kProbeMessage) {
        return false;
    }
    handlerLog.push_back("second sees " + std::to_string(message.LParam));
    result = 42;
    return message.WParam == 1;
}

bool ThirdAttached(Control*, WindowMessage& message, LRESULT&) {
    if (message.Message == kProbeMessage) {
        handlerLog.push_back("third");
        message.LParam = 7;
    }
    return false;
}

TEST_F(DispatchTest, AttachedHandlersRunNewestFirstAndTheFirstThatHandlesEndsTheMessage) {
    handlerLog.clear();
    Control* form = CreateFormControl(nullptr, "Layer Test");
    AttachHandler(form, FirstAttached);
    AttachHandler(form, SecondAttached);
    AttachHandler(form, ThirdAttached);
    AttachHandler(form, ThirdAttached);
    const HWND window = EnsureWindow(form);

    EXPECT_EQ(SendMessageA(window, kProbeMessage, 1, 0), 42);
    EXPECT_EQ(handlerLog, (std::vector<std::string>{"third", "second sees 7"}));

    // Not handled by any: every handler runs, then the default processing gives 0.
    handlerLog.clear();
    EXPECT_EQ(SendMessageA(window, kProbeMessage, 0, 0), 0);
    EXPECT_EQ(handlerLog, (std::vector<std::string>{"third", "second sees 7", "first"}));
    ReleaseForm(form);
}

// --- A handler that releases its own control ------------------------------------------------

struct ReleasingClick {
    int clicks = 0;
    int destroyed = 0;
    void Clicked(Control* sender) {
        ++clicks;
        Release(sender);
    }
    void Destroyed(LayerObject*) { ++destroyed; }
};

TEST_F(DispatchTest, AClickHandlerMayReleaseTheButtonItWasCalledFor) {
    ReleasingClick record;
    Control* form = CreateFormControl(nullptr, "Layer Test");
    Control* button = CreateButton(form, "Close me");
    Control* other = CreateButton(form, "Other");
    SetPosition(other, 100, 2);
    button->ClickHandler = NotifyHandler::Bind<&ReleasingClick::Clicked>(&record);
    button->DestroyHandler = BoundHandler<LayerObject*>::Bind<&ReleasingClick::Destroyed>(&record);
    ASSERT_TRUE(CreateControlWindow(form));
    const HWND buttonWindow = button->Handle;

    PostMessageA(buttonWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageA(buttonWindow, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    ASSERT_TRUE(PumpUntil([&] { return record.destroyed > 0; }));
    PumpFor(50);
    EXPECT_EQ(record.clicks, 1);
    EXPECT_EQ(record.destroyed, 1);
    EXPECT_FALSE(IsWindow(buttonWindow));
    EXPECT_EQ(form->Children->Count(), 1);
    EXPECT_EQ(form->Children->ItemAt(0), other);
    EXPECT_NE(form->CurrentControl, button);
    ReleaseForm(form);
}

// --- The quit message inside the one-message pump -------------------------------------------

struct ClickCounter {
    int clicks = 0;
    int destroyed = 0;
    void Clicked(Control*) { ++clicks; }
    void Destroyed(LayerObject*) { ++destroyed; }
};

void PostClick(Control* button) {
    PostMessageA(button->Handle, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageA(button->Handle, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

TEST_F(DispatchTest, AQuitTakenByTheOneMessagePumpIsActedOnOnlyByTheLoopAndSilencesHandlers) {
    ClickCounter counter;
    Control* form = CreateFormControl(nullptr, "Layer Test");
    form->DestroyHandler = BoundHandler<LayerObject*>::Bind<&ClickCounter::Destroyed>(&counter);
    Control* button = CreateButton(form, "Abort");
    button->ClickHandler = NotifyHandler::Bind<&ClickCounter::Clicked>(&counter);
    ApplicationWindow = form;
    ASSERT_TRUE(CreateControlWindow(form));
    PumpFor(50);

    PostClick(button);
    ProcessPendingMessages(form);
    ASSERT_EQ(counter.clicks, 1);

    // The quit message is only recorded, and the pump's caller goes on.
    PostQuitMessage(0);
    EXPECT_TRUE(ProcessOneMessage(form));
    EXPECT_TRUE(ApplicationTerminated);
    EXPECT_EQ(ApplicationWindow, form);
    EXPECT_TRUE(IsWindow(form->Handle));
    // A click dispatched later gets the button's default processing but no click handler.
    PostClick(button);
    ProcessPendingMessages(form);
    EXPECT_EQ(counter.clicks, 1);
    EXPECT_EQ(GetCapture(), nullptr);

    // Back in the loop, the flag ends the program: the window object is released.
    Control* windowReference = form;
    ApplicationLoop(windowReference);
    EXPECT_EQ(windowReference, nullptr);
    EXPECT_EQ(ApplicationWindow, nullptr);
    EXPECT_EQ(counter.destroyed, 1);
}

TEST_F(DispatchTest, APostedNullMessageEndsOnePassOfThePump) {
    handlerLog.clear();
    Control* form = CreateFormControl(nullptr, "Layer Test");
    AttachHandler(form, FirstAttached);
    const HWND window = EnsureWindow(form);
    PumpFor(50);
    PostMessageA(window, kProbeMessage, 0, 0);
    PostMessageA(window, WM_NULL, 0, 0);
    PostMessageA(window, kProbeMessage, 0, 0);
    ProcessPendingMessages(form);
    EXPECT_EQ(handlerLog.size(), 1u);
    ProcessPendingMessages(form);
    EXPECT_EQ(handlerLog.size(), 2u);
    EXPECT_FALSE(ProcessOneMessage(form));
    ReleaseForm(form);
}

// --- Keys --------------------------------------------------------------------------------

// What reaches the list box's own procedure (the default processing), recorded on the way.
WNDPROC listBoxProcedure = nullptr;
std::vector<std::pair<UINT, WPARAM>> defaultKeys;

LRESULT CALLBACK RecordingListBoxProcedure(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    if (message >= WM_KEYFIRST && message <= 0x108) {
        defaultKeys.emplace_back(message, wParam);
    }
    return CallWindowProcA(listBoxProcedure, window, message, wParam, lParam);
}

std::vector<WPARAM> charactersSeen;
bool RecordCharacters(Control*, WindowMessage& message, LRESULT&) {
    if (message.Message == WM_CHAR) {
        charactersSeen.push_back(message.WParam);
    }
    return false;
}

bool ReachedDefault(UINT message, WPARAM key) {
    for (const auto& [number, wParam] : defaultKeys) {
        if (number == message && wParam == key) {
            return true;
        }
    }
    return false;
}

TEST_F(DispatchTest, TabIsSwallowedInTheListButCtrlTabReachesTheDefaultProcessing) {
    Control* form = CreateFormControl(nullptr, "Layer Test");
    Control* list = CreateListBox(form, kListBoxNoIntegralHeight);
    AddItem(list, "\tline starting with a tab");
    AttachHandler(list, RecordCharacters);
    ASSERT_TRUE(CreateControlWindow(form));
    listBoxProcedure = list->BaseWindowProc;
    list->BaseWindowProc = RecordingListBoxProcedure;
    ASSERT_TRUE(FocusWindow(form->Handle, list->Handle));

    defaultKeys.clear();
    charactersSeen.clear();
    TapKey(VK_TAB);
    ASSERT_TRUE(PumpUntil([] { return ReachedDefault(WM_KEYUP, VK_TAB); }));
    PumpFor(50);
    EXPECT_EQ(charactersSeen, std::vector<WPARAM>{'\t'});
    EXPECT_TRUE(ReachedDefault(WM_KEYDOWN, VK_TAB));
    EXPECT_FALSE(ReachedDefault(WM_CHAR, '\t'));
    EXPECT_EQ(GetFocus(), list->Handle);

    // With Ctrl held, every key message, the Tab character included, gets the default.
    defaultKeys.clear();
    PressKey(VK_CONTROL);
    ASSERT_TRUE(PumpUntil([] { return GetKeyState(VK_CONTROL) < 0; }));
    TapKey(VK_TAB);
    ASSERT_TRUE(PumpUntil([] { return ReachedDefault(WM_KEYUP, VK_TAB); }));
    PostMessageA(list->Handle, WM_CHAR, '\t', 1);
    ASSERT_TRUE(PumpUntil([] { return ReachedDefault(WM_CHAR, '\t'); }));
    EXPECT_TRUE(ReachedDefault(WM_KEYDOWN, VK_TAB));
    ReleaseKey(VK_CONTROL);
    PumpUntil([] { return GetKeyState(VK_CONTROL) >= 0; });
    list->BaseWindowProc = listBoxProcedure;
    ReleaseForm(form);
}

// --- Mouse -------------------------------------------------------------------------------

std::vector<UINT> buttonMouseMessages;
bool RecordMouse(Control*, WindowMessage& message, LRESULT&) {
    if (message.Message == WM_LBUTTONDOWN || message.Message == WM_LBUTTONDBLCLK) {
        buttonMouseMessages.push_back(message.Message);
    }
    return false;
}

TEST_F(DispatchTest, ADoubleClickOnAButtonIsTwoClicks) {
    ClickCounter counter;
    Control* form = CreateFormControl(nullptr, "Layer Test");
    SetPosition(form, 100, 100);
    SetSize(form, 300, 200);
    Control* button = CreateButton(form, "Twice");
    button->ClickHandler = NotifyHandler::Bind<&ClickCounter::Clicked>(&counter);
    AttachHandler(button, RecordMouse);
    ASSERT_TRUE(CreateControlWindow(form));
    ASSERT_TRUE(FocusWindow(form->Handle, button->Handle));
    buttonMouseMessages.clear();

    const POINT center = ScreenCenterOf(button->Handle);
    ClickAt(center);
    ClickAt(center);
    ASSERT_TRUE(PumpUntil([&] { return counter.clicks >= 2; }));
    PumpFor(100);
    EXPECT_EQ(counter.clicks, 2);
    EXPECT_EQ(buttonMouseMessages, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}));
    ReleaseForm(form);
}

// --- Closing the main window while a run pumps messages -------------------------------------

struct DestroyNames {
    std::vector<std::string>* log;
    const char* name;
    void Record(LayerObject*) { log->push_back(name); }
};

// A batch run inside Start's click handler, as the application runs it: one line per file and
// one message between files. The user closes the window after the second file.
struct RunInHandler {
    Control* form = nullptr;
    Control* clear = nullptr;
    Control* list = nullptr;
    std::vector<std::string>* destroyed = nullptr;

    int filesDone = 0;
    bool terminatedSeen = false;
    bool windowsGone = false;
    bool destroyedDuringRun = true;
    std::string clearCaption;
    int32_t itemsAfterClose = -1;
    bool windowMadeAgain = true;

    void StartClicked(Control*) {
        const HWND formWindow = form->Handle;
        const HWND listWindow = list->Handle;
        for (; filesDone < 6 && !ApplicationTerminated; ++filesDone) {
            AddItem(list, "line " + std::to_string(filesDone));
            if (filesDone == 1) {
                PostMessageA(formWindow, WM_CLOSE, 0, 0);
            }
            ProcessOneMessage(form);
        }
        // What the run does after its loop, with the window gone.
        terminatedSeen = ApplicationTerminated;
        windowsGone = !IsWindow(formWindow) && !IsWindow(listWindow);
        destroyedDuringRun = !destroyed->empty();
        SetCaption(form, "Done");
        clearCaption = GetCaption(clear);
        SetCaption(clear, "Clear");
        SetEnabled(clear, false);
        AddItem(list, "late line");
        itemsAfterClose = ItemCount(list);
        windowMadeAgain = EnsureWindow(list) != nullptr || EnsureWindow(form) != nullptr;
    }
};

TEST_F(DispatchTest, ClosingTheMainWindowDuringARunLeavesTheControlsSafeToUse) {
    std::vector<std::string> destroyed;
    DestroyNames names[4] = {
        {&destroyed, "form"}, {&destroyed, "start"}, {&destroyed, "clear"}, {&destroyed, "list"}};
    Control* form = CreateFormControl(nullptr, "Layer Test");
    Control* start = CreateButton(form, "Start");
    Control* clear = SetPosition(CreateButton(form, "Abort"), 80, 2);
    Control* list = CreateListBox(form, kListBoxNoIntegralHeight);
    SetPosition(list, 2, 40);
    Control* controls[4] = {form, start, clear, list};
    for (int i = 0; i < 4; ++i) {
        controls[i]->DestroyHandler =
            BoundHandler<LayerObject*>::Bind<&DestroyNames::Record>(&names[i]);
    }
    RunInHandler run;
    run.form = form;
    run.clear = clear;
    run.list = list;
    run.destroyed = &destroyed;
    start->ClickHandler = NotifyHandler::Bind<&RunInHandler::StartClicked>(&run);
    ApplicationWindow = form;
    ASSERT_TRUE(CreateControlWindow(form));
    PumpFor(50);

    PostClick(start);
    Control* formReference = form;
    ApplicationLoop(formReference);

    // The run stopped once the quit message was taken, a few messages after the close.
    EXPECT_GE(run.filesDone, 2);
    EXPECT_LT(run.filesDone, 6);
    EXPECT_TRUE(run.terminatedSeen);
    EXPECT_TRUE(run.windowsGone);
    EXPECT_FALSE(run.destroyedDuringRun);
    EXPECT_EQ(run.clearCaption, "Abort");
    EXPECT_EQ(run.itemsAfterClose, 0);
    EXPECT_FALSE(run.windowMadeAgain);
    EXPECT_EQ(formReference, nullptr);
    EXPECT_EQ(destroyed, (std::vector<std::string>{"form", "start", "clear", "list"}));
}

} // namespace
