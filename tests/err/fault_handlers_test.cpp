// The handlers' exceptions and texts, in process: runtime faults, converted platform exceptions,
// assertions, and where the notice places an address.
#include "err/fault_handlers.h"
#include "err/runtime_faults.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <cctype>
#include <functional>
#include <string>

namespace {

constexpr size_t AddressDigits = sizeof(void*) * 2;

std::string AddressText(const void* address) {
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%0*llX", static_cast<int>(AddressDigits),
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(address)));
    return text.data();
}

std::string ProgramPath() {
    std::array<char, MAX_PATH + 1> path{};
    GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    return path.data();
}

// The exception raised by a handler that must raise one.
Exception Raised(const std::function<void()>& raise) {
    try {
        raise();
    } catch (const Exception& exception) {
        return exception;
    }
    ADD_FAILURE() << "nothing raised";
    return Exception(ExceptionKind::ExternalException, "");
}

EXCEPTION_RECORD PlatformRecord(DWORD code, const void* address) {
    EXCEPTION_RECORD record{};
    record.ExceptionCode = code;
    record.ExceptionAddress = const_cast<void*>(address);
    return record;
}

// Committed memory that belongs to no module.
class PrivateMemory {
  public:
    PrivateMemory() : Address(VirtualAlloc(nullptr, 0x10000, MEM_COMMIT, PAGE_READWRITE)) {}
    ~PrivateMemory() { VirtualFree(Address, 0, MEM_RELEASE); }
    PrivateMemory(const PrivateMemory&) = delete;
    PrivateMemory& operator=(const PrivateMemory&) = delete;
    const char* At(size_t offset) const { return static_cast<const char*>(Address) + offset; }

  private:
    void* Address;
};

