#include "core/text_ops.h"

#include <algorithm>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsPathSeparator(char c) {
    return c == ':' || c == '\\' || c == '/';
}
char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

int32_t TextToInt(std::string_view text) {
    size_t i = 0;
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        i = 1;
    }
    // Unsigned arithmetic: the value wraps at 32 bits without undefined behaviour.
    uint32_t value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i)
        value = value * 10u + static_cast<uint32_t>(text[i] - '0');
    if (negative)
        value = 0u - value;
    return static_cast<int32_t>(value);
}

std::string IntToHexText(uint32_t value, int32_t digits) {
    static constexpr char kHexDigits[] = "0123456789ABCDEF";
    int32_t minimum = digits % 16;
    std::string text;
    do {
        text.push_back(kHexDigits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    while (static_cast<int32_t>(text.size()) < minimum)
        text.push_back('0');
    std::reverse(text.begin(), text.end());
    return text;
}

std::string FileNameOf(std::string_view path) {
    auto last = std::find_if(path.rbegin(), path.rend(), IsPathSeparator);
    return std::string(last.base(), path.end());
}

std::string TailFrom(std::string_view text, int32_t position) {
    size_t start = position <= 1 ? 0 : static_cast<size_t>(position) - 1;
    if (start >= text.size())
        return {};
    return std::string(text.substr(start));
}

void DropTail(std::string& text, int32_t count) {
    if (count <= 0)
        return;
    size_t n = static_cast<size_t>(count);
    text.resize(n >= text.size() ? 0 : text.size() - n);
}

std::string LowerCaseAscii(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), LowerAscii);
    return lower;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerAscii(x) == LowerAscii(y);
           });
}

std::string EnsureTrailingBackslash(std::string_view text) {
    std::string result(text);
    if (result.empty() || result.back() != '\\')
        result.push_back('\\');
    return result;
}

std::string StripTrailingBackslash(std::string_view text) {
    std::string result(text);
    if (!result.empty() && result.back() == '\\')
        result.pop_back();
    // A drive root keeps its backslash: "C:" alone names the drive's current folder instead.
    if (!result.empty() && result.back() == ':')
        result.push_back('\\');
    return result;
}
