// A program that faults on request, built on the error layer as vantrel.exe's entry block uses
// it. Usage: err_fault_program FAULT REPORT-FILE, FAULT one of null-write, uncaught-exception or
// none, raised inside a window procedure while the message loop dispatches a message, as every
// fault of the real program arises; "early-null-write" faults before the handlers are installed.
// The report file receives "finalisation ran" from a static destructor, which runs only when the
// program ends through the normal shut-down path.
#include "err/error_reporting.h"
#include "err/runtime_faults.h"

#include <windows.h>

#include <exception>
#include <fstream>
#include <stdexcept>

namespace {

std::string ReportFile;

struct Finalisation {
    ~Finalisation() { std::ofstream(ReportFile, std::ios::app) << "finalisation ran\n"; }
} finalisation;

std::string_view PendingFault;

void Fault(std::string_view fault) {
    volatile int* volatile nowhere = nullptr;
    if (fault == "null-write")
        *nowhere = 1;
    if (fault == "uncaught-exception")
        throw std::runtime_error("nobody catches this");
}

LRESULT CALLBACK FaultingWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        if (message == WM_APP) {
            Fault(PendingFault);
            PostQuitMessage(0);
        }
        return DefWindowProcA(window, message, wParam, lParam);
    } catch (...) {
        std::terminate(); // an exception must not pass through the platform's frames
    }
}

void FaultInWindowProcedure(std::string_view fault) {
    PendingFault = fault;
    HWND window =
        CreateWindowExA(0, "STATIC", "Fault", 0, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FaultingWindowProcedure));
    PostMessageA(window, WM_APP, 0, 0);
    for (MSG message{}; GetMessageA(&message, nullptr, 0, 0) > 0;)
        DispatchMessageA(&message);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    ReportFile = argv[2];
    if (argv[1] == std::string_view("early-null-write"))
        Fault("null-write");
    ErrorReporting errorReporting;
    FaultInWindowProcedure(argv[1]);
    return 0;
}
