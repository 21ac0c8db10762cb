#pragma once
// Message texts with arguments, built by the platform's formatter wvsprintfA. Its notations:
// %s text, %d signed decimal, %x lower-case hexadecimal without leading zeros, %p an address
// in upper-case hexadecimal with all its digits (8 in the 32-bit program, 16 in a 64-bit one).
// The output is cut at the formatter's limit of 1024 bytes, its terminating NUL included.
#include <cstdint>
#include <initializer_list>
#include <string>

// One argument as the formatter takes it: a single machine word. A text is passed as the address
// of its characters and must outlive the FormatText call.
class FormatArgument {
  public:
    FormatArgument(const char* text) : Word(reinterpret_cast<uintptr_t>(text)) {}
    FormatArgument(const std::string& text) : Word(reinterpret_cast<uintptr_t>(text.c_str())) {}
    FormatArgument(int32_t number) : Word(static_cast<uintptr_t>(static_cast<intptr_t>(number))) {}
    FormatArgument(uint32_t number) : Word(number) {}
    FormatArgument(const void* address) : Word(reinterpret_cast<uintptr_t>(address)) {}

    uintptr_t Word;
};

std::string FormatText(const char* format, std::initializer_list<FormatArgument> arguments = {});
