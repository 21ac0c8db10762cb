#include "core/save_file.h"

#include "core/save_file_platform.h"

#include <optional>
#include <string>

namespace {

// Names beside one target that a save tries, left by interrupted saves or taken by another
// program saving the same target at the same moment.
constexpr int kNamesBeside = 100;

// A file name that holds a NUL byte cannot name any file: the platform would see only the part
// before the NUL and open a different file.
bool IsUsableFileName(std::string_view name) {
    return !name.empty() && name.find('\0') == std::string_view::npos;
}

// Creates a new file beside the target with `create`, under the first of NAME + suffix,
// NAME + suffix + "-2", ... that is free; the name used, or nothing when none could be made.
template <typename Create>
std::optional<std::string> CreateBeside(const std::string& target, std::string_view suffix,
                                        const Create& create) {
    for (int attempt = 1; attempt <= kNamesBeside; ++attempt) {
        std::string name = target + std::string(suffix);
        if (attempt > 1)
            name += "-" + std::to_string(attempt);
        switch (create(name)) {
        case NewFile::Written:
            return name;
        case NewFile::NameTaken:
            continue;
        case NewFile::Failed:
            return std::nullopt;
        }
    }
    return std::nullopt;
}

bool ReplaceInOneStep(const std::string& target, std::string_view text) {
    std::optional<std::string> temporary =
        CreateBeside(target, kSaveTemporarySuffix,
                     [&](const std::string& name) { return WriteNewFile(name, text, target); });
    if (!temporary)
        return false;
    if (MoveOver(*temporary, target))
        return true;
    RemoveFile(*temporary);
    return false;
}

// Until the new content is flushed, the old one stays whole beside the target; should the
// rewrite fail, it is put back, and should that fail too, its copy stays.
bool RewriteKeepingTheOldContentAside(const std::string& target, std::string_view text) {
    std::optional<std::string> aside =
        CreateBeside(target, kSaveOldContentSuffix,
                     [&](const std::string& name) { return CopyToNewFile(target, name); });
    if (!aside)
        return false;
    const bool rewritten = RewriteFile(target, text);
    if (rewritten || RewriteFileFrom(target, *aside))
        RemoveFile(*aside);
    return rewritten;
}

} // namespace

bool SaveTextToFile(std::string_view fileName, std::string_view text) {
    if (!IsUsableFileName(fileName))
        return false;
    std::string target(fileName);
    switch (InspectSaveTarget(target)) {
    case SaveTarget::Missing:
    case SaveTarget::SingleLink:
        return ReplaceInOneStep(target, text);
    case SaveTarget::HardLinked:
        return RewriteKeepingTheOldContentAside(target, text);
    case SaveTarget::Refused:
        return false;
    }
    return false;
}
