// The notice box as the user sees it.
#include "dialog_user.h"
#include "layer/control.h"
#include "layer/dispatch.h"
#include "layer/notice.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

struct SeenNotice {
    std::string title;
    std::string text;
    HWND owner = nullptr;
};

SeenNotice ShowAndRead(const std::string& text) {
    SeenNotice seen;
    DialogUser user([&](DialogUser& u) {
        if (HWND box = u.WaitForDialog()) {
            seen.title = WindowTextOf(box);
            seen.text = MessageTextOf(box);
            seen.owner = GetWindow(box, GW_OWNER);
            u.Press(box, IDOK);
        }
    });
    ShowNotice(text);
    return seen;
}

} // namespace

TEST(ShowNotice, IsTitledWithTheMainWindowsCaptionAndOwnedByIt) {
    Control* form = CreateFormControl(nullptr, "Vantrel");
    ASSERT_NE(EnsureWindow(form), nullptr);
    ApplicationWindow = form;
    SetCaption(form, "Done");

    const SeenNotice seen = ShowAndRead("Nothing to Save");
    ApplicationWindow = nullptr;
    EXPECT_EQ(seen.title, "Done");
    EXPECT_EQ(seen.text, "Nothing to Save");
    EXPECT_EQ(seen.owner, form->Handle);
    Release(form);
}

TEST(ShowNotice, WithoutAMainWindowHasNoOwnerAndTheDefaultTitle) {
    ApplicationWindow = nullptr;
    const SeenNotice seen = ShowAndRead("First line\r\nSecond line");
    EXPECT_EQ(seen.title, "Error");
    EXPECT_EQ(seen.text, "First line\r\nSecond line");
    EXPECT_EQ(seen.owner, nullptr);
}
