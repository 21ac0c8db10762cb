#pragma once
// The platform's folder browser as one reusable layer object.
#include "layer/layer_object.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

// A set of browser options, bit n standing for option n.
using FolderOptions = uint16_t;
enum FolderOption : uint16_t {
    BrowseForComputerOption = 1u << 0,
    BrowseForPrinterOption = 1u << 1,
    DontGoBelowDomainOption = 1u << 2,
    ReturnFileSystemAncestorsOption = 1u << 3,
    ReturnOnlyFileSystemFoldersOption = 1u << 4,
    StatusTextOption = 1u << 5,
    BrowseIncludeFilesOption = 1u << 6,
    EditBoxOption = 1u << 7,
    NewDialogStyleOption = 1u << 8,
};
constexpr FolderOptions kDefaultFolderOptions = ReturnOnlyFileSystemFoldersOption;

class FolderDialog : public LayerObject {
  public:
    // An empty option set stands for the default set.
    FolderDialog(std::string_view prompt, FolderOptions options);

    // Shown above the folder tree; empty shows none.
    std::string Prompt;
    FolderOptions DialogOptions;
    // 0: the application's main window.
    HWND OwnerWindow = nullptr;

    // Shows the browser modally; true when the user chose a folder with a file-system path.
    bool Choose();

    // After a confirmed Choose: the folder's full path; a drive root keeps its backslash.
    std::string FolderPath() const;

    // The folder selected when the browser opens. Stored without a trailing backslash except
    // for a drive root (C:\Data\ becomes C:\Data, C:\ stays C:\).
    const std::string& PreselectedFolder() const { return preselectedFolder_; }
    void SetPreselectedFolder(std::string_view path);

    // The window of the browser last opened; null until a browser with a preselected folder
    // has been opened.
    HWND BrowserWindow() const { return browserWindow_; }

  protected:
    ~FolderDialog() override = default;

  private:
    static int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM value, LPARAM dialog);

    // Receives the chosen item's display name, which is not used.
    char pathBuffer_[MAX_PATH + 1] = {};
    std::string folderPath_;
    std::string preselectedFolder_;
    bool useBrowseCallback_ = false;
    HWND browserWindow_ = nullptr;
};
