// The real main form in this process, driven through its own windows, messages and dialogs:
// start-up, the states of a run seen between two files, Abort, Clear, closing during a run, the
// minimum size, the three ways in (drops, Add Files, Add Dir), the dialogs' modes and proposed
// names, and the exact bytes of Copy, Copy All and Save to File.
#include "../layer/window_test_support.h"
#include "app/main_form.h"
#include "core/info_hash.h"
#include "layer/clipboard.h"
#include "layer/dispatch.h"
#include "layer/folder_dialog.h"
#include "layer/menu.h"
#include "layer/open_save_dialog.h"

#include <commctrl.h>
#include <filesystem>
#include <functional>
#include <shlobj.h>

namespace {

// A metainfo file and the SHA-1 of its info value (hashlib's answer for the bencoded dictionary).
const std::string kTorrent = "d8:announce1:x4:infod6:lengthi1e6:pieces20:01234567890123456789ee";
const std::string kInfoHash = "0FDD84C11670B541BAFEAA5AA7F64ECD781994D0";
enum ListMenuItem { kCopy, kCopyAll, kSave };
constexpr int kFileTypesBox = 0x470; // the file dialogs' "files of type" box (cmb1)

// The caption, the buttons Start, Add Dir and Add Files (a letter when enabled), the Clear button's
// text and the context menu's Copy, Copy All and Save to File (a letter when enabled).
const std::string kReady = "Vantrel SDF Clear CAS", kRunning = "Processing... --- Abort C--",
                  kDone = "Done --- Clear CAS";

// Steps that run inside the run's one-message pump, one after each file: each is posted to a
// window of its own before Start, and the run takes them from the queue in order.
std::vector<std::function<void()>> steps;
size_t nextStep = 0;
LRESULT CALLBACK StepWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP && nextStep < steps.size())
        steps[nextStep++]();
    return DefWindowProcA(window, message, wParam, lParam);
}

class MainFormTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        steps.clear();
        nextStep = 0;
        stepWindow = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                     nullptr);
        SetWindowLongPtrA(stepWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StepWindowProc));
        CreateMainForm(form, nullptr);
        startUpEntries = Entries(); // the lines of this test program's own parameters
        form->ClearFileList();
        ASSERT_TRUE(CreateControlWindow(form->FormWindow));
        ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(form->FormWindow->Handle) != 0; }));
    }
    void TearDown() override {
        DestroyWindow(stepWindow);
        Control* window = form->FormWindow;
        ReleaseForm(window);
        EXPECT_EQ(TheMainForm, nullptr);
        WindowTest::TearDown();
    }

    std::string State() {
        std::string state = GetCaption(form->FormWindow) + " ";
        for (auto [button, letter] : {std::pair{form->StartButton, 'S'},
                                      {form->AddDirButton, 'D'},
                                      {form->AddFilesButton, 'F'}})
            state += IsWindowEnabled(button->Handle) ? letter : '-';
        state += " " + GetCaption(form->ClearButton) + " ";
        for (auto [item, letter] : {std::pair{kCopy, 'C'}, {kCopyAll, 'A'}, {kSave, 'S'}})
            state += GetMenuState(form->ListMenu->MenuHandle, item, MF_BYPOSITION) & MF_GRAYED
                         ? '-'
                         : letter;
        return state;
    }
    std::vector<std::string> Entries() {
        std::vector<std::string> entries;
        for (int32_t i = 0; i < ItemCount(form->FileList); ++i)
            entries.push_back(ItemText(form->FileList, i));
        return entries;
    }
    // A press of the button as the button itself reports it; returns when its handler has.
    void Press(Control* button) { SendMessageA(button->Handle, BM_CLICK, 0, 0); }
    // What the context menu sends when the user chooses an item.
    void Choose(ListMenuItem item) {
        UINT command = GetMenuItemID(form->ListMenu->MenuHandle, item);
        SendMessageA(form->FormWindow->Handle, WM_COMMAND, command, 0);
    }
    void BetweenFiles(std::function<void()> step) {
        steps.push_back(std::move(step));
        PostMessageA(stepWindow, WM_APP, 0, 0);
    }
    // Writes count metainfo files and drops them (last first, so they list in order); returns
    // their result lines.
    std::vector<std::string> ListTorrents(int count) {
        std::vector<std::string> names, lines;
        for (int i = count - 1; i >= 0; --i) {
            std::string name = "t" + std::to_string(i) + ".torrent";
            names.push_back(folder.Write(name, kTorrent));
            lines.insert(lines.begin(), kInfoHash + "   " + name);
        }
        PostDrop(form->FormWindow->Handle, names, POINT{5, 5});
        Settle();
        return lines;
    }
    // Returns once every message posted so far has been dispatched.
    void Settle() {
        bool reached = false;
        BetweenFiles([&] { reached = true; });
        EXPECT_TRUE(PumpUntil([&] { return reached; }, 60000));
    }

    // Plays the user of the next dialog: script gets the dialog, and the user then confirms it
    // with its OK button.
    void OnNextDialog(std::function<void(DialogUser&, HWND)> script) {
        user.emplace([script](DialogUser& u) {
            if (HWND box = u.WaitForDialog()) {
                script(u, box);
                u.Press(box, IDOK);
            }
        });
    }

    TempFolder folder;
    MainForm* form = nullptr;
    HWND stepWindow = nullptr;
    std::vector<std::string> startUpEntries;
    std::optional<DialogUser> user;
};

