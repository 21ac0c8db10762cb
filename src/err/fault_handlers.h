#pragma once
// The error layer's four handlers, which error_reporting.h installs into the runtime hooks
// (runtime_faults.h), and the pieces of their texts.
#include "err/exception.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

// Raises the exception of runtime fault 1 to 24 (kind and message of its table entry) with
// address as its address. Fault 0 and faults above 24 are input/output faults: the calling
// thread's pending input/output result code is taken (and reset) and named by the message.
[[noreturn]] void RuntimeFaultHandler(int32_t fault, const void* address);

// The exception for a processor or system exception; PlatformRecord points at record.
Exception PlatformExceptionConverter(const EXCEPTION_RECORD& record);

// Shows the notice for an exception that nothing caught: an Exception, or an object of another
// class (exception null) named by className. Then the program ends through the normal shut-down
// path (static destructors and atexit functions run) with exit code 1.
[[noreturn]] void UnhandledExceptionHandler(std::string_view className, const Exception* exception,
                                            const void* address);

// Raises the assertion exception: "message (file, line n)", "Assertion failed" for an empty
// message, with address (the call site) as its address.
[[noreturn]] void AssertionHandler(std::string_view message, std::string_view file, int32_t line,
                                   const void* address);

// The message of an input/output result code: the table's text or "I/O error <code>".
std::string IoErrorMessage(int32_t code);

// Where an address lies, as the notice names it: inside a loaded module, that module's full
// path and the offset from its base; elsewhere, the program's own path and address - 0x1000
// (0 stays 0).
struct PlacedAddress {
    std::string ModuleText;
    uintptr_t ShownAddress;
};
PlacedAddress PlaceAddress(const void* address);

// "Exception <class> in module <module> at <address>.\n<message>"
std::string UnhandledNoticeText(std::string_view className, const Exception* exception,
                                const void* address);
