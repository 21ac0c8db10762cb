#include "core/utf8_text.h"

size_t Utf8CharacterLength(std::string_view text, size_t at, size_t* illFormed) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80)
        return 1;
    size_t trailing = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF)
        trailing = 1;
    else if (lead >= 0xE0 && lead <= 0xEF)
        trailing = 2;
    else if (lead >= 0xF0 && lead <= 0xF4)
        trailing = 3;
    // Overlong forms, UTF-16 surrogates and code points past U+10FFFF narrow the second byte.
    if (lead == 0xE0)
        low = 0xA0;
    else if (lead == 0xED)
        high = 0x9F;
    else if (lead == 0xF0)
        low = 0x90;
    else if (lead == 0xF4)
        high = 0x8F;
    size_t taken = 1;
    while (trailing != 0 && taken <= trailing && at + taken < text.size()) {
        const auto next = static_cast<unsigned char>(text[at + taken]);
        if (next < low || next > high)
            break;
        low = 0x80;
        high = 0xBF;
        ++taken;
    }
    if (trailing != 0 && taken == trailing + 1)
        return taken;
    if (illFormed != nullptr)
        *illFormed = taken;
    return 0;
}
