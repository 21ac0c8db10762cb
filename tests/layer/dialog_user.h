#pragma once
// A second thread that plays the user of the modal dialogs the test thread opens: it waits for
// a dialog to come up, types into it and presses its buttons through the dialog's own controls.
// Every wait ends on its event or, on a machine too busy to meet a generous bound, fails the
// test; once the script is over, any dialog still open on the test thread is cancelled, so a
// test never hangs on a modal call.
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

class DialogUser {
  public:
    // Bound of every wait: on a loaded machine Wine may take long to build a dialog.
    static constexpr DWORD kPatienceMs = 120000;

    // Starts the script; the test thread then makes its modal call.
    explicit DialogUser(std::function<void(DialogUser&)> script);
    // Called once the modal call has returned: waits for the script to end.
    ~DialogUser();

    // A visible dialog window ("#32770") of the test thread, other than `besides`.
    HWND WaitForDialog(HWND besides = nullptr);
    // The file dialogs' file-name field.
    HWND FileNameField(HWND dialog);
    // Replaces the field's content with the text, as pasting it would.
    bool Enter(HWND field, const std::string& text);
    void Press(HWND dialog, int buttonId);
    bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = kPatienceMs);

  private:
    DWORD testThread_;
    std::atomic<bool> testDone_{false};
    std::thread thread_;
};

std::string WindowTextOf(HWND window);
// The texts of a message box's static controls, joined by newlines.
std::string MessageTextOf(HWND messageBox);
