#include "cli/output_text.h"

#include "core/utf8_text.h"

#include <algorithm>
#include <cstdint>

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

// The length of the control character at `at`, 0 when there is none: a C0 control or DEL
// byte, or the UTF-8 form of a C1 control (U+0080 to U+009F, the line end U+0085 among them),
// of the line separator U+2028 or of the paragraph separator U+2029. `code` gets its number.
size_t ControlCharacterLength(std::string_view text, size_t at, uint32_t& code) {
    const auto byte = [&](size_t i) {
        return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0u;
    };
    if (byte(0) < 0x20 || byte(0) == 0x7F) {
        code = byte(0);
        return 1;
    }
    if (byte(0) == 0xC2 && byte(1) >= 0x80 && byte(1) <= 0x9F) {
        code = byte(1);
        return 2;
    }
    if (byte(0) == 0xE2 && byte(1) == 0x80 && (byte(2) == 0xA8 || byte(2) == 0xA9)) {
        code = 0x2000 + (byte(2) - 0x80);
        return 3;
    }
    return 0;
}

void AppendJsonEscape(std::string& out, uint32_t code) {
    switch (code) {
    case '"':
        out += "\\\"";
        return;
    case '\\':
        out += "\\\\";
        return;
    case '\n':
        out += "\\n";
        return;
    case '\r':
        out += "\\r";
        return;
    case '\t':
        out += "\\t";
        return;
    default:
        out += "\\u";
        for (int shift = 12; shift >= 0; shift -= 4)
            out += kHexDigits[(code >> shift) & 0xF];
    }
}

} // namespace

std::string MaskControlBytes(std::string_view text) {
    std::string masked;
    masked.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        uint32_t code = 0;
        size_t length = ControlCharacterLength(text, at, code);
        masked += length != 0 ? '?' : text[at];
        at += std::max<size_t>(length, 1);
    }
    return masked;
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        uint32_t code = byte;
        size_t control = ControlCharacterLength(text, at, code);
        if (control != 0 || byte == '"' || byte == '\\') {
            AppendJsonEscape(out, code);
            at += std::max<size_t>(control, 1);
            continue;
        }
        size_t bad = 0;
        size_t length = Utf8CharacterLength(text, at, &bad);
        if (length == 0) {
            out += "\xEF\xBF\xBD"; // U+FFFD
            at += bad;
        } else {
            out.append(text.substr(at, length));
            at += length;
        }
    }
    return out + "\"";
}

std::string PercentEncoded(std::string_view text) {
    std::string out;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                          (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' ||
                          byte == '_' || byte == '~';
        if (unreserved) {
            out += c;
        } else {
            out += '%';
            out += kHexDigits[byte >> 4];
            out += kHexDigits[byte & 0xF];
        }
    }
    return out;
}
