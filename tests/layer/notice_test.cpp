// The notice box as the user sees it.
#include "dialog_user.h"
#include "layer/dispatch.h"
#include "layer/notice.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

// Title, text and owner of the notice the user reads before pressing OK.
std::vector<std::string> ShowAndRead(const std::string& text, HWND owner) {
    std::vector<std::string> seen;
    DialogUser user([&](DialogUser& u) {
        if (HWND box = u.WaitForDialog()) {
            seen = {WindowTextOf(box), MessageTextOf(box),
                    GetWindow(box, GW_OWNER) == owner ? "right owner" : "wrong owner"};
            u.Press(box, IDOK);
        }
    });
    ShowNotice(text);
    return seen;
}

TEST(ShowNotice, IsTitledWithTheMainWindowsCaptionAndOwnedByIt) {
    Control* form = CreateFormControl(nullptr, "Vantrel");
    ASSERT_NE(EnsureWindow(form), nullptr);
    ApplicationWindow = form;
    SetCaption(form, "Done");
    EXPECT_EQ(ShowAndRead("Nothing to Save", form->Handle),
              (std::vector<std::string>{"Done", "Nothing to Save", "right owner"}));
    ApplicationWindow = nullptr;
    EXPECT_EQ(ShowAndRead("First line\r\nSecond line", nullptr),
              (std::vector<std::string>{"Error", "First line\r\nSecond line", "right owner"}));
    Release(form);
}

} // namespace
