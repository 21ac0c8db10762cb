#pragma once
// A second thread that plays the user of the modal dialogs the test thread opens: it waits for
// a dialog window to come up, types into it and presses its buttons through the dialog's own
// controls. Every wait has a timeout, and once the script is over any dialog still open on the
// test thread is cancelled, so a test never hangs on a modal call.
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

class DialogUser {
  public:
    using Script = std::function<void(DialogUser& user)>;

    // Starts the script on its own thread; the test thread then makes its modal call.
    explicit DialogUser(Script script);
    // Called when the test thread's modal call has returned: waits for the script to end.
    ~DialogUser();
    DialogUser(const DialogUser&) = delete;
    DialogUser& operator=(const DialogUser&) = delete;

    // A visible dialog window ("#32770") of the test thread, owned by owner when owner is given
    // and different from other; null after the timeout.
    HWND WaitForDialog(HWND owner = nullptr, HWND other = nullptr, DWORD timeoutMs = 20000);
    // The file dialogs' file-name field.
    HWND FileNameField(HWND dialog);
    // Replaces the field's content by typing text into it, character by character.
    bool Type(HWND field, const std::string& text);
    // Replaces the field's content at once, as pasting a long text would.
    bool Paste(HWND field, const std::string& text);
    // Presses the dialog's button with the identifier.
    void Press(HWND dialog, int buttonId);
    // True once the window is gone or hidden; false after the timeout.
    bool WaitUntilClosed(HWND window, DWORD timeoutMs = 10000);
    // Waits until condition holds; false after the timeout.
    bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = 10000);

  private:
    void CancelOpenDialogs();

    DWORD testThread_;
    std::atomic<bool> testDone_{false};
    std::thread thread_;
};

std::string WindowTextOf(HWND window);
// The texts of a message box's static controls, joined by newlines.
std::string MessageTextOf(HWND messageBox);
