#pragma once
// The program's one exception class. Every fault the C++ runtime or the platform reports is
// turned into an Exception with a fixed English message; nothing in the program catches it, so
// it ends in the unhandled-exception notice (fault_handlers.h).
#include <cstdint>
#include <exception>
#include <string>

// The platform's exception record (EXCEPTION_RECORD), only pointed at from here.
struct _EXCEPTION_RECORD;

// The kind numbers of the fault table and of the input/output and converted platform faults.
enum class ExceptionKind : uint8_t {
    OutOfMemory = 2,
    InputOutput = 3,
    ExternalException = 4,
    IntDivideByZero = 6,
    RangeCheck = 7,
    IntOverflow = 8,
    InvalidFloatOperation = 11,
    FloatDivideByZero = 12,
    FloatOverflow = 13,
    FloatUnderflow = 14,
    InvalidPointer = 15,
    InvalidTypeCast = 16,
    AccessViolation = 18,
    PrivilegedInstruction = 19,
    StackOverflow = 20,
    ControlBreak = 21,
    VariantError = 22,
    Assertion = 25,
    InterfaceNotSupported = 27,
    SafeCallError = 32,
};

class Exception : public std::exception {
  public:
    Exception(ExceptionKind kind, std::string message, uint32_t faultCode = 0,
              const _EXCEPTION_RECORD* platformRecord = nullptr);

    const char* what() const noexcept override { return MessageText.c_str(); }

    ExceptionKind FaultKind;
    // The input/output result code for input/output faults, 0 otherwise.
    uint32_t FaultCode;
    std::string MessageText;
    // Set when converted from a platform exception; owned by the platform, valid while it
    // dispatches that exception.
    const _EXCEPTION_RECORD* PlatformRecord;
};
