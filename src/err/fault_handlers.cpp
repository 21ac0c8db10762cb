#include "err/fault_handlers.h"

#include "err/fault_tables.h"
#include "err/format_text.h"
#include "err/runtime_faults.h"
#include "core/text_ops.h"

#include <array>
#include <cstdlib>

namespace {

// MAX_PATH and its terminating NUL.
constexpr DWORD ModuleNameBufferSize = 261;

// The file of the module whose image holds address; empty when address lies in no module.
std::string ModuleFileOfAddress(const void* address, uintptr_t& moduleBase) {
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(address, &region, sizeof region) == 0 || region.State != MEM_COMMIT)
        return {};
    std::array<char, ModuleNameBufferSize> name{};
    const DWORD length = GetModuleFileNameA(static_cast<HMODULE>(region.AllocationBase),
                                            name.data(), ModuleNameBufferSize);
    if (length == 0)
        return {};
    moduleBase = reinterpret_cast<uintptr_t>(region.AllocationBase);
    return std::string(name.data(), length);
}

std::string ProgramFile() {
    std::array<char, ModuleNameBufferSize> name{};
    const DWORD length = GetModuleFileNameA(nullptr, name.data(), ModuleNameBufferSize);
    return std::string(name.data(), length);
}

Exception AccessViolation(const EXCEPTION_RECORD& record) {
    const char* operation = record.ExceptionInformation[0] == 0 ? "Read" : "Write";
    const auto* inaccessible = reinterpret_cast<const void*>(record.ExceptionInformation[1]);
    uintptr_t moduleBase = 0;
    const std::string module = ModuleFileOfAddress(record.ExceptionAddress, moduleBase);
    std::string message =
        module.empty()
            ? FormatText(FaultEntry(FaultAccessViolation).Message,
                         {record.ExceptionAddress, operation, inaccessible})
            : FormatText("Access violation at address %p in module '%s'. %s of address %p",
                         {record.ExceptionAddress, FileNameOf(module), operation, inaccessible});
    return Exception(ExceptionKind::AccessViolation, std::move(message), 0, &record);
}

} // namespace

std::string IoErrorMessage(int32_t code) {
    const char* message = IoErrorTableMessage(code);
    return message != nullptr ? std::string(message) : FormatText("I/O error %d", {code});
}

void RuntimeFaultHandler(int32_t fault, const void* address) {
    if (fault >= 1 && fault <= FaultCount) {
        const TExceptMapRec& entry = FaultEntry(fault);
        RaiseAt(Exception(entry.Kind, entry.Message), address);
    }
    const int32_t code = TakeIoResult();
    RaiseAt(
        Exception(ExceptionKind::InputOutput, IoErrorMessage(code), static_cast<uint32_t>(code)),
        address);
}

Exception PlatformExceptionConverter(const EXCEPTION_RECORD& record) {
    const int32_t fault = FaultOfPlatformCode(record.ExceptionCode);
    if (fault == FaultAccessViolation)
        return AccessViolation(record);
    if ((fault >= 3 && fault <= 10) || (fault >= 12 && fault <= 21)) {
        const TExceptMapRec& entry = FaultEntry(fault);
        return Exception(entry.Kind, entry.Message, 0, &record);
    }
    return Exception(ExceptionKind::ExternalException,
                     FormatText("External exception %x", {uint32_t{record.ExceptionCode}}), 0,
                     &record);
}

PlacedAddress PlaceAddress(const void* address) {
    uintptr_t moduleBase = 0;
    std::string module = ModuleFileOfAddress(address, moduleBase);
    const auto value = reinterpret_cast<uintptr_t>(address);
    if (!module.empty())
        return {std::move(module), value - moduleBase};
    // Outside every module: shown with the program, as if counted from the start of its code.
    constexpr uintptr_t programCodeStart = 0x1000;
    return {ProgramFile(), value == 0 ? 0 : value - programCodeStart};
}

std::string UnhandledNoticeText(std::string_view className, const Exception* exception,
                                const void* address) {
    const PlacedAddress place = PlaceAddress(address);
    const std::string name(className);
    const std::string message = exception != nullptr ? exception->MessageText : std::string();
    return FormatText(
        "Exception %s in module %s at %p.\n%s%s",
        {name, place.ModuleText, reinterpret_cast<const void*>(place.ShownAddress), message, ""});
}

void UnhandledExceptionHandler(std::string_view className, const Exception* exception,
                               const void* address) {
    const std::string notice = UnhandledNoticeText(className, exception, address);
    // A quit request already posted (the fault arose while the program was closing) would end
    // the box's message loop before anyone could read it; the program ends anyway.
    MSG pendingQuit{};
    PeekMessageA(&pendingQuit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    MessageBoxA(nullptr, notice.c_str(), nullptr, MB_SYSTEMMODAL);
    // A fault in the finalisations that follow gets the runtime's own report, not this one.
    ClearErrorHandlers();
    std::exit(1);
}

void AssertionHandler(std::string_view message, std::string_view file, int32_t line,
                      const void* address) {
    const std::string shownMessage = message.empty() ? "Assertion failed" : std::string(message);
    const std::string fileName(file);
    RaiseAt(Exception(ExceptionKind::Assertion,
                      FormatText("%s (%s, line %d)", {shownMessage, fileName, line})),
            address);
}