std::string LowerCase(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

const void* SomeCodeOfThisProgram() {
    return reinterpret_cast<const void*>(&ProgramPath);
}

TEST(RuntimeFaultHandler, RaisesTheTableEntryAtTheFaultAddress) {
    const Exception outOfMemory = Raised([] { RuntimeFaultHandler(1, nullptr); });
    EXPECT_EQ(static_cast<int>(outOfMemory.FaultKind), 2);
    EXPECT_EQ(outOfMemory.MessageText, "Out of memory");
    EXPECT_EQ(outOfMemory.FaultCode, 0u);
    EXPECT_EQ(outOfMemory.PlatformRecord, nullptr);

    // Table texts stand as they are, placeholders included.
    const Exception violation = Raised([] { RuntimeFaultHandler(11, nullptr); });
    EXPECT_EQ(violation.MessageText, "Access violation at address %p. %s of address %p");
    EXPECT_STREQ(Raised([] { RuntimeFaultHandler(24, nullptr); }).what(),
                 "Exception in safecall method");
}

TEST(RuntimeFaultHandler, InputOutputFaultsTakeThePendingResultCode) {
    SetIoResult(100);
    const Exception endOfFile = Raised([] { RuntimeFaultHandler(0, nullptr); });
    EXPECT_EQ(static_cast<int>(endOfFile.FaultKind), 3);
    EXPECT_EQ(endOfFile.FaultCode, 100u);
    EXPECT_EQ(endOfFile.MessageText, "End of file");
    EXPECT_EQ(TakeIoResult(), 0) << "the code is reset once taken";

    SetIoResult(32);
    const Exception sharing = Raised([] { RuntimeFaultHandler(25, nullptr); });
    EXPECT_EQ(static_cast<int>(sharing.FaultKind), 3);
    EXPECT_EQ(sharing.FaultCode, 32u);
    EXPECT_EQ(sharing.MessageText, "I/O error 32");
    EXPECT_EQ(IoErrorMessage(-7), "I/O error -7");
}

TEST(PlatformExceptionConverter, BothDivisionsByZeroKeepTheirKinds) {
    const EXCEPTION_RECORD integer = PlatformRecord(EXCEPTION_INT_DIVIDE_BY_ZERO, nullptr);
    const Exception fromInteger = PlatformExceptionConverter(integer);
    EXPECT_EQ(fromInteger.MessageText, "Division by zero");
    EXPECT_EQ(static_cast<int>(fromInteger.FaultKind), 6);
    EXPECT_EQ(fromInteger.PlatformRecord, &integer);

    const EXCEPTION_RECORD floating = PlatformRecord(EXCEPTION_FLT_DIVIDE_BY_ZERO, nullptr);
    const Exception fromFloating = PlatformExceptionConverter(floating);
    EXPECT_EQ(fromFloating.MessageText, "Division by zero");
    EXPECT_EQ(static_cast<int>(fromFloating.FaultKind), 12);
}

TEST(PlatformExceptionConverter, UnknownCodesAreExternalExceptionsInLowerCaseHexadecimal) {
    const Exception unknown = PlatformExceptionConverter(PlatformRecord(0xC0DE00AB, nullptr));
    EXPECT_EQ(unknown.MessageText, "External exception c0de00ab");
    EXPECT_EQ(static_cast<int>(unknown.FaultKind), 4);
    EXPECT_EQ(PlatformExceptionConverter(PlatformRecord(0x0000BEEF, nullptr)).MessageText,
              "External exception beef");
}

TEST(PlatformExceptionConverter, AccessViolationInAModuleNamesTheModuleFile) {
    EXCEPTION_RECORD record = PlatformRecord(EXCEPTION_ACCESS_VIOLATION, SomeCodeOfThisProgram());
    record.NumberParameters = 2;
    record.ExceptionInformation[0] = 1; // a write
    record.ExceptionInformation[1] = 0;
    const Exception violation = PlatformExceptionConverter(record);
    EXPECT_EQ(static_cast<int>(violation.FaultKind), 18);
    EXPECT_EQ(violation.MessageText,
              "Access violation at address " + AddressText(SomeCodeOfThisProgram()) +
                  " in module 'err_handlers_test.exe'. Write of address " + AddressText(nullptr));
}

TEST(PlatformExceptionConverter, AccessViolationOutsideEveryModuleGivesTheShortText) {
    const PrivateMemory memory;
    EXCEPTION_RECORD record = PlatformRecord(EXCEPTION_ACCESS_VIOLATION, memory.At(0x20));
    record.NumberParameters = 2;
    record.ExceptionInformation[0] = 0; // a read
    record.ExceptionInformation[1] = 0xDEAD0;
    EXPECT_EQ(PlatformExceptionConverter(record).MessageText,
              "Access violation at address " + AddressText(memory.At(0x20)) + ". Read of address " +
                  AddressText(reinterpret_cast<const void*>(0xDEAD0)));
}

TEST(PlaceAddress, InsideAModuleGivesItsFullPathAndTheOffsetFromItsBase) {
    const PlacedAddress place = PlaceAddress(SomeCodeOfThisProgram());
    EXPECT_EQ(place.ModuleText, ProgramPath());
    EXPECT_EQ(place.ShownAddress, reinterpret_cast<uintptr_t>(SomeCodeOfThisProgram()) -
                                      reinterpret_cast<uintptr_t>(GetModuleHandleA(nullptr)));

    // Inside a system module: its path and the offset from its base.
    const auto* kernel = reinterpret_cast<const char*>(GetModuleHandleA("kernel32.dll"));
    ASSERT_NE(kernel, nullptr);
    const PlacedAddress system = PlaceAddress(kernel + 0x10);
    EXPECT_NE(LowerCase(system.ModuleText).find("kernel32.dll"), std::string::npos)
        << system.ModuleText;
    EXPECT_EQ(system.ShownAddress, 0x10u);
}

TEST(PlaceAddress, OutsideEveryModuleGivesTheProgramAndTheAddressLess0x1000) {
    const PrivateMemory memory;
    const PlacedAddress committed = PlaceAddress(memory.At(0x1234));
    EXPECT_EQ(committed.ModuleText, ProgramPath());
    EXPECT_EQ(committed.ShownAddress, reinterpret_cast<uintptr_t>(memory.At(0x1234)) - 0x1000);

    const PlacedAddress unmapped = PlaceAddress(reinterpret_cast<const void*>(0x5678));
    EXPECT_EQ(unmapped.ModuleText, ProgramPath());
    EXPECT_EQ(unmapped.ShownAddress, 0x4678u);

    const PlacedAddress zero = PlaceAddress(nullptr);
    EXPECT_EQ(zero.ModuleText, ProgramPath());
    EXPECT_EQ(zero.ShownAddress, 0u);
}

TEST(UnhandledNoticeText, NamesClassModuleAddressAndMessage) {
    const Exception exception(ExceptionKind::OutOfMemory, "Out of memory");
    EXPECT_EQ(UnhandledNoticeText("Exception", &exception, nullptr),
              "Exception Exception in module " + ProgramPath() + " at " + AddressText(nullptr) +
                  ".\nOut of memory");
    // An object of another class has no message.
    EXPECT_EQ(
        UnhandledNoticeText("std::logic_error", nullptr, reinterpret_cast<const void*>(0x1010)),
        "Exception std::logic_error in module " + ProgramPath() + " at " +
            AddressText(reinterpret_cast<const void*>(0x10)) + ".\n");
}

TEST(AssertionHandler, RaisesKind25WithMessageFileAndLine) {
    const Exception withoutMessage = Raised([] { AssertionHandler("", "unit.cpp", 42, nullptr); });
    EXPECT_EQ(static_cast<int>(withoutMessage.FaultKind), 25);
    EXPECT_EQ(withoutMessage.MessageText, "Assertion failed (unit.cpp, line 42)");
    EXPECT_EQ(
        Raised([] { AssertionHandler("list not empty", "form.cpp", 7, nullptr); }).MessageText,
        "list not empty (form.cpp, line 7)");
}

TEST(ClassNameOf, GivesTheTypeAsWrittenInTheSource) {
    EXPECT_EQ(ClassNameOf(typeid(Exception)), "Exception");
    EXPECT_EQ(ClassNameOf(typeid(std::runtime_error)), "std::runtime_error");
}

} // namespace