// ctest starts the program without parameters (start-up then lists nothing, not an empty name).
TEST_F(MainFormTest, StartUpListsTheLinesOfEachCommandLineParameter) {
    std::vector<std::string> lines;
    for (int i = 1; i < __argc; ++i)
        if (auto line = ComputeInfoHashLine(__argv[i], [&](auto& l) { lines.push_back(l); }))
            lines.push_back(*line);
    EXPECT_EQ(startUpEntries, lines);
}

TEST_F(MainFormTest, ARunGoesFromReadyThroughRunningToDoneAndClearMakesItReadyAgain) {
    std::vector<std::string> seen;
    Press(form->StartButton); // on an empty list: nothing changes
    seen.push_back(State());
    std::vector<std::string> lines = ListTorrents(3);
    seen.push_back(State());
    BetweenFiles([&] { seen.push_back(State()); });
    // Dropped during the run (after the second file): listed among the lines, not hashed; the
    // names arrive last first, and only a name equal to a listed one, letter case included, is
    // refused.
    PostDrop(form->FormWindow->Handle, {"D:\\X", "D:\\x", "D:\\y", "D:\\x"}, POINT{5, 5});
    Press(form->StartButton);
    seen.push_back(State());
    lines.insert(lines.begin() + 2, {"D:\\x", "D:\\y", "D:\\X"});
    EXPECT_EQ(Entries(), lines);
    Press(form->ClearButton);
    seen.push_back(State());
    EXPECT_EQ(seen, (std::vector{kReady, kReady, kRunning, kDone, kReady}));
}

// Abort ends the run after the file in hand; one pressed after the last file changes nothing.
// Either way the next run hashes every file.
TEST_F(MainFormTest, AbortStopsTheRunAfterTheFileInHandAndIsForgottenByTheNextRun) {
    for (const auto& [files, abortAfter] : {std::pair{5, 1}, {2, 2}}) {
        Press(form->ClearButton);
        std::vector<std::string> lines = ListTorrents(files);
        for (int i = 1; i < abortAfter; ++i)
            BetweenFiles([] {});
        BetweenFiles([&] { Press(form->ClearButton); });
        Press(form->StartButton);
        EXPECT_EQ(State(), kDone);
        lines.resize(static_cast<size_t>(abortAfter));
        EXPECT_EQ(Entries(), lines) << "Abort after file " << abortAfter;

        Press(form->ClearButton);
        lines = ListTorrents(3);
        Press(form->StartButton);
        EXPECT_EQ(Entries(), lines) << "the run after Abort after file " << abortAfter;
    }
}

TEST_F(MainFormTest, ClosingTheWindowDuringARunEndsTheRun) {
    ListTorrents(20);
    int stepsAfterClose = 0;
    BetweenFiles([&] {
        PostMessageA(form->FormWindow->Handle, WM_CLOSE, 0, 0);
        for (int i = 0; i < 5; ++i)
            BetweenFiles([&] { ++stepsAfterClose; });
    });
    Press(form->StartButton);
    EXPECT_EQ(stepsAfterClose, 0);
    EXPECT_TRUE(form->FormWindow->WindowDestroyed);
    EXPECT_TRUE(PumpUntil(QuitSeen)) << "closing the main window ends the application";
}

TEST_F(MainFormTest, TheWindowKeepsItsMinimumSizeWithTheListBelowTheButtonsAndAboutAtTheRight) {
    HWND window = form->FormWindow->Handle;
    for (const auto& [width, height, keptWidth, keptHeight] :
         {std::array{200, 30, 400, 80}, {399, 300, 400, 300}, {700, 79, 700, 80}}) {
        SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
        RECT outer{}, list{};
        GetWindowRect(window, &outer);
        GetWindowRect(form->FileList->Handle, &list);
        POINT about{};
        MapWindowPoints(form->AboutButton->Handle, window, &about, 1);
        // The list: the window's outer height less a strip of 60 for caption, frame and buttons.
        EXPECT_EQ(std::vector<LONG>({outer.right - outer.left, outer.bottom - outer.top,
                                     list.bottom - list.top, about.x}),
                  std::vector<LONG>({keptWidth, keptHeight, keptHeight - 60, keptWidth - 60}))
            << width << "x" << height;
    }
}

