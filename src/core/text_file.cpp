#include "core/text_file.h"

#include "core/text_file_platform.h"
#include "core/text_ops.h"

#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>

namespace {

// A file name that holds a NUL byte cannot name any file: the platform would see only the part
// before the NUL and open a different file.
bool IsUsableFileName(std::string_view name) {
    return !name.empty() && name.find('\0') == std::string_view::npos;
}

} // namespace

// One file too large for memory must not end the program and lose the user's list.
bool TryReserveBytes(std::string& buffer, uint64_t size) {
    if (size > buffer.max_size())
        return false;
    try {
        buffer.resize(static_cast<size_t>(size));
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
}

std::string ReadToEnd(const ReadUpTo& read) {
    std::string content;
    size_t filled = 0;
    for (;;) {
        if (!TryReserveBytes(content, filled + kChunkBytes))
            return {};
        int64_t got = read(content.data() + filled, kChunkBytes);
        if (got < 0)
            return {};
        filled += static_cast<size_t>(got);
        if (static_cast<size_t>(got) < kChunkBytes)
            break;
    }
    content.resize(filled);
    return content;
}

std::string LoadFileText(std::string_view fileName) {
    if (SameTextAscii(fileName, "CON"))
        return ReadStandardInput();
    std::string content;
    if (IsUsableFileName(fileName))
        ReadWholeFile(std::string(fileName), nullptr, content);
    return content;
}

void LoadFileTextWithEnds(std::string_view fileName, char first, char last, std::string& content) {
    const FileEnds ends{static_cast<unsigned char>(first), static_cast<unsigned char>(last)};
    if (SameTextAscii(fileName, "CON"))
        content = ReadStandardInput();
    else if (IsUsableFileName(fileName))
        ReadWholeFile(std::string(fileName), &ends, content);
    else
        content.clear();
    // Small files, standard input and other streams are tested once they are read.
    if (!content.empty() && (content.front() != first || content.back() != last))
        content.clear();
}
