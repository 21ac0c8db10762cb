#pragma once
// The runtime's side of fault handling. C++ and the platform report faults in their own ways;
// these hooks catch every one of them and route it:
// - a failed allocation (the C++ new-handler) to RuntimeFault with fault 1, "Out of memory";
// - a processor fault in the program's own code (taken first-chance by a vectored handler), and
//   any other processor or system exception that no frame handled (the platform's
//   unhandled-exception filter), to ConvertPlatformException and then Unhandled;
// - an exception that nothing caught (std::terminate) to Unhandled;
// While no error handlers are installed (early start-up, late shut-down) the runtime reports the
// fault itself with the last-resort "Runtime error" box and ends the process.
#include "err/exception.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <typeinfo>

// The four handlers of the error layer. Every one of them except ConvertPlatformException ends
// by raising an exception or by ending the process. Nothing in this program asserts: Assertion
// is the layer's handler for the assertion fault and keeps its defined text.
struct ErrorHandlers {
    void (*RuntimeFault)(int32_t fault, const void* address);
    Exception (*ConvertPlatformException)(const _EXCEPTION_RECORD& record);
    void (*Unhandled)(std::string_view className, const Exception* exception, const void* address);
    void (*Assertion)(std::string_view message, std::string_view file, int32_t line,
                      const void* address);
};

// Sets the four handlers together; ClearErrorHandlers takes them out again.
void SetErrorHandlers(const ErrorHandlers& handlers);
void ClearErrorHandlers();

// Every function the platform calls back, as a window procedure, is declared noexcept: an
// exception must not pass through the platform's frames, which on 64-bit systems swallow it
// silently where the system calls the procedure for a message it sends (WM_CREATE, WM_DESTROY,
// ...). It ends the program there through std::terminate, as an exception that nothing caught.

// Throws a copy of exception; an unhandled-exception notice names address as where it arose.
[[noreturn]] void RaiseAt(const Exception& exception, const void* address);

// The calling thread's pending input/output result code. Nothing in this program sets one; it
// is here so that input/output faults keep their defined texts.
void SetIoResult(int32_t code);
int32_t TakeIoResult();

// The readable name of a C++ type, for the notice ("Exception", "std::runtime_error").
std::string ClassNameOf(const std::type_info& type);

// "Runtime error     at 00000000" with the error number right-aligned so that its last digit is
// the 17th character, and the address in upper-case hexadecimal in place of the zeros (as many
// zeros as an address has digits).
std::string RuntimeErrorText(int32_t errorNumber, const void* address);

// The last-resort report: the text above in a message box captioned "Error", then the process
// ends with the error number as its exit code. The error numbers are the runtime fault numbers
// of the fault table; an exception that nothing caught counts as 22, an external exception.
[[noreturn]] void ReportRuntimeError(int32_t errorNumber, const void* address);
