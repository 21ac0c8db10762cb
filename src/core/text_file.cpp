#include "core/text_file.h"

#include "core/regular_file.h"

#include <string>

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
