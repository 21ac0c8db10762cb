#include "core/text_file.h"

#include "core/regular_file.h"
#include "core/text_file_platform.h"
#include "core/text_ops.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace {

// A file name that holds a NUL byte cannot name any file: the platform would see only the part
// before the NUL and open a different file.
bool IsUsableFileName(std::string_view name) {
    return !name.empty() && name.find('\0') == std::string_view::npos;
}

// Unique per call, so two writers of the same target never share a temporary file.
std::string TemporaryNameBeside(std::string_view target) {
    static std::atomic<uint32_t> counter{0};
    return std::string(target) + "." + IntToHexText(CurrentProcessId(), 1) + "-" +
           IntToHexText(counter.fetch_add(1), 1) + ".tmp";
}

} // namespace

std::string LoadFileText(std::string_view fileName) {
    RegularFileReader reader;
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::string content;
        std::string failure = reader.Read(fileName);
        if (failure.empty())
            content.assign(reader.Content());
        if (failure.empty())
            failure = reader.Finish();
        if (failure.empty())
            return content;
        if (failure != kChangedWhileRead)
            break;
    }
    return {};
}

bool SaveTextToFile(std::string_view fileName, std::string_view text) {
    if (!IsUsableFileName(fileName))
        return false;
    std::string target(fileName);
    std::string temporary = TemporaryNameBeside(target);
    if (!WriteNewFile(temporary, text)) {
        RemoveFile(temporary);
        return false;
    }
    if (!MoveOverFile(temporary, target)) {
        RemoveFile(temporary);
        return false;
    }
    return true;
}
