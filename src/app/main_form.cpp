#include "app/main_form.h"

#include "core/command_line_win32.h"
#include "core/info_hash.h"
#include "core/save_file.h"
#include "core/text_ops.h"
#include "err/exception.h"
#include "layer/clipboard.h"
#include "layer/directory_search.h"
#include "layer/dispatch.h"
#include "layer/folder_dialog.h"
#include "layer/geometry.h"
#include "layer/menu.h"
#include "layer/notice.h"
#include "layer/open_save_dialog.h"
#include "layer/str_list.h"

#include <new>
#include <optional>
#include <string_view>
#include <vector>

MainForm* TheMainForm = nullptr;

namespace {

constexpr char kTextFilter[] = "Text files *.txt|*.txt|All files *.*|*.*";
constexpr char kTorrentFilter[] = "Torrent files *.torrent|*.torrent|All files *.*|*.*";
constexpr char kAbortCaption[] = "Abort";
constexpr char kClearCaption[] = "Clear";

// The items of ListMenu that a run disables.
constexpr int32_t kCopyAllItem = 1;
constexpr int32_t kSaveItem = 2;

constexpr int32_t kAbortRequested = 1;
constexpr int32_t kNoAbortRequest = 0;

// The pieces of a name list as the layer hands it over (the dropped files, the Open dialog's
// multiple selection): the texts between single CRs, in order, empty ones included.
std::vector<std::string_view> CrSeparatedNames(std::string_view list) {
    std::vector<std::string_view> names;
    size_t start = 0;
    for (size_t end; (end = list.find('\r', start)) != std::string_view::npos; start = end + 1)
        names.push_back(list.substr(start, end - start));
    names.push_back(list.substr(start));
    return names;
}

// Adds many entries to a list without drawing it after each one; the list is drawn once at the
// end, and on request in between (Show), so that a long run still shows its progress.
class BulkListUpdate {
  public:
    explicit BulkListUpdate(Control* list) : list_(list) { SetRedraw(list_, false); }
    ~BulkListUpdate() {
        SetRedraw(list_, true);
        Invalidate(list_);
    }
    BulkListUpdate(const BulkListUpdate&) = delete;
    BulkListUpdate& operator=(const BulkListUpdate&) = delete;

    // Draws the list as it is now, at most every kProgressInterval milliseconds.
    void ShowProgress() {
        DWORD now = GetTickCount();
        if (now - lastShown_ < kProgressInterval)
            return;
        lastShown_ = now;
        SetRedraw(list_, true);
        Invalidate(list_);
        PaintNow(list_);
        SetRedraw(list_, false);
    }

  private:
    static constexpr DWORD kProgressInterval = 200;
    Control* list_;
    DWORD lastShown_ = GetTickCount();
};

void SetListMenuItemsEnabled(Menu* menu, bool enabled) {
    SetItemEnabled(MenuItemAt(menu, kCopyAllItem), enabled);
    SetItemEnabled(MenuItemAt(menu, kSaveItem), enabled);
}

} // namespace

void CreateMainForm(MainForm*& form, Control* parentWindow) {
    form = new MainForm();
    MainForm* f = form;
    f->FormWindow = CreateFormControl(parentWindow, kProgramCaption);
    ApplicationWindow = f->FormWindow;
    ReleaseTogether(f->FormWindow, f);
    SetClientSize(f->FormWindow, 640, 480);
    SetResizeHandler(f->FormWindow, NotifyHandler::Bind<&MainForm::FormResize>(f));
    SetDropFilesHandler(f->FormWindow, DropFilesHandlerType::Bind<&MainForm::FormDropFiles>(f));
    // The first menu of a form is its menu bar: an empty one, so that ListMenu is a pop-up.
    BuildMenu(f->FormWindow, {""});

    f->FileDialog = new OpenSaveDialog("", "", 0);
    ReleaseTogether(f->FormWindow, f->FileDialog);

    f->ListMenu = BuildMenu(f->FormWindow, {"Copy", "Copy All", "Save to File", ""});
    AssignItemHandlers(f->ListMenu, 0,
                       {MenuItemHandler::Bind<&MainForm::CopyItemClick>(f),
                        MenuItemHandler::Bind<&MainForm::CopyAllItemClick>(f),
                        MenuItemHandler::Bind<&MainForm::SaveItemClick>(f)});

    f->DirDialog = new FolderDialog("", 0);
    ReleaseTogether(f->FormWindow, f->DirDialog);

    f->StartButton = SetPosition(CreateButton(f->FormWindow, "Start"), 272, 4);
    f->AddDirButton = SetPosition(CreateButton(f->FormWindow, "Add Dir"), 8, 4);

    f->FileList = CreateListBox(f->FormWindow, kListBoxNoIntegralHeight);
    SetAlignment(f->FileList, AlignBottom);
    SetSize(f->FileList, 0, 446);
    SetColor(f->FileList, kWindowColor);
    SetContextMenu(f->FileList, f->ListMenu);

    f->ClearButton = SetPosition(CreateButton(f->FormWindow, kClearCaption), 184, 4);
    f->AddFilesButton = SetPosition(CreateButton(f->FormWindow, "Add Files"), 88, 4);
    f->AboutButton = SetSize(SetPosition(CreateButton(f->FormWindow, "About"), 592, 4), 48, 17);

    f->StartButton->ClickHandler = NotifyHandler::Bind<&MainForm::StartButtonClick>(f);
    f->AddDirButton->ClickHandler = NotifyHandler::Bind<&MainForm::AddDirButtonClick>(f);
    f->ClearButton->ClickHandler = NotifyHandler::Bind<&MainForm::ClearButtonClick>(f);
    f->AddFilesButton->ClickHandler = NotifyHandler::Bind<&MainForm::AddFilesButtonClick>(f);
    f->FileDialog->OwnerWindow = EnsureWindow(f->FormWindow);
    f->DirDialog->OwnerWindow = EnsureWindow(f->FormWindow);
    f->AboutButton->ClickHandler = NotifyHandler::Bind<&MainForm::AboutButtonClick>(f);

    CenterOnParent(f->FormWindow);
    f->FormCreate(f);
}

