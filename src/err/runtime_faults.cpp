#include "err/runtime_faults.h"

#include "err/fault_tables.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <cxxabi.h>
#include <exception>
#include <memory>
#include <new>
#include <typeinfo>

namespace {

// Read by the hooks on the faulting thread; written by the entry block. One thread in this
// program, but a fault may be reported from a helper thread (stack overflow).
std::atomic<bool> HandlersSet{false};
ErrorHandlers Handlers{};

thread_local int32_t PendingIoResult = 0;

// The exception raised last by RaiseAt and its address; std::terminate finds the address here.
std::exception_ptr LastRaised;
const void* LastRaisedAddress = nullptr;

LPTOP_LEVEL_EXCEPTION_FILTER PreviousFilter = nullptr;

const void* RaiseAddressOf(const std::exception_ptr& raised) {
    return raised != nullptr && raised == LastRaised ? LastRaisedAddress : nullptr;
}

// GCC's own exceptions travel as platform exceptions on 64-bit Windows; the C runtime's filter
// lets an uncaught one return to the C++ runtime, which then calls std::terminate.
bool IsLanguageException(DWORD code) {
    constexpr DWORD gccMagic = 0x20474343;
    return (code & 0x20FFFFFFu) == gccMagic;
}

[[noreturn]] void EndWithPlatformException(const EXCEPTION_RECORD& record) {
    if (!HandlersSet)
        ReportRuntimeError(FaultOfPlatformCode(record.ExceptionCode), record.ExceptionAddress);
    // Unwinding from the filter through the faulting frames is not possible; since nothing in
    // the program would catch the exception, it goes straight to the unhandled handler.
    const Exception exception = Handlers.ConvertPlatformException(record);
    Handlers.Unhandled(ClassNameOf(typeid(exception)), &exception, record.ExceptionAddress);
    std::abort();
}

DWORD WINAPI EndOnFreshStack(LPVOID record) {
    EndWithPlatformException(*static_cast<const EXCEPTION_RECORD*>(record));
}

// A stack overflow leaves only the guaranteed stack reserve (below) on the faulting thread, too
// little for the notice: a helper thread shows it while the faulting thread waits, and the
// process ends from there.
void EndStackOverflow(const EXCEPTION_RECORD& record) {
    EXCEPTION_RECORD copy = record;
    HANDLE helper = CreateThread(nullptr, 256 * 1024, EndOnFreshStack, &copy, 0, nullptr);
    if (helper != nullptr)
        WaitForSingleObject(helper, INFINITE);
    ExitProcess(1); // no thread to show the notice: at least the exit code tells
}

[[noreturn]] void EndWithFault(const EXCEPTION_RECORD& record) {
    if (record.ExceptionCode == EXCEPTION_STACK_OVERFLOW)
        EndStackOverflow(record);
    EndWithPlatformException(record);
}

// Everything that no frame handled arrives here.
LONG WINAPI PlatformExceptionFilter(EXCEPTION_POINTERS* pointers) {
    const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
    if (IsLanguageException(record.ExceptionCode)) {
        if (PreviousFilter != nullptr)
            return PreviousFilter(pointers);
        return (record.ExceptionFlags & EXCEPTION_NONCONTINUABLE) != 0
                   ? EXCEPTION_CONTINUE_SEARCH
                   : EXCEPTION_CONTINUE_EXECUTION;
    }
    EndWithFault(record);
}

bool IsErrorCode(DWORD code) {
    constexpr DWORD errorSeverity = 0xC0000000;
    return (code & errorSeverity) == errorSeverity;
}

bool InProgramImage(const void* address) {
    MEMORY_BASIC_INFORMATION region{};
    return VirtualQuery(address, &region, sizeof region) != 0 &&
           region.AllocationBase == GetModuleHandleA(nullptr);
}

// Faults of the program's own code are taken as they happen, before any frame sees them: the
// program handles none itself, and the platform's frames around a window procedure that the
// system calls back (for a message it sends, as WM_DESTROY) would otherwise swallow them, and
// the program would carry on as if nothing had happened.
LONG WINAPI FaultInProgramCode(EXCEPTION_POINTERS* pointers) {
    const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
    if (!IsErrorCode(record.ExceptionCode) || !InProgramImage(record.ExceptionAddress))
        return EXCEPTION_CONTINUE_SEARCH;
    EndWithFault(record);
}

// Mapping of C++ failures onto the runtime faults: a failed allocation calls the new-handler,
// which makes it fault 1 ("Out of memory") raised where the allocation failed. A std::bad_alloc
// thrown by other means reaches std::terminate and becomes the same fault there.
void AllocationFailed() {
    const void* address = __builtin_return_address(0);
    if (!HandlersSet)
        ReportRuntimeError(FaultOutOfMemory, address);
    Handlers.RuntimeFault(FaultOutOfMemory, address);
    std::abort();
}

int32_t RuntimeErrorOf(const std::exception_ptr& raised) {
    try {
        if (raised != nullptr)
            std::rethrow_exception(raised);
    } catch (const std::bad_alloc&) {
        return FaultOutOfMemory;
    } catch (...) {
    }
    return FaultExternalException;
}

[[noreturn]] void EndWithOutOfMemory(const void* address) {
    try {
        Handlers.RuntimeFault(FaultOutOfMemory, address);
    } catch (const Exception& exception) {
        Handlers.Unhandled(ClassNameOf(typeid(exception)), &exception, address);
    }
    std::abort();
}

// An exception nobody caught, or std::terminate called without one.
[[noreturn]] void NothingCaught() {
    const std::exception_ptr raised = std::current_exception();
    const void* address = RaiseAddressOf(raised);
    if (!HandlersSet)
        ReportRuntimeError(RuntimeErrorOf(raised), address);
    if (raised == nullptr) {
        Handlers.Unhandled("std::terminate", nullptr, nullptr);
        std::abort();
    }
    try {
        std::rethrow_exception(raised);
    } catch (const Exception& exception) {
        Handlers.Unhandled(ClassNameOf(typeid(exception)), &exception, address);
    } catch (const std::bad_alloc&) {
        EndWithOutOfMemory(address);
    } catch (...) {
        const std::type_info* type = abi::__cxa_current_exception_type();
        Handlers.Unhandled(type != nullptr ? ClassNameOf(*type) : std::string(), nullptr, address);
    }
    std::abort();
}

// What the main thread keeps in reserve for reporting a stack overflow.
constexpr ULONG StackOverflowReserve = 64 * 1024;

// The runtime's hooks are in place from early in static initialisation (before the program's
// own static objects are built) until the process ends. The C runtime's start-up code has set
// its own unhandled-exception filter before; it stays the one chained to.
[[gnu::constructor(101)]] void InstallRuntimeHooks() {
    ULONG reserve = StackOverflowReserve;
    SetThreadStackGuarantee(&reserve);
    AddVectoredExceptionHandler(1, FaultInProgramCode);
    PreviousFilter = SetUnhandledExceptionFilter(PlatformExceptionFilter);
    std::set_terminate(NothingCaught);
    std::set_new_handler(AllocationFailed);
}

} // namespace

