// A program that faults on request, built on the error layer exactly as vantrel.exe's entry
// block uses it. Usage: err_fault_program FAULT REPORT-FILE
// FAULT is one of null-write, null-read, divide-by-zero, out-of-memory, raised-stack-overflow,
// uncaught-exception, assertion or none; "early-" before it faults before the handlers are
// installed, "late-" after they are removed, "window-" faults inside a window procedure while a
// message is dispatched, "closing-" while the window is destroyed, after the quit request was
// posted. The report file receives the program's load address at start and "finalisation ran" from
// a static destructor, which runs only when the program ends through the normal shut-down path.
#include "err/error_reporting.h"
#include "err/runtime_faults.h"

#include <windows.h>

#include <cstdio>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>

namespace {

std::string ReportFile;

void Report(const std::string& line) {
    if (FILE* file = std::fopen(ReportFile.c_str(), "ab")) {
        std::fputs((line + "\n").c_str(), file);
        std::fclose(file);
    }
}

// Stands for a unit's finalisation.
struct Finalisation {
    Finalisation() = default;
    Finalisation(const Finalisation&) = delete;
    Finalisation& operator=(const Finalisation&) = delete;
    ~Finalisation() { Report("finalisation ran"); }
} finalisation;

void Fault(std::string_view fault) {
    volatile int* volatile nowhere = nullptr;
    volatile int zero = 0;
    volatile int dividend = 12345; // both unknown to the compiler: a real division instruction
    volatile size_t tooMuch = std::numeric_limits<size_t>::max() / 2;
    if (fault == "null-write")
        *nowhere = 1;
    if (fault == "null-read")
        Report("read " + std::to_string(*nowhere));
    if (fault == "divide-by-zero")
        Report("quotient " + std::to_string(dividend / zero));
    if (fault == "out-of-memory")
        Report("allocated at " +
               std::to_string(reinterpret_cast<uintptr_t>(::operator new(tooMuch))));
    // Raised rather than run into: Wine ends a thread whose stack runs out without delivering
    // the exception, so only the way the report takes can be tried here.
    if (fault == "raised-stack-overflow")
        RaiseException(EXCEPTION_STACK_OVERFLOW, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    if (fault == "uncaught-exception")
        throw std::runtime_error("nobody catches this");
    if (fault == "assertion")
        Assert(false); // the assertion without message
}

std::string_view WindowFault;
bool FaultWhileClosing = false;
constexpr UINT FaultMessage = WM_APP + 1;

LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == FaultMessage) {
        if (!FaultWhileClosing)
            Fault(WindowFault);
        DestroyWindow(window);
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        if (FaultWhileClosing)
            Fault(WindowFault);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// An exception must not pass through the platform's frames: the platform would swallow it where
// it calls the procedure back for a message it sends (WM_DESTROY).
LRESULT CALLBACK FaultingWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return HandleMessage(window, message, wParam, lParam);
    } catch (...) {
        EndWithCurrentException();
    }
}

// The way every fault of the real program arises: in a handler run from the message loop, or
// while the main window is being destroyed and the quit request is already posted.
void FaultInWindowProcedure(std::string_view fault, bool whileClosing) {
    WindowFault = fault;
    FaultWhileClosing = whileClosing;
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = FaultingWindowProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "err_fault_window";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, windowClass.lpszClassName, "Fault", WS_OVERLAPPEDWINDOW, 0, 0,
                                  200, 100, nullptr, nullptr, windowClass.hInstance, nullptr);
    PostMessageA(window, FaultMessage, 0, 0);
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    ReportFile = argv[2];
    char base[32];
    std::snprintf(
        base, sizeof base, "base %llX",
        static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(GetModuleHandleA(nullptr))));
    Report(base);

    std::string_view fault = argv[1];
    constexpr std::string_view early = "early-";
    if (fault.starts_with(early))
        Fault(fault.substr(early.size()));

    {
        ErrorReporting errorReporting;
        constexpr std::string_view inWindow = "window-";
        constexpr std::string_view whileClosing = "closing-";
        if (fault.starts_with(inWindow))
            FaultInWindowProcedure(fault.substr(inWindow.size()), false);
        else if (fault.starts_with(whileClosing))
            FaultInWindowProcedure(fault.substr(whileClosing.size()), true);
        else
            Fault(fault);
    }

    constexpr std::string_view late = "late-";
    if (fault.starts_with(late))
        Fault(fault.substr(late.size()));
    return 0;
}
