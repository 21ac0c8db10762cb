#include "err/format_text.h"

#include <windows.h>

#include <array>
#include <vector>

namespace {

// wvsprintfA never writes more than this, its terminating NUL included.
constexpr int FormatterLimit = 1024;

} // namespace

std::string FormatText(const char* format, std::initializer_list<FormatArgument> arguments) {
    // The argument list of the Windows calling conventions is an array of machine words, so
    // an array of the words stands in for a va_list built by the compiler.
    std::vector<uintptr_t> words;
    for (const FormatArgument& argument : arguments)
        words.push_back(argument.Word);
    words.push_back(0); // never an empty array
    std::array<char, FormatterLimit + 1> output{};
    int length = wvsprintfA(output.data(), format, reinterpret_cast<va_list>(words.data()));
    if (length < 0)
        return {};
    if (length > FormatterLimit)
        length = FormatterLimit;
    // A cut text ends in the formatter's NUL inside the limit; it is not part of the text.
    if (length == FormatterLimit && output[FormatterLimit - 1] == '\0')
        --length;
    return std::string(output.data(), static_cast<size_t>(length));
}