void MainForm::Destroy() {
    if (TheMainForm == this)
        TheMainForm = nullptr;
    LayerObject::Destroy();
}

// ---- Start-up and layout ----

void MainForm::FormCreate(LayerObject*) {
    ClearFileList();
    FileDialog->FilterSpec = kTextFilter;
    FileDialog->OpenMode = false;
    // Parameters are hashed before the window shows; their lines go in without duplicate check.
    int32_t count = CommandLineParameterCount();
    BulkListUpdate update(FileList);
    for (int32_t i = 1; i <= count; ++i)
        AppendResultLines(CommandLineParameter(i));
}

void MainForm::FormResize(Control*) {
    // The minimum size is restored after the fact; that resize runs this handler again.
    if (Width(FormWindow) < 400)
        SetWidth(FormWindow, 400);
    if (Height(FormWindow) < 80)
        SetHeight(FormWindow, 80);
    if (FileList != nullptr)
        SetHeight(FileList, Height(FormWindow) - 60);
    if (AboutButton != nullptr)
        SetLeft(AboutButton, Width(FormWindow) - 60);
}

// ---- The list's entries ----

void MainForm::AppendToFileList(std::string_view text) {
    AddItem(FileList, text);
    ListedTexts.emplace(text);
}

void MainForm::ClearFileList() {
    ClearContent(FileList);
    ListedTexts.clear();
}

// A file too large for the memory left is that file's problem: it gets its line, and the list
// the user gathered stays.
void MainForm::AppendResultLines(const std::string& fileName) {
    AppendLine append = [this](const std::string& line) { AppendToFileList(line); };
    std::optional<std::string> line;
    try {
        line = ComputeInfoHashLine(fileName, append);
    } catch (const Exception& fault) {
        if (fault.FaultKind != ExceptionKind::OutOfMemory)
            throw;
        line = "Not a Torrent File   " + FileNameOf(fileName);
    } catch (const std::bad_alloc&) {
        line = "Not a Torrent File   " + FileNameOf(fileName);
    }
    if (line)
        AppendToFileList(*line);
}

// ---- The batch run ----

bool MainForm::RunInProgress() {
    return GetCaption(ClearButton) == kAbortCaption;
}

bool MainForm::WindowClosed() const {
    return ApplicationTerminated || FormWindow->WindowDestroyed;
}

void MainForm::StartButtonClick(Control*) {
    if (ItemCount(FileList) == 0)
        return;
    SetListMenuItemsEnabled(ListMenu, false);
    SetEnabled(StartButton, false);
    SetEnabled(AddDirButton, false);
    SetEnabled(AddFilesButton, false);
    SetCaption(ClearButton, kAbortCaption);
    ClearButton->UserValue = kNoAbortRequest;

    StrList* runSnapshot = new StrList();
    SetCaption(FormWindow, "Processing...");
    int32_t entries = ItemCount(FileList);
    for (int32_t i = 0; i < entries; ++i)
        runSnapshot->Add(ItemText(FileList, i));
    ClearFileList();

    int32_t names = runSnapshot->Count();
    std::optional<BulkListUpdate> update(std::in_place, FileList);
    for (int32_t i = 0; i < names; ++i) {
        if (ClearButton->UserValue == kAbortRequested) {
            ClearButton->UserValue = kNoAbortRequest;
            break;
        }
        // A message taken after the last file closed the window. Its controls stay valid, without
        // windows, until the application ends, but there is nothing left to show results in.
        if (WindowClosed())
            break;
        AppendResultLines(runSnapshot->Item(i));
        update->ShowProgress();
        ProcessOneMessage(ApplicationWindow);
    }
    update.reset();
    Release(runSnapshot);
    if (WindowClosed())
        return;

    SetCaption(FormWindow, "Done");
    SetListMenuItemsEnabled(ListMenu, true);
    SetCaption(ClearButton, kClearCaption);
}

