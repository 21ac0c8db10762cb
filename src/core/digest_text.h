#pragma once
#include "core/text_ops.h"

#include <cstdint>
#include <string>

// A hash value as text: each word as 8 upper-case hexadecimal digits, in order. This is the
// digest's bytes in order, written as hexadecimal.
inline std::string DigestText(const uint32_t* words, int count) {
    std::string text;
    text.reserve(static_cast<size_t>(count) * 8);
    for (int i = 0; i < count; ++i)
        text += IntToHexText(words[i], 8);
    return text;
}
