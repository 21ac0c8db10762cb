#include "cli/output_text.h"

#include "core/utf8_text.h"

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

bool IsControlByte(unsigned char byte) {
    return byte < 0x20 || byte == 0x7F;
}

void AppendJsonEscape(std::string& out, unsigned char byte) {
    switch (byte) {
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
        out += "\\u00";
        out += kHexDigits[byte >> 4];
        out += kHexDigits[byte & 0xF];
    }
}

} // namespace

std::string MaskControlBytes(std::string_view text) {
    std::string masked(text);
    for (char& c : masked)
        if (IsControlByte(static_cast<unsigned char>(c)))
            c = '?';
    return masked;
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte < 0x20 || byte == '"' || byte == '\\') {
            AppendJsonEscape(out, byte);
            ++at;
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