void SetErrorHandlers(const ErrorHandlers& handlers) {
    Handlers = handlers;
    HandlersSet = true;
}

void ClearErrorHandlers() {
    HandlersSet = false;
    Handlers = {};
}

void RaiseAt(const Exception& exception, const void* address) {
    LastRaised = std::make_exception_ptr(exception);
    LastRaisedAddress = address;
    std::rethrow_exception(LastRaised);
}

void SetIoResult(int32_t code) {
    PendingIoResult = code;
}

int32_t TakeIoResult() {
    const int32_t code = PendingIoResult;
    PendingIoResult = 0;
    return code;
}

std::string ClassNameOf(const std::type_info& type) {
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> readable(
        abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), &std::free);
    return status == 0 && readable != nullptr ? std::string(readable.get()) : type.name();
}

std::string RuntimeErrorText(int32_t errorNumber, const void* address) {
    constexpr size_t lastDigitIndex = 16; // the 17th character
    constexpr size_t addressDigits = sizeof(void*) * 2;
    std::string text = "Runtime error     at " + std::string(addressDigits, '0');
    const std::string number = std::to_string(errorNumber);
    text.replace(lastDigitIndex + 1 - number.size(), number.size(), number);
    auto value = reinterpret_cast<uintptr_t>(address);
    for (size_t position = text.size(); value != 0; value >>= 4)
        text[--position] = "0123456789ABCDEF"[value & 0xF];
    return text;
}

void ReportRuntimeError(int32_t errorNumber, const void* address) {
    const std::string text = RuntimeErrorText(errorNumber, address);
    MessageBoxA(nullptr, text.c_str(), "Error", MB_OK);
    ExitProcess(static_cast<UINT>(errorNumber));
}
