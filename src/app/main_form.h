#pragma once
// MainForm: the program's one window, its controls, its context menu and its two dialogs. Its
// methods are all of the application's event handlers.
#include "layer/control.h"
#include "layer/layer_object.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>

class Menu;
class OpenSaveDialog;
class FolderDialog;

class MainForm : public LayerObject {
  public:
    MainForm() = default;

    Control* FormWindow = nullptr;
    Control* StartButton = nullptr;
    FolderDialog* DirDialog = nullptr;
    Control* AddDirButton = nullptr;
    Control* FileList = nullptr;
    Control* ClearButton = nullptr;
    Menu* ListMenu = nullptr;
    OpenSaveDialog* FileDialog = nullptr;
    Control* AddFilesButton = nullptr;
    Control* AboutButton = nullptr;

    // Start-up and layout.
    void FormCreate(LayerObject* sender);
    void FormResize(Control* sender);

    // The batch run.
    void StartButtonClick(Control* sender);
    void ClearButtonClick(Control* sender);

    // List intake.
    void AddFileToList(std::string_view name);
    void AddFilesButtonClick(Control* sender);
    void AddDirButtonClick(Control* sender);
    void FormDropFiles(Control* sender, const std::string& names, POINT dropPoint);

    // Export and About.
    void CopyItemClick(Menu* menu, int32_t itemIndex);
    void CopyAllItemClick(Menu* menu, int32_t itemIndex);
    void SaveItemClick(Menu* menu, int32_t itemIndex);
    void AboutButtonClick(Control* sender);

    // Every change of FileList's entries goes through these two, which keep ListedTexts in step.
    void AppendToFileList(std::string_view text);
    void ClearFileList();

  protected:
    ~MainForm() override = default;
    void Destroy() override;

  private:
    void AppendResultLines(const std::string& fileName);
    std::string ExportedText();
    bool RunInProgress();
    bool WindowClosed() const;

    // The text of every entry of FileList: AddFileToList refuses an exact duplicate without
    // reading the list back entry by entry.
    std::unordered_set<std::string> ListedTexts;
};

// The process-wide MainForm reference: set first thing in CreateMainForm, cleared when the
// object is released with the main window.
extern MainForm* TheMainForm;

// Builds the main form and everything it owns; the window is created hidden, to be shown by the
// application loop.
void CreateMainForm(MainForm*& form, Control* parentWindow);

// Captions and texts the user reads.
inline constexpr char kProgramCaption[] = "Vantrel";
inline constexpr char kWebAddress[] = "https://vantrel.org";