void MainForm::ClearButtonClick(Control*) {
    if (RunInProgress()) {
        ClearButton->UserValue = kAbortRequested;
        return;
    }
    SetCaption(FormWindow, kProgramCaption);
    ClearFileList();
    SetEnabled(StartButton, true);
    SetEnabled(AddDirButton, true);
    SetEnabled(AddFilesButton, true);
}

// ---- List intake ----

void MainForm::AddFileToList(std::string_view name) {
    if (ListedTexts.contains(std::string(name)))
        return;
    AppendToFileList(name);
}

void MainForm::AddFilesButtonClick(Control*) {
    FileDialog->OpenMode = true;
    FileDialog->FilterSpec = kTorrentFilter;
    FileDialog->DialogOptions = kDefaultOpenSaveOptions | AllowMultiSelectOption;
    FileDialog->Selection.clear();
    if (FileDialog->Choose()) {
        const std::string selection = FileDialog->Selection;
        const std::vector<std::string_view> names = CrSeparatedNames(selection);
        if (names.size() == 1) {
            AddFileToList(selection);
        } else {
            // The folder, then the bare names of its chosen files; an empty piece at the very
            // end (the list ended in a CR) names no file.
            const std::string prefix = std::string(names.front()) + "\\";
            const size_t end = names.size() - (names.back().empty() ? 1 : 0);
            BulkListUpdate update(FileList);
            for (size_t i = 1; i < end; ++i)
                AddFileToList(prefix + std::string(names[i]));
        }
    }
    FileDialog->DialogOptions = kDefaultOpenSaveOptions;
    FileDialog->FilterSpec = kTextFilter;
    FileDialog->OpenMode = false;
}

void MainForm::AddDirButtonClick(Control*) {
    DirDialog->Prompt = "Add Directory...";
    if (!DirDialog->Choose())
        return;
    StrList* found = new StrList();
    DirectorySearch(DirDialog->FolderPath(), "*.*", found);
    {
        BulkListUpdate update(FileList);
        for (int32_t i = 0; i < found->Count(); ++i)
            AddFileToList(found->Item(i));
    }
    DirDialog->SetPreselectedFolder(DirDialog->FolderPath());
    Release(found);
}

void MainForm::FormDropFiles(Control*, const std::string& names, POINT) {
    const std::vector<std::string_view> dropped = CrSeparatedNames(names);
    BulkListUpdate update(FileList);
    // The names arrive last first.
    for (auto name = dropped.rbegin(); name != dropped.rend(); ++name)
        AddFileToList(*name);
}

// ---- Export and About ----

std::string MainForm::ExportedText() {
    std::string text;
    int32_t count = ItemCount(FileList);
    for (int32_t i = 0; i < count; ++i) {
        text += ItemText(FileList, i);
        text += "\r\n";
    }
    return text;
}

void MainForm::CopyItemClick(Menu*, int32_t) {
    if (!CopyTextToClipboard(ItemText(FileList, CurrentIndex(FileList))))
        ShowNotice("Could not place the text on the clipboard.");
}

void MainForm::CopyAllItemClick(Menu*, int32_t) {
    if (ItemCount(FileList) == 0)
        return;
    if (!CopyTextToClipboard(ExportedText()))
        ShowNotice("Could not place the text on the clipboard.");
}

void MainForm::SaveItemClick(Menu*, int32_t) {
    if (ItemCount(FileList) == 0) {
        ShowNotice("Nothing to Save");
        return;
    }
    FileDialog->Selection.clear();
    if (!FileDialog->Choose())
        return;
    // The list keeps its content, so the user can try again elsewhere.
    if (!SaveTextToFile(FileDialog->Selection, ExportedText()))
        ShowNotice("Could not save to " + FileDialog->Selection);
}

void MainForm::AboutButtonClick(Control*) {
    ShowNotice(std::string("Vantrel\r\n\r\nVersion 1.0\r\n\r\n") + kWebAddress);
}
