// Message dispatch on real windows: the order of attached handlers, the one-message pump, and
// what clicks and drops become.
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

// The first handler that handles a message ends it; a posted WM_NULL ends one pass of the pump,
// and once the pump has taken WM_QUIT no handler runs.
TEST_F(DispatchTest, AttachedHandlersRunNewestFirstUntilTheApplicationIsTerminated) {
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
    for (UINT message : {kProbeMessage, UINT{WM_NULL}, kProbeMessage})
        PostMessageA(window, message, 0, 0);
    ProcessPendingMessages(form);
    EXPECT_EQ(handlerLog.size(), 6u);
    ProcessPendingMessages(form);
    EXPECT_EQ(handlerLog.size(), 9u);
    PostQuitMessage(0);
    ProcessPendingMessages(form);
    PostMessageA(window, kProbeMessage, 0, 0);
    ProcessPendingMessages(form);
    EXPECT_EQ(handlerLog.size(), 9u);
    EXPECT_TRUE(ApplicationTerminated);
    ReleaseForm(form);
}

struct Events {
    std::vector<std::string> log;
    void Clicked(Control* sender) { log.push_back("click " + GetCaption(sender)); }
    void Dropped(Control*, const std::string& names, POINT at) {
        log.push_back(names + " at " + std::to_string(at.x) + "," + std::to_string(at.y));
    }
};

// A double click is two presses; dropped names arrive whole, however long, joined by CR, and
// only while a handler is set.
TEST_F(DispatchTest, ClicksAndDropsReachTheirHandlers) {
    Events events;
    Control* form = CreateFormControl(nullptr, "Layer Test");
    Control* button = CreateButton(form, "Start");
    button->ClickHandler = NotifyHandler::Bind<&Events::Clicked>(&events);
    SetDropFilesHandler(form, DropFilesHandlerType::Bind<&Events::Dropped>(&events));
    ASSERT_TRUE(CreateControlWindow(form));
    for (int message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
        PostMessageA(button->Handle, UINT(message), MK_LBUTTON, MAKELPARAM(5, 5));
    ProcessPendingMessages(form);
    EXPECT_EQ(events.log, (std::vector<std::string>{"click Start", "click Start"}));

    const std::string deep = "C:\\" + std::string(300, 'd') + "\\x.torrent";
    const std::pair<std::vector<std::string>, std::string> drops[] = {
        {{"C:\\a", "D:\\b c", deep}, "C:\\a\rD:\\b c\r" + deep + " at 5,6"},
        {{"C:\\a"}, ""}, // the handler unset
    };
    for (const auto& [names, seen] : drops) {
        events.log.clear();
        if (seen.empty())
            SetDropFilesHandler(form, {});
        EXPECT_EQ((GetWindowLongA(form->Handle, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) != 0,
                  !seen.empty());
        PostDrop(form->Handle, names, POINT{5, 6});
        ProcessPendingMessages(form);
        EXPECT_EQ(events.log, seen.empty() ? std::vector<std::string>{} : std::vector{seen});
    }
    ReleaseForm(form);
}

} // namespace
