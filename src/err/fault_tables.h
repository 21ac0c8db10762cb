#pragma once
// The fixed tables of the error layer: the input/output result codes, the runtime faults with
// their kinds and messages, and the mapping of platform exception codes to runtime faults.
// The texts are constants of the program image: there is nothing to release at shut-down.
#include "err/exception.h"

#include <array>
#include <cstdint>

// An input/output result code and its message.
struct TErrorRec {
    int32_t Code;
    const char* Message;
};

#pragma pack(push, 1)
// A runtime fault's kind and message; texts are used as they stand, placeholders included.
struct TExceptMapRec {
    ExceptionKind Kind;
    const char* Message;
};
#pragma pack(pop)

// A platform exception code, stored as its distance from 0xC0000000, and its runtime fault.
struct TPlatformCodeRec {
    uint8_t Distance;
    uint8_t Fault;
};

// Runtime fault numbers that the error layer uses by name.
inline constexpr int32_t FaultInputOutput = 0;
inline constexpr int32_t FaultOutOfMemory = 1;
inline constexpr int32_t FaultIntDivideByZero = 3;
inline constexpr int32_t FaultAccessViolation = 11;
inline constexpr int32_t FaultAssertion = 21;
inline constexpr int32_t FaultExternalException = 22;
inline constexpr int32_t FaultCount = 24;

extern const std::array<TErrorRec, 6> IoErrorTable;
// Entry n - 1 describes runtime fault n.
extern const std::array<TExceptMapRec, FaultCount> FaultTable;
extern const std::array<TPlatformCodeRec, 13> PlatformCodeTable;

// The table's message for an input/output result code, or nullptr when the code has none.
const char* IoErrorTableMessage(int32_t code);

// Entry of runtime fault 1 to 24; any other number gets the external-exception entry.
const TExceptMapRec& FaultEntry(int32_t fault);

// The runtime fault for a platform exception code; 22 (external exception) for every code
// that the table does not name.
int32_t FaultOfPlatformCode(uint32_t code);
