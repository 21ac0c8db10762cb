// Message dispatch on real windows: the order of attached handlers, the one-message pump, what
// clicks, colours and drops become, and closing the main window while a run inside a click
// handler pumps messages.
#include "layer/dispatch.h"
#include "window_test_support.h"

#include <shellapi.h>

namespace {

using DispatchTest = WindowTest;

constexpr UINT kProbeMessage = WM_APP + 1;
std::vector<std::string> handlerLog;

// Handler n logs what it saw; handler 3 changes the message for the handlers after it, and
// handler 2 handles it when its WParam is 1.
template <int n> bool Logging(Control*, WindowMessage& message, LRESULT& result) {
    if (message.Message != kProbeMessage)
        return false;
    handlerLog.push_back(std::to_string(n) + " saw " + std::to_string(message.LParam));
    message.LParam = n == 3 ? 7 : message.LParam;
    result = 42;
    return n == 2 && message.WParam == 1;
}

TEST_F(DispatchTest, AttachedHandlersRunNewestFirstAndTheFirstThatHandlesEndsTheMessage) {
    Control* form = CreateFormControl(nullptr, "Layer Test");
    const HWND window = EnsureWindow(form);
    for (MessageHandler handler : {Logging<1>, Logging<2>, Logging<3>, Logging<3>})
        AttachHandler(form, handler);
    handlerLog.clear();
    EXPECT_EQ(SendMessageA(window, kProbeMessage, 1, 0), 42);
    EXPECT_EQ(handlerLog, (std::vector<std::string>{"3 saw 0", "2 saw 7"}));
    handlerLog.clear();
    EXPECT_EQ(SendMessageA(window, kProbeMessage, 0, 0), 0); // the default processing's answer
    EXPECT_EQ(handlerLog, (std::vector<std::string>{"3 saw 0", "2 saw 7", "1 saw 7"}));
    ReleaseForm(form);
}

// A posted WM_NULL ends one pass of the pump; a WM_QUIT taken by it ends the handlers' calls.
TEST_F(DispatchTest, ThePumpStopsAtANullMessageAndAfterTheQuitMessageNoHandlerRuns) {
    Control* form = CreateFormControl(nullptr, "Layer Test");
    const HWND window = EnsureWindow(form);
    AttachHandler(form, Logging<1>);
    handlerLog.clear();
    for (UINT message : {kProbeMessage, UINT{WM_NULL}, kProbeMessage})
        PostMessageA(window, message, 0, 5);
    ProcessPendingMessages(form);
    EXPECT_EQ(handlerLog, std::vector<std::string>{"1 saw 5"});
    ProcessPendingMessages(form);
    EXPECT_EQ(handlerLog, (std::vector<std::string>{"1 saw 5", "1 saw 5"}));
    PostQuitMessage(0);
    ProcessPendingMessages(form);
    EXPECT_TRUE(ApplicationTerminated);
    PostMessageA(window, kProbeMessage, 0, 6);
    ProcessPendingMessages(form);
    EXPECT_EQ(handlerLog.size(), 2u);
    ReleaseForm(form);
}

struct Events {
    std::vector<std::string> log;
    void Clicked(Control* sender) { log.push_back("click " + GetCaption(sender)); }
    void Dropped(Control*, const std::string& names, POINT at) {
        log.push_back(names + " at " + std::to_string(at.x) + "," + std::to_string(at.y));
    }
};

// A double click is two presses; each child paints with its own colours on the brush of its
// colour; dropped names arrive whole, however long, joined by CR, and only while a handler is set.
TEST_F(DispatchTest, ClicksColoursAndDropsReachTheControlTheyConcern) {
    Events events;
    Control* form = CreateFormControl(nullptr, "Layer Test");
    Control* button = CreateButton(form, "Start");
    Control* list = CreateListBox(form, kListBoxNoIntegralHeight);
    button->ClickHandler = NotifyHandler::Bind<&Events::Clicked>(&events);
    SetDropFilesHandler(form, DropFilesHandlerType::Bind<&Events::Dropped>(&events));
    ASSERT_TRUE(CreateControlWindow(form));
    for (int message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
        PostMessageA(button->Handle, UINT(message), MK_LBUTTON, MAKELPARAM(5, 5));
    ProcessPendingMessages(form);
    EXPECT_EQ(events.log, (std::vector<std::string>{"click Start", "click Start"}));

    for (auto [child, message, color] : {std::tuple{button, WM_CTLCOLORBTN, COLOR_BTNFACE},
                                         std::tuple{list, WM_CTLCOLORLISTBOX, COLOR_WINDOW}}) {
        HDC dc = GetDC(child->Handle);
        LOGBRUSH brush{};
        GetObjectA(reinterpret_cast<HBRUSH>(SendMessageA(form->Handle, UINT(message), WPARAM(dc),
                                                         LPARAM(child->Handle))),
                   sizeof brush, &brush);
        EXPECT_EQ(std::vector({brush.lbColor, GetBkColor(dc), GetTextColor(dc)}),
                  std::vector<COLORREF>({GetSysColor(color), GetSysColor(color), RGB(8, 0, 0)}));
        ReleaseDC(child->Handle, dc);
    }

    EXPECT_NE(GetWindowLongA(form->Handle, GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0);
    const std::string deep = "C:\\" + std::string(300, 'd') + "\\x.torrent";
    const std::pair<std::vector<std::string>, std::string> drops[] = {
        {{"C:\\a"}, "C:\\a at 5,6"},
        {{"C:\\a", "D:\\b c", deep}, "C:\\a\rD:\\b c\r" + deep + " at 5,6"},
    };
    for (const auto& [names, seen] : drops) {
        events.log.clear();
        PostDrop(form->Handle, names, POINT{5, 6});
        ProcessPendingMessages(form);
        EXPECT_EQ(events.log, std::vector<std::string>{seen});
    }
    SetDropFilesHandler(form, {});
    EXPECT_EQ(GetWindowLongA(form->Handle, GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0);
    events.log.clear();
    PostDrop(form->Handle, {"C:\\a"}, POINT{5, 6});
    ProcessPendingMessages(form);
    EXPECT_TRUE(events.log.empty());
    ReleaseForm(form);
}

// The user closes the window during a run of files inside Start's click handler, which takes
// one message between files as the program's batch does; what the run does after its loop
// must stay safe, and the controls go with the window once the run has returned.
struct BatchRun {
    Control *form, *list;
    int filesDone = 0;
    int32_t itemsAfterRun = -1;
    std::vector<LayerObject*> destroyed;
    void StartClicked(Control*) {
        for (; filesDone < 6 && !ApplicationTerminated; ++filesDone) {
            if (filesDone == 1)
                PostMessageA(form->Handle, WM_CLOSE, 0, 0);
            ProcessOneMessage(form);
        }
        SetCaption(form, "Done");
        AddItem(list, "late line");
        itemsAfterRun = destroyed.empty() && form->Handle == nullptr ? ItemCount(list) : -1;
    }
    void Destroyed(LayerObject* object) { destroyed.push_back(object); }
};

TEST_F(DispatchTest, ClosingTheMainWindowDuringARunLeavesItsControlsSafeToUse) {
    Control* form = CreateFormControl(nullptr, "Layer Test");
    Control* start = CreateButton(form, "Start");
    BatchRun run{form, CreateListBox(form, kListBoxNoIntegralHeight), 0, -1, {}};
    start->ClickHandler = NotifyHandler::Bind<&BatchRun::StartClicked>(&run);
    for (Control* control : {form, run.list})
        control->DestroyHandler = BoundHandler<LayerObject*>::Bind<&BatchRun::Destroyed>(&run);
    ApplicationWindow = form;
    ASSERT_TRUE(CreateControlWindow(form));
    for (UINT message : {UINT{WM_LBUTTONDOWN}, UINT{WM_LBUTTONUP}})
        PostMessageA(start->Handle, message, MK_LBUTTON, MAKELPARAM(5, 5));
    ApplicationLoop(form);
    EXPECT_TRUE(run.filesDone >= 2 && run.filesDone < 6) << run.filesDone;
    EXPECT_EQ(run.itemsAfterRun, 0);
    EXPECT_EQ(form, nullptr);
    EXPECT_EQ(run.destroyed, (std::vector<LayerObject*>{run.form, run.list}));
}

} // namespace
