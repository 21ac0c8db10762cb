#include "err/fault_tables.h"

const std::array<TErrorRec, 6> IoErrorTable = {{
    {2, "File not found"},
    {3, "Invalid filename"},
    {4, "Too many open files"},
    {5, "File access denied"},
    {100, "End of file"},
    {101, "Disk full"},
}};

const std::array<TExceptMapRec, FaultCount> FaultTable = {{
    {ExceptionKind::OutOfMemory, "Out of memory"},
    {ExceptionKind::InvalidPointer, "Invalid pointer operation"},
    {ExceptionKind::IntDivideByZero, "Division by zero"},
    {ExceptionKind::RangeCheck, "Range check error"},
    {ExceptionKind::IntOverflow, "Integer overflow"},
    {ExceptionKind::InvalidFloatOperation, "Invalid floating point operation"},
    {ExceptionKind::FloatDivideByZero, "Division by zero"},
    {ExceptionKind::FloatOverflow, "Floating point overflow"},
    {ExceptionKind::FloatUnderflow, "Floating point underflow"},
    {ExceptionKind::InvalidTypeCast, "Invalid class typecast"},
    {ExceptionKind::AccessViolation, "Access violation at address %p. %s of address %p"},
    {ExceptionKind::PrivilegedInstruction, "Privileged instruction"},
    {ExceptionKind::ControlBreak, "^C"},
    {ExceptionKind::StackOverflow, "Stack overflow"},
    {ExceptionKind::VariantError, "EVariant"},
    {ExceptionKind::VariantError, "EVariant"},
    {ExceptionKind::VariantError, "EVariant"},
    {ExceptionKind::VariantError, "EVariant"},
    {ExceptionKind::VariantError, "EVariant"},
    {ExceptionKind::VariantError, "EVariant"},
    {ExceptionKind::Assertion, "Assertion failed"},
    {ExceptionKind::ExternalException, "External exception %x"},
    {ExceptionKind::InterfaceNotSupported, "Interface not supported"},
    {ExceptionKind::SafeCallError, "Exception in safecall method"},
}};

// One byte per code is enough: every mapped code lies between 0xC0000000 and 0xC00000FD.
const std::array<TPlatformCodeRec, 13> PlatformCodeTable = {{
    {0x94, 3},  // EXCEPTION_INT_DIVIDE_BY_ZERO
    {0x8C, 4},  // EXCEPTION_ARRAY_BOUNDS_EXCEEDED
    {0x95, 5},  // EXCEPTION_INT_OVERFLOW
    {0x8F, 6},  // EXCEPTION_FLT_INEXACT_RESULT
    {0x90, 6},  // EXCEPTION_FLT_INVALID_OPERATION
    {0x92, 6},  // EXCEPTION_FLT_STACK_CHECK
    {0x8E, 7},  // EXCEPTION_FLT_DIVIDE_BY_ZERO
    {0x91, 8},  // EXCEPTION_FLT_OVERFLOW
    {0x8D, 9},  // EXCEPTION_FLT_DENORMAL_OPERAND
    {0x93, 9},  // EXCEPTION_FLT_UNDERFLOW
    {0x05, 11}, // EXCEPTION_ACCESS_VIOLATION
    {0x96, 12}, // EXCEPTION_PRIV_INSTRUCTION
    {0xFD, 14}, // EXCEPTION_STACK_OVERFLOW
}};

const char* IoErrorTableMessage(int32_t code) {
    for (const TErrorRec& entry : IoErrorTable)
        if (entry.Code == code)
            return entry.Message;
    return nullptr;
}

const TExceptMapRec& FaultEntry(int32_t fault) {
    if (fault < 1 || fault > FaultCount)
        fault = FaultExternalException;
    return FaultTable[static_cast<size_t>(fault - 1)];
}

int32_t FaultOfPlatformCode(uint32_t code) {
    constexpr uint32_t base = 0xC0000000u;
    constexpr uint32_t highestMapped = 0xC00000FDu;
    if (code < base || code > highestMapped)
        return FaultExternalException;
    const auto distance = static_cast<uint8_t>(code - base);
    for (auto entry = PlatformCodeTable.rbegin(); entry != PlatformCodeTable.rend(); ++entry)
        if (entry->Distance == distance)
            return entry->Fault;
    return FaultExternalException;
}
