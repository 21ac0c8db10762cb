// What the handlers make of each fault, in process: the text and kind a platform exception or a
// runtime fault becomes, where an address is placed, and the runtime's last-resort text.
#include "err/fault_handlers.h"
#include "err/format_text.h"
#include "err/runtime_faults.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

const std::string kZeros(sizeof(void*) * 2, '0');

Exception Raised(int32_t fault) {
    try {
        RuntimeFaultHandler(fault, nullptr);
    } catch (const Exception& exception) {
        return exception;
    }
    return Exception(ExceptionKind::ExternalException, "nothing raised");
}

Exception Converted(DWORD code, ULONG_PTR operation = 0, const void* at = nullptr) {
    EXCEPTION_RECORD record{code, 0, nullptr, const_cast<void*>(at), 2, {operation, 0xDEAD0}};
    return PlatformExceptionConverter(record);
}

TEST(PlatformExceptionConverter, GivesEachProcessorFaultItsTextAndKind) {
    const std::tuple<DWORD, ExceptionKind, std::string> cases[] = {
        {EXCEPTION_INT_DIVIDE_BY_ZERO, ExceptionKind::IntDivideByZero, "Division by zero"},
        {EXCEPTION_FLT_DIVIDE_BY_ZERO, ExceptionKind::FloatDivideByZero, "Division by zero"},
        {EXCEPTION_FLT_OVERFLOW, ExceptionKind::FloatOverflow, "Floating point overflow"},
        {EXCEPTION_FLT_UNDERFLOW, ExceptionKind::FloatUnderflow, "Floating point underflow"},
        {EXCEPTION_STACK_OVERFLOW, ExceptionKind::StackOverflow, "Stack overflow"},
        {0xC00000FE, ExceptionKind::ExternalException, "External exception c00000fe"},
        {0x0000BEEF, ExceptionKind::ExternalException, "External exception beef"},
        {EXCEPTION_ACCESS_VIOLATION, ExceptionKind::AccessViolation,
         "Access violation at address " + kZeros + ". Read of address " +
             FormatText("%p", {reinterpret_cast<const void*>(0xDEAD0)})},
    };
    for (const auto& [code, kind, text] : cases) {
        EXPECT_EQ(Converted(code).MessageText, text);
        EXPECT_EQ(Converted(code).FaultKind, kind) << text;
    }
    // In a module: the module's file is named, and a write is a write.
    const std::string inModule = Converted(EXCEPTION_ACCESS_VIOLATION, 1, &kZeros).MessageText;
    EXPECT_NE(inModule.find(" in module 'err_handlers_test.exe'. Write of address "),
              std::string::npos)
        << inModule;
}

TEST(RuntimeFaultHandler, RaisesTheFaultsTextOrThePendingInputOutputResult) {
    EXPECT_EQ(Raised(1).MessageText, "Out of memory");
    for (const auto& [code, text] : {std::pair{100, "End of file"}, {32, "I/O error 32"}}) {
        SetIoResult(code);
        const Exception raised = Raised(0);
        EXPECT_EQ(raised.MessageText, text);
        EXPECT_EQ(raised.FaultCode, static_cast<uint32_t>(code));
        EXPECT_EQ(TakeIoResult(), 0) << "the code is reset once taken";
    }
}

TEST(PlaceAddress, OutsideEveryModuleGivesTheProgramAndTheAddressLess0x1000) {
    char path[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    const PlacedAddress unmapped = PlaceAddress(reinterpret_cast<const void*>(0x5678));
    EXPECT_EQ(unmapped.ModuleText, path);
    EXPECT_EQ(unmapped.ShownAddress, 0x4678u);
    EXPECT_EQ(PlaceAddress(nullptr).ShownAddress, 0u);
}

TEST(FaultTexts, FormattingAndTheRuntimesLastResortText) {
    EXPECT_EQ(FormatText("%s|%d|%x|100%%", {"text", -5, uint32_t{0xC0000094u}}),
              "text|-5|c0000094|100%");
    EXPECT_EQ(FormatText("%s", {std::string(3000, 'x')}).size(), 1023u); // the formatter's limit
    EXPECT_EQ(RuntimeErrorText(11, nullptr), "Runtime error  11 at " + kZeros);
    EXPECT_EQ(RuntimeErrorText(217, nullptr), "Runtime error 217 at " + kZeros);
    try {
        AssertionHandler("", "unit.cpp", 42, nullptr);
    } catch (const Exception& exception) {
        EXPECT_EQ(exception.MessageText, "Assertion failed (unit.cpp, line 42)");
    }
}

} // namespace
