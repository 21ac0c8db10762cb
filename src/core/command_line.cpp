#include "core/command_line.h"

namespace {

bool IsSeparator(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

// Skips separators, and any empty quoted pair standing where a token would begin.
size_t SkipToTokenStart(std::string_view line, size_t position) {
    for (;;) {
        while (position < line.size() && IsSeparator(line[position]))
            ++position;
        if (position + 1 < line.size() && line[position] == '"' && line[position + 1] == '"') {
            position += 2;
            continue;
        }
        return position;
    }
}

// The end of the token that starts at `position`: separators inside double quotes belong to it.
size_t TokenEnd(std::string_view line, size_t position) {
    bool quoted = false;
    for (; position < line.size(); ++position) {
        if (line[position] == '"')
            quoted = !quoted;
        else if (!quoted && IsSeparator(line[position]))
            break;
    }
    return position;
}

} // namespace

std::string CommandLineToken(std::string_view commandLine, int32_t index) {
    if (index < 0)
        return {};
    size_t position = 0;
    for (int32_t number = 0;; ++number) {
        size_t start = SkipToTokenStart(commandLine, position);
        if (start >= commandLine.size())
            return {};
        position = TokenEnd(commandLine, start);
        if (number < index)
            continue;
        std::string token(commandLine.substr(start, position - start));
        if (token.size() >= 2 && token.front() == '"' && token.back() == '"')
            token = token.substr(1, token.size() - 2);
        return token;
    }
}
