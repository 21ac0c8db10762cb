#pragma once
// Start-up and shut-down of error reporting, for the program's entry block. Installation comes
// first, before CreateMainForm; removal comes last, after TerminateApplication:
//
//     int main() {
//         ErrorReporting errorReporting; // installs the handlers
//         CreateMainForm();
//         ApplicationLoop();
//         TerminateApplication();
//         return 0;                      // errorReporting's destructor removes them
//     }
//
// From installation to removal every fault (a failed allocation, a processor fault, an
// exception nothing catches) ends in the notice "Exception Exception in module
// ..."; once it is answered, the program's static destructors and atexit functions run and the
// process ends with exit code 1. Before installation and after removal the runtime reports a
// fault itself with its "Runtime error" box. Window procedures are noexcept and hand an
// exception on through std::terminate (runtime_faults.h).

// Sets RuntimeFaultHandler, PlatformExceptionConverter, UnhandledExceptionHandler and
// AssertionHandler into the runtime hooks together.
void InstallErrorHandlers();

// Clears the four handlers together. The table texts are constants: nothing else to release.
void RemoveErrorHandlers();

// Installs the handlers for its lifetime.
class ErrorReporting {
  public:
    ErrorReporting() { InstallErrorHandlers(); }
    ~ErrorReporting() { RemoveErrorHandlers(); }
    ErrorReporting(const ErrorReporting&) = delete;
    ErrorReporting& operator=(const ErrorReporting&) = delete;
};
