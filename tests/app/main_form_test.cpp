// The main form in this process, driven through the platform: what the outside cannot see.
#include "../core/temp_folder.h"
#include "../layer/window_test_support.h"
#include "app/main_form.h"
#include "layer/dispatch.h"
#include "layer/open_save_dialog.h"

#include <atomic>
#include <thread>

namespace {

const std::string kTorrent = "d8:announce1:x4:infod6:lengthi1e6:pieces20:01234567890123456789ee";

std::vector<std::string> Entries(Control* list) {
    std::vector<std::string> entries;
    for (int32_t i = 0; i < ItemCount(list); ++i)
        entries.push_back(ItemText(list, i));
    return entries;
}

class MainFormTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        CreateMainForm(form, nullptr);
        // Start-up hashed this test program's own parameters.
        form->ClearFileList();
        ASSERT_TRUE(CreateControlWindow(form->FormWindow));
        ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(form->FormWindow->Handle) != 0; }));
    }
    void TearDown() override {
        Control* window = form->FormWindow;
        ReleaseForm(window);
        EXPECT_EQ(TheMainForm, nullptr);
        WindowTest::TearDown();
    }

    void Click(Control* button) {
        SetForegroundWindow(form->FormWindow->Handle);
        ClickAt(ScreenCenterOf(button->Handle));
    }

    MainForm* form = nullptr;
};

TEST_F(MainFormTest, DuplicateRuleHoldsThroughClearRunsAndDrops) {
    form->AddFileToList("C:\\t\\a.torrent");
    form->AddFileToList("C:\\t\\a.torrent");
    form->AddFileToList("C:\\T\\a.torrent");
    EXPECT_EQ(Entries(form->FileList),
              (std::vector<std::string>{"C:\\t\\a.torrent", "C:\\T\\a.torrent"}));

    Click(form->ClearButton);
    ASSERT_TRUE(PumpUntil([&] { return ItemCount(form->FileList) == 0; }));
    form->AddFileToList("C:\\t\\a.torrent");
    EXPECT_EQ(ItemCount(form->FileList), 1);

    // A run replaces names by result lines: the names may come again, the lines may not.
    TempFolder folder;
    std::string name = folder.Write("b.torrent", kTorrent);
    form->AddFileToList(name);
    Click(form->StartButton);
    ASSERT_TRUE(PumpUntil([&] { return GetCaption(form->FormWindow) == "Done"; }));
    std::vector<std::string> results = Entries(form->FileList);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0], "Not a Torrent File   a.torrent");
    form->AddFileToList(results[1]);
    form->AddFileToList(name);
    EXPECT_EQ(ItemCount(form->FileList), 3);

    // Dropped names arrive last first; one already listed is refused.
    PostDrop(form->FormWindow->Handle, {"D:\\x", "D:\\y", name}, POINT{5, 5});
    ASSERT_TRUE(PumpUntil([&] { return ItemCount(form->FileList) == 5; }));
    PumpFor(50);
    std::vector<std::string> entries = Entries(form->FileList);
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[3], "D:\\y");
    EXPECT_EQ(entries[4], "D:\\x");
}

TEST_F(MainFormTest, AddFilesCancelledLeavesTheDialogInItsRestingSaveConfiguration) {
    form->AddFileToList("kept");
    std::atomic<bool> sawOpenMode{false};
    std::thread canceller([&] {
        for (int tries = 0; tries < 200; ++tries) {
            HWND dialog = FindWindowA("#32770", nullptr);
            if (dialog != nullptr) {
                sawOpenMode = form->FileDialog->OpenMode;
                PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
                return;
            }
            Sleep(50);
        }
    });
    Click(form->AddFilesButton);
    bool closed =
        PumpUntil([&] { return sawOpenMode.load() && !form->FileDialog->OpenMode; }, 15000);
    canceller.join();
    ASSERT_TRUE(closed);
    EXPECT_TRUE(sawOpenMode);
    EXPECT_EQ(form->FileDialog->FilterSpec, "Text files *.txt|*.txt|All files *.*|*.*");
    EXPECT_EQ(form->FileDialog->DialogOptions, kDefaultOpenSaveOptions);
    EXPECT_EQ(Entries(form->FileList), std::vector<std::string>{"kept"});
}

TEST_F(MainFormTest, AbortIsARequestInTheClearButtonThatTheRunTakesBack) {
    TempFolder folder;
    const int files = 400;
    for (int i = 0; i < files; ++i)
        form->AddFileToList(folder.Write("f" + std::to_string(i) + ".torrent", kTorrent));
    HWND clear = form->ClearButton->Handle;
    std::thread aborter([&] {
        char caption[32] = {};
        for (int tries = 0; tries < 400; ++tries) {
            GetWindowTextA(clear, caption, sizeof caption);
            if (std::string(caption) == "Abort") {
                // A press and a release in the button, as the mouse delivers them.
                PostMessageA(clear, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
                PostMessageA(clear, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
                return;
            }
            Sleep(10);
        }
    });
    Click(form->StartButton);
    bool done = PumpUntil([&] { return GetCaption(form->FormWindow) == "Done"; }, 60000);
    aborter.join();
    ASSERT_TRUE(done);
    int32_t finished = ItemCount(form->FileList);
    EXPECT_GE(finished, 1);
    EXPECT_LT(finished, files);
    EXPECT_EQ(form->ClearButton->UserValue, 0);
    EXPECT_EQ(GetCaption(form->ClearButton), "Clear");
    EXPECT_FALSE(IsEnabled(form->StartButton));
}

} // namespace
