// The program's entry block.
#include "app/main_form.h"
#include "err/error_reporting.h"
#include "layer/dispatch.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Every fault from here on ends in the unhandled-exception notice and exit code 1.
    ErrorReporting errorReporting;
    CreateMainForm(TheMainForm, nullptr);
    ApplicationLoop(TheMainForm->FormWindow);
    // The loop normally ends the application itself, and the form goes with its window.
    if (TheMainForm != nullptr)
        TerminateApplication(TheMainForm->FormWindow);
    return 0;
}
