#pragma once
// Telling well-formed UTF-8 from bytes that form no character.
#include <cstddef>
#include <string_view>

// The length in bytes of the UTF-8 character that starts at `at` in the text, or 0 when the
// bytes there form none (a lone trailing byte, a sequence cut short by the end of the text, an
// overlong form, a UTF-16 surrogate or a code point past U+10FFFF). Then `illFormed`, when
// given, gets the length of the maximal ill-formed part, which one U+FFFD replaces.
size_t Utf8CharacterLength(std::string_view text, size_t at, size_t* illFormed = nullptr);
