// A whole form built and driven through the layer alone, the way the application uses it:
// five buttons, a bottom-aligned list box with a context menu, an empty menu bar, a run that
// pumps one message per line, and the application loop that ends when the window is closed.
#include "layer/control.h"
#include "layer/dispatch.h"
#include "layer/geometry.h"
#include "layer/menu.h"
#include "window_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

using FormTest = WindowTest;

// What the test reads after the form is gone.
struct FormResults {
    std::vector<std::string> copied;
    std::string captionAtCopy;
    bool destroyed = false;
};

struct TestForm : LayerObject {
    explicit TestForm(FormResults& results) : results_(results) {}
    Control* window = nullptr;
    Control* start = nullptr;
    Control* addDir = nullptr;
    Control* list = nullptr;
    Control* clear = nullptr;
    Control* addFiles = nullptr;
    Control* about = nullptr;
    Menu* listMenu = nullptr;

    FormResults& results_;

    void Destroyed(LayerObject*) { results_.destroyed = true; }

    void Resized(Control*) { SetLeft(about, Width(window) - 60); }

    // A batch run: one line per name, one message dispatched after each.
    void StartClicked(Control*) {
        SetItemEnabled(MenuItemAt(listMenu, 1), false);
        SetEnabled(start, false);
        SetEnabled(addDir, false);
        SetEnabled(addFiles, false);
        SetCaption(clear, "Abort");
        SetCaption(window, "Processing...");
        for (int i = 1; i <= 3; ++i) {
            AddItem(list, "0123456789ABCDEF0123456789ABCDEF01234567   file" + std::to_string(i) +
                              ".torrent");
            ProcessOneMessage(window);
        }
        SetCaption(window, "Done");
        SetItemEnabled(MenuItemAt(listMenu, 1), true);
        SetCaption(clear, "Clear");
        // The user then right-clicks the list and chooses "Copy All".
        ClickAt(ScreenCenterOf(list->Handle), MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
    }

    void CopyAllChosen(Menu*, int32_t index) {
        if (index != 1) {
            return;
        }
        results_.captionAtCopy = GetCaption(window);
        for (int32_t i = 0; i < ItemCount(list); ++i) {
            results_.copied.push_back(ItemText(list, i));
        }
        if (const char* hold = std::getenv("VANTREL_LAYER_HOLD_MS")) {
            PumpFor(static_cast<DWORD>(std::atoi(hold)));
        }
        // The user closes the window.
        PostMessageA(window->Handle, WM_CLOSE, 0, 0);
    }
};

bool PopupChoosesCopyAll(Control*, WindowMessage& message, LRESULT&) {
    if (message.Message == WM_ENTERIDLE && message.WParam == MSGF_MENU) {
        for (const WORD key : std::initializer_list<WORD>{VK_DOWN, VK_DOWN, VK_RETURN}) {
            TapKey(key);
        }
    }
    return false;
}

int closeMessages = 0;
bool CountCloseMessages(Control*, WindowMessage& message, LRESULT&) {
    if (message.Message == WM_CLOSE) {
        ++closeMessages;
    }
    return false;
}

// Whatever goes wrong, the window is closed in the end.
void CALLBACK CloseEverything(HWND, UINT, UINT_PTR, DWORD) {
    EndMenu();
    if (ApplicationWindow != nullptr && ApplicationWindow->Handle != nullptr) {
        PostMessageA(ApplicationWindow->Handle, WM_CLOSE, 0, 0);
    }
}

TestForm* BuildTestForm(FormResults& results) {
    auto* f = new TestForm(results);
    f->window = CreateFormControl(nullptr, "Vantrel");
    ApplicationWindow = f->window;
    ReleaseTogether(f->window, f);
    f->DestroyHandler = BoundHandler<LayerObject*>::Bind<&TestForm::Destroyed>(f);
    SetClientSize(f->window, 640, 480);
    SetResizeHandler(f->window, NotifyHandler::Bind<&TestForm::Resized>(f));
    BuildMenu(f->window, {""});
    f->listMenu = BuildMenu(f->window, {"Copy", "Copy All", "Save to File", ""});
    AssignItemHandlers(f->listMenu, 1, {MenuItemHandler::Bind<&TestForm::CopyAllChosen>(f)});
    f->start = SetPosition(CreateButton(f->window, "Start"), 272, 4);
    f->addDir = SetPosition(CreateButton(f->window, "Add Dir"), 8, 4);
    f->list = CreateListBox(f->window, kListBoxNoIntegralHeight);
    SetAlignment(f->list, AlignBottom);
    SetSize(f->list, 0, 446);
    SetColor(f->list, kWindowColor);
    SetContextMenu(f->list, f->listMenu);
    f->clear = SetPosition(CreateButton(f->window, "Clear"), 184, 4);
    f->addFiles = SetPosition(CreateButton(f->window, "Add Files"), 88, 4);
    f->about = SetSize(SetPosition(CreateButton(f->window, "About"), 592, 4), 48, 17);
    f->start->ClickHandler = NotifyHandler::Bind<&TestForm::StartClicked>(f);
    AttachHandler(f->window, PopupChoosesCopyAll);
    AttachHandler(f->window, CountCloseMessages);
    CenterOnParent(f->window);
    return f;
}

TEST_F(FormTest, AFormBuiltThroughTheLayerRunsCopiesAndClosesAsTheApplicationDoes) {
    FormResults results;
    TestForm* f = BuildTestForm(results);
    EXPECT_FALSE(IsWindowVisible(f->window->Handle));
    EXPECT_EQ(f->window->CurrentControl, f->start);
    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const RECT outer = BoundsRect(f->window);
    EXPECT_EQ(outer.left, (screen.right - (outer.right - outer.left)) >> 1);
    EXPECT_EQ(outer.top, (screen.bottom - (outer.bottom - outer.top)) >> 1);

    // Showing the form lays out the list along the bottom edge.
    ASSERT_TRUE(CreateControlWindow(f->window));
    EXPECT_TRUE(IsWindowVisible(f->list->Handle));
    const RECT list = BoundsRect(f->list);
    EXPECT_EQ(list.left, 2);
    EXPECT_EQ(list.top, 480 - 2 - 446);
    EXPECT_EQ(list.right, 638);
    EXPECT_EQ(list.bottom, 478);
    EXPECT_EQ(BoundsRect(f->about).left, Width(f->window) - 60);
    EXPECT_EQ(BoundsRect(f->addFiles).left, 88);
    ASSERT_TRUE(FocusWindow(f->window->Handle, f->start->Handle));
    SetTimer(nullptr, 0, 20000, CloseEverything);

    // The user presses Start; everything else follows from the handlers inside the loop.
    ClickAt(ScreenCenterOf(f->start->Handle));
    Control* windowReference = f->window;
    ApplicationLoop(windowReference);

    EXPECT_EQ(windowReference, nullptr);
    EXPECT_EQ(ApplicationWindow, nullptr);
    EXPECT_TRUE(results.destroyed);
    // The user's close ended the loop; terminating sent no second WM_CLOSE.
    EXPECT_EQ(closeMessages, 1);
    EXPECT_EQ(results.captionAtCopy, "Done");
    ASSERT_EQ(results.copied.size(), 3u);
    EXPECT_EQ(results.copied[2], "0123456789ABCDEF0123456789ABCDEF01234567   file3.torrent");
}

} // namespace
