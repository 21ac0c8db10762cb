#include "err/fault_handlers.h"

#include "core/text_ops.h"
#include "core/wide_path.h"
#include "err/fault_tables.h"
#include "err/format_text.h"
#include "err/runtime_faults.h"

#include <cstdlib>

namespace {

// The file of a module (nullptr: the program) in the program's code page, whole whatever its
// length and script; empty when the platform names none.
std::string ModuleFile(HMODULE module) {
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(module, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0)
            return {};
        // A name that fills the room may have been cut: ask again with twice the room.
        if (length < name.size())
            return ProgramText(std::wstring_view(name.data(), length));
        name.resize(name.size() * 2);
    }
}

// The file of the module whose image holds address; empty when address lies in no module.
std::string ModuleFileOfAddress(const void* address, uintptr_t& moduleBase) {
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(address, &region, sizeof region) == 0 || region.State != MEM_COMMIT)
        return {};
    std::string name = ModuleFile(static_cast<HMODULE>(region.AllocationBase));
    if (!name.empty())
        moduleBase = reinterpret_cast<uintptr_t>(region.AllocationBase);
    return name;
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
    return {ModuleFile(nullptr), value == 0 ? 0 : value - programCodeStart};
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