// Add Files takes several files at once as folder + "\" + name; afterwards the file dialog is
// back at rest: Save to File opens a save dialog for text files that proposes no name.
TEST_F(MainFormTest, AddFilesRunThenCopyCopyAllAndSaveExportTheLinesWithCrLfAfterEach) {
    const auto clipboard = [] { return ClipboardContent<char>(CF_TEXT).value_or("(none)"); };
    CopyTextToClipboard("kept");
    Choose(kCopyAll);
    EXPECT_EQ(clipboard(), "kept") << "Copy All on an empty list";
    std::string notice;
    OnNextDialog([&](DialogUser&, HWND box) {
        notice = WindowTextOf(box) + ": " + MessageTextOf(box) +
                 (GetWindow(box, GW_OWNER) == form->FormWindow->Handle ? " (owned)" : "");
        for (HWND c = GetWindow(box, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT))
            notice += SendMessageA(c, STM_GETICON, 0, 0) != 0 ? " (icon)" : "";
    });
    Choose(kSave);
    user.reset();
    EXPECT_EQ(notice, "Vantrel: Nothing to Save (owned)") << "titled with the window's caption";

    std::vector<std::string> names, lines;
    std::string typed;
    for (const std::string name : {"t0.torrent", "t1.torrent", "t2.torrent"}) {
        names.push_back(folder.Write(name, kTorrent));
        lines.push_back(kInfoHash + "   " + name);
        typed += "\"" + name + "\" ";
    }
    form->FileDialog->StartFolder = std::filesystem::path(names[0]).parent_path().string();
    OnNextDialog([&](DialogUser& u, HWND box) { u.Enter(u.FileNameField(box), typed); });
    Press(form->AddFilesButton);
    user.reset();
    EXPECT_EQ(Entries(), names);
    EXPECT_EQ(form->FileDialog->DialogOptions & AllowMultiSelectOption, 0)
        << "the next dialog takes one name";
    Press(form->StartButton);
    ASSERT_EQ(State(), kDone);
    const std::string all = lines[0] + "\r\n" + lines[1] + "\r\n" + lines[2] + "\r\n";

    SendMessageA(form->FileList->Handle, LB_SETCARETINDEX, 1, 0); // the second entry is current
    Choose(kCopy);
    EXPECT_EQ(clipboard(), lines[1]);
    Choose(kCopyAll);
    EXPECT_EQ(clipboard(), all);

    std::string shown = "(no dialog)";
    OnNextDialog([&](DialogUser& u, HWND box) {
        HWND field = u.FileNameField(box);
        shown = WindowTextOf(box) + ", " + WindowTextOf(GetDlgItem(box, kFileTypesBox)) +
                ", proposing \"" + WindowTextOf(field) + "\"";
        u.Enter(field, folder.Path("results.txt"));
    });
    Choose(kSave);
    user.reset();
    EXPECT_EQ(shown, "Save As, Text files *.txt, proposing \"\"");
    EXPECT_EQ(folder.Read("results.txt"), all);
    EXPECT_EQ(Entries(), lines);
}

// Add Dir adds every file of the chosen folder and its subfolders, and the next browser opens
// on the folder chosen last.
TEST_F(MainFormTest, AddDirAddsTheFolderTreeAndRemembersTheFolder) {
    const std::filesystem::path chosen = std::filesystem::path(folder.Path("chosen"));
    std::filesystem::create_directories(chosen / "sub");
    const std::vector<std::string> files{folder.Write("chosen\\a.torrent", kTorrent),
                                         folder.Write("chosen\\sub\\b.txt", "b")};
    folder.Write("outside.torrent", kTorrent);
    form->DirDialog->SetPreselectedFolder(folder.Path(""));
    const std::string path = chosen.string();
    OnNextDialog([&](DialogUser&, HWND box) { // selects the folder in the tree, then OK
        HWND tree = FindWindowExA(box, nullptr, WC_TREEVIEWA, nullptr);
        EXPECT_TRUE(WaitFor([&] {
            SendMessageA(box, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(path.c_str()));
            char text[MAX_PATH] = "";
            TVITEMA item{};
            item.mask = TVIF_TEXT;
            item.hItem = TreeView_GetSelection(tree);
            item.pszText = text;
            item.cchTextMax = MAX_PATH;
            return TreeView_GetItem(tree, &item) && std::string(text) == "chosen";
        }));
    });
    Press(form->AddDirButton);
    user.reset();
    EXPECT_EQ(Entries(), files);
    EXPECT_EQ(form->DirDialog->PreselectedFolder(), path);
}

} // namespace
