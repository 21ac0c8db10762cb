// The fixed tables: every text as the user reads it, every kind number, and the mapping of
// platform exception codes.
#include "err/fault_tables.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

int KindOf(int32_t fault) {
    return static_cast<int>(FaultEntry(fault).Kind);
}

TEST(FaultTable, EveryFaultHasItsKindAndText) {
    struct Expected {
        int32_t Fault;
        int Kind;
        const char* Message;
    };
    const Expected expected[] = {
        {1, 2, "Out of memory"},
        {2, 15, "Invalid pointer operation"},
        {3, 6, "Division by zero"},
        {4, 7, "Range check error"},
        {5, 8, "Integer overflow"},
        {6, 11, "Invalid floating point operation"},
        {7, 12, "Division by zero"},
        {8, 13, "Floating point overflow"},
        {9, 14, "Floating point underflow"},
        {10, 16, "Invalid class typecast"},
        {11, 18, "Access violation at address %p. %s of address %p"},
        {12, 19, "Privileged instruction"},
        {13, 21, "^C"},
        {14, 20, "Stack overflow"},
        {15, 22, "EVariant"},
        {16, 22, "EVariant"},
        {17, 22, "EVariant"},
        {18, 22, "EVariant"},
        {19, 22, "EVariant"},
        {20, 22, "EVariant"},
        {21, 25, "Assertion failed"},
        {22, 4, "External exception %x"},
        {23, 27, "Interface not supported"},
        {24, 32, "Exception in safecall method"},
    };
    ASSERT_EQ(std::size(expected), FaultTable.size());
    for (const Expected& entry : expected) {
        SCOPED_TRACE(entry.Fault);
        EXPECT_EQ(KindOf(entry.Fault), entry.Kind);
        EXPECT_STREQ(FaultEntry(entry.Fault).Message, entry.Message);
    }
}

TEST(FaultTable, NumbersOutsideTheTableGetTheExternalExceptionEntry) {
    EXPECT_EQ(KindOf(0), 4);
    EXPECT_EQ(KindOf(25), 4);
    EXPECT_STREQ(FaultEntry(-3).Message, "External exception %x");
}

TEST(IoErrorTable, NamesSixCodes) {
    EXPECT_STREQ(IoErrorTableMessage(2), "File not found");
    EXPECT_STREQ(IoErrorTableMessage(3), "Invalid filename");
    EXPECT_STREQ(IoErrorTableMessage(4), "Too many open files");
    EXPECT_STREQ(IoErrorTableMessage(5), "File access denied");
    EXPECT_STREQ(IoErrorTableMessage(100), "End of file");
    EXPECT_STREQ(IoErrorTableMessage(101), "Disk full");
    for (int32_t unnamed : {0, 1, 6, 32, 99, 102, -2})
        EXPECT_EQ(IoErrorTableMessage(unnamed), nullptr) << unnamed;
}

TEST(PlatformCodeTable, MapsTheProcessorFaults) {
    EXPECT_EQ(FaultOfPlatformCode(0xC0000094), 3);  // integer division by zero
    EXPECT_EQ(FaultOfPlatformCode(0xC000008C), 4);  // array bounds exceeded
    EXPECT_EQ(FaultOfPlatformCode(0xC0000095), 5);  // integer overflow
    EXPECT_EQ(FaultOfPlatformCode(0xC000008F), 6);  // inexact result
    EXPECT_EQ(FaultOfPlatformCode(0xC0000090), 6);  // invalid operation
    EXPECT_EQ(FaultOfPlatformCode(0xC0000092), 6);  // floating-point stack check
    EXPECT_EQ(FaultOfPlatformCode(0xC000008E), 7);  // floating-point division by zero
    EXPECT_EQ(FaultOfPlatformCode(0xC0000091), 8);  // floating-point overflow
    EXPECT_EQ(FaultOfPlatformCode(0xC000008D), 9);  // denormal operand
    EXPECT_EQ(FaultOfPlatformCode(0xC0000093), 9);  // floating-point underflow
    EXPECT_EQ(FaultOfPlatformCode(0xC0000005), 11); // access violation
    EXPECT_EQ(FaultOfPlatformCode(0xC0000096), 12); // privileged instruction
    EXPECT_EQ(FaultOfPlatformCode(0xC00000FD), 14); // stack overflow
}

TEST(PlatformCodeTable, EveryOtherCodeIsAnExternalException) {
    // Unmapped codes inside the range, its edges, and codes whose low byte is a mapped distance
    // but which lie outside the range.
    for (uint32_t code :
         {0xC0000000u, 0xC0000001u, 0xC000008Bu, 0xC0000097u, 0xC00000FCu, 0xC00000FEu, 0xC0000194u,
          0xC0000105u, 0xBFFFFFFFu, 0x80000003u, 0x00000005u, 0xE06D7363u, 0xFFFFFFFFu})
        EXPECT_EQ(FaultOfPlatformCode(code), 22) << std::hex << code;
}

} // namespace
