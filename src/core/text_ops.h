#pragma once
// Small text and number conversions shared by every part of the program. Texts are 8-bit
// and may hold NUL bytes; positions are 1-based, as the rest of the program counts them.
#include <cstdint>
#include <string>
#include <string_view>

// Optional single '-' or '+', then decimal digits up to the first non-digit; 32-bit wrap-around.
int32_t TextToInt(std::string_view text);

// Upper-case hexadecimal, at least one digit and at least (digits mod 16) digits, '0'-padded.
std::string IntToHexText(uint32_t value, int32_t digits);

// The part after the last ':', '\' or '/'; the whole path when there is none.
std::string FileNameOf(std::string_view path);

// The layer's cuts at 1-based positions. The window splits its name lists by CR at once
// (CrSeparatedNames in main_form.cpp), so nothing in the programs calls TailFrom and DropTail.
// From the 1-based position to the end; positions below 1 count as 1.
std::string TailFrom(std::string_view text, int32_t position);

// Removes the last count characters in place; a count beyond the length empties the text.
void DropTail(std::string& text, int32_t count);

std::string LowerCaseAscii(std::string_view text);
bool SameTextAscii(std::string_view a, std::string_view b);

// "C:\Data" -> "C:\Data\"; a text already ending in '\' is returned unchanged; "" -> "\".
std::string EnsureTrailingBackslash(std::string_view text);

// Removes one trailing backslash; a drive root ("C:\" or "C:") comes back as "C:\".
std::string StripTrailingBackslash(std::string_view text);
