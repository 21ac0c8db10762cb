// Message dispatch on real windows: the order of attached handlers, and closing the main
// window while a run inside a click handler pumps messages.
#include "layer/dispatch.h"
#include "window_test_support.h"

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
