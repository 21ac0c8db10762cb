// What the error layer makes of each fault, in process: the text and kind of runtime faults and
// processor exceptions, the notice text with the place of its address, and the runtime's own
// last-resort text. Their rows carry every conversion of the formatter.
#include "err/fault_handlers.h"
#include "err/format_text.h"
#include "err/runtime_faults.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <iomanip>
#include <sstream>

namespace {

// An address as the texts show it: every digit of a pointer, upper case.
std::string Hex(uintptr_t value) {
    std::ostringstream text;
    text << std::uppercase << std::hex << std::setw(sizeof(void*) * 2) << std::setfill('0')
         << value;
    return text.str();
}

// The message, kind and input/output code of the exception raised.
std::string Raised(const std::function<void()>& raise) {
    try {
        raise();
    } catch (const Exception& e) {
        return e.MessageText + " kind " + std::to_string(int(e.FaultKind)) + " code " +
               std::to_string(e.FaultCode);
    }
    return "nothing raised";
}

// The codes at the edges of the mapped range, the kinds that share a text, and codes outside the
// range whose last byte is a mapped one.
TEST(PlatformExceptionConverter, MapsTheCodesOfItsTableAndEveryOtherToAnExternalException) {
    const std::string violation = "Access violation at address " + Hex(0) + ". Read of address ";
    const std::pair<DWORD, std::string> cases[] = {
        {0xC0000094, "Division by zero kind 6"},
        {0xC000008E, "Division by zero kind 12"},
        {0xC0000091, "Floating point overflow kind 13"},
        {0xC000008D, "Floating point underflow kind 14"},
        {0xC00000FD, "Stack overflow kind 20"},
        {0xC0000005, violation + Hex(0xDEAD0) + " kind 18"},
        {0xC00000FE, "External exception c00000fe kind 4"},
        {0xC0000194, "External exception c0000194 kind 4"},
        {0x80000094, "External exception 80000094 kind 4"},
        {0x0000BEEF, "External exception beef kind 4"},
    };
    for (const auto& [code, expected] : cases) {
        const EXCEPTION_RECORD record{code, 0, nullptr, nullptr, 2, {0, 0xDEAD0}};
        EXPECT_EQ(Raised([&] { throw PlatformExceptionConverter(record); }), expected + " code 0");
        EXPECT_EQ(PlatformExceptionConverter(record).PlatformRecord, &record);
    }
    // In a module: the module's file is named without its folder, and a write is a write.
    const EXCEPTION_RECORD write{0xC0000005, 0, nullptr, reinterpret_cast<void*>(&Hex), 2, {1, 0}};
    EXPECT_EQ(PlatformExceptionConverter(write).MessageText,
              "Access violation at address " + Hex(reinterpret_cast<uintptr_t>(&Hex)) +
                  " in module 'err_handlers_test.exe'. Write of address " + Hex(0));
}

TEST(RuntimeFaultHandler, RaisesTheFaultsTextOrNamesThePendingInputOutputResult) {
    const std::tuple<int32_t, int32_t, std::string> cases[] = {
        {1, 0, "Out of memory kind 2 code 0"},
        {24, 0, "Exception in safecall method kind 32 code 0"},
        {0, 2, "File not found kind 3 code 2"},
        {25, 101, "Disk full kind 3 code 101"},
        {0, 32, "I/O error 32 kind 3 code 32"},
    };
    for (const auto& [fault, ioResult, expected] : cases) {
        SetIoResult(ioResult);
        EXPECT_EQ(Raised([fault] { RuntimeFaultHandler(fault, nullptr); }), expected);
        EXPECT_EQ(TakeIoResult(), 0) << "the code is reset once taken";
    }
}

TEST(UnhandledNoticeText, NamesTheClassTheModuleTheAddressInItAndTheMessage) {
    char program[MAX_PATH + 1] = {}, system[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, program, sizeof program);
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    GetModuleFileNameA(kernel, system, sizeof system);
    const auto inKernel = reinterpret_cast<uintptr_t>(GetProcAddress(kernel, "GetTickCount"));
    const Exception exception(ExceptionKind::OutOfMemory, "Out of memory");
    const std::tuple<std::string, const Exception*, uintptr_t, std::string> cases[] = {
        {"Exception", &exception, inKernel,
         std::string(system) + " at " + Hex(inKernel - uintptr_t(kernel)) + ".\nOut of memory"},
        {"std::runtime_error", nullptr, 0x5678,
         std::string(program) + " at " + Hex(0x4678) + ".\n"},
        {"Exception", nullptr, 0, std::string(program) + " at " + Hex(0) + ".\n"},
    };
    for (const auto& [className, raised, address, place] : cases)
        EXPECT_EQ(UnhandledNoticeText(className, raised, reinterpret_cast<const void*>(address)),
                  "Exception " + className + " in module " + place);
}

TEST(FaultTexts, AssertionsFormattingAndTheRuntimesLastResortText) {
    EXPECT_EQ(Raised([] { AssertionHandler("", "unit.cpp", 42, nullptr); }),
              "Assertion failed (unit.cpp, line 42) kind 25 code 0");
    EXPECT_EQ(FormatText("%s", {std::string(3000, 'x')}), std::string(1023, 'x'));
    const std::pair<int32_t, std::string> numbers[] = {{1, "  1"}, {11, " 11"}, {217, "217"}};
    for (const auto& [number, shown] : numbers)
        EXPECT_EQ(RuntimeErrorText(number, reinterpret_cast<void*>(0x1234ABCD)),
                  "Runtime error " + shown + " at " + Hex(0x1234ABCD));
}

} // namespace
