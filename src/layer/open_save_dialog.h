#pragma once
// The platform's file Open and Save dialogs as one reusable layer object. Its settings are kept
// between uses; the application changes them before a use and reads the outcome afterwards.
#include "layer/layer_object.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// A set of dialog options, bit n standing for option n.
using OpenSaveOptions = uint16_t;
enum OpenSaveOption : uint16_t {
    CreatePromptOption = 1u << 0,
    ExtensionDifferentOption = 1u << 1,
    FileMustExistOption = 1u << 2,
    HideReadOnlyOption = 1u << 3,
    NoChangeDirOption = 1u << 4,
    NoDereferenceLinksOption = 1u << 5,
    AllowMultiSelectOption = 1u << 6,
    NoNetworkButtonOption = 1u << 7,
    NoReadOnlyReturnOption = 1u << 8,
    OverwritePromptOption = 1u << 9,
    PathMustExistOption = 1u << 10,
    ReadOnlyOption = 1u << 11,
    NoValidateOption = 1u << 12,
};
constexpr OpenSaveOptions kDefaultOpenSaveOptions =
    FileMustExistOption | HideReadOnlyOption | OverwritePromptOption | PathMustExistOption;

// Shown when the files chosen at once do not fit into the room given for their names.
inline constexpr char kTooManyFilesNotice[] =
    "Too many files were selected at once. Please select fewer files.";

class OpenSaveDialog : public LayerObject {
  public:
    // An empty option set stands for the default set.
    OpenSaveDialog(std::string_view title, std::string_view startFolder, OpenSaveOptions options);

    // Description and pattern pairs separated by "|"; empty: no filter list.
    std::string FilterSpec;
    // 1-based number of the filter pair offered first; after a confirmed use, the one chosen.
    int32_t SelectedFilter = 0;
    // True: the Open dialog; false: the Save dialog.
    bool OpenMode = true;
    // The folder shown first; empty leaves the choice to the platform.
    std::string StartFolder;
    std::string DefaultExtension;
    // Before a use, the name proposed; after it, the chosen path, or with multiple selection the
    // folder and the names separated by CR. Empty after a cancelled use.
    std::string Selection;
    // Empty gives the platform's default title.
    std::string DialogTitle;
    OpenSaveOptions DialogOptions;
    // 0: the application's main window.
    HWND OwnerWindow = nullptr;
    // After a confirmed use: the state of the read-only check box.
    bool ReadOnlyChecked = false;
    // Bytes for the names of a multiple selection, the platform's terminating NULs included;
    // never less than the room one file's path may need.
    size_t MultipleSelectionCapacity = 4 * 1024 * 1024;

    // Shows the dialog modally; true when the user confirmed a choice.
    bool Choose();

  protected:
    ~OpenSaveDialog() override = default;
};
