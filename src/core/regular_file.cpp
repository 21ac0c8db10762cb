#include "core/regular_file.h"

#include <cstdint>
#include <new>

const char kNotARegularFile[] = "not a regular file";
const char kFileTooLarge[] = "file too large: over 1 GiB, more than this 32-bit program can hold";
const char kChangedWhileRead[] = "changed while read";

char* RegularFileReader::Room(size_t size) {
    // A typical metainfo file is far below this; one huge file must not hold its memory after.
    constexpr size_t kKeptBytes = size_t{16} << 20;
    if (size > capacity_ || (capacity_ > kKeptBytes && size <= kKeptBytes)) {
        storage_.reset();
        capacity_ = 0;
        // Not value-initialised: the read fills it, and zeroing would cost a pass over memory.
        storage_.reset(new (std::nothrow) char[size == 0 ? 1 : size]);
        if (storage_)
            capacity_ = size;
    }
    return storage_.get();
}

std::string RegularFileReader::ReadOpenFile(uint64_t size, const FileEnds* ends) {
    if (size == 0)
        return {};
    if (size > kMaxFileBytes)
        return kFileTooLarge;
    if (ends != nullptr && size > kProbeLimit) {
        char head = 0;
        char tail = 0;
        std::string failure = ReadAt(&head, 1, 0);
        if (failure.empty())
            failure = ReadAt(&tail, 1, size - 1);
        if (!failure.empty())
            return failure;
        if (head != ends->first || tail != ends->last)
            return {};
    }
    if (size > SIZE_MAX)
        return OutOfMemoryText();
    content_ = Map(static_cast<size_t>(size));
    if (!content_.empty())
        return {};
    char* room = Room(static_cast<size_t>(size));
    if (room == nullptr)
        return OutOfMemoryText();
    if (std::string failure = ReadAt(room, static_cast<size_t>(size), 0); !failure.empty())
        return failure;
    content_ = std::string_view(room, static_cast<size_t>(size));
    if (ends != nullptr && (content_.front() != ends->first || content_.back() != ends->last))
        content_ = {};
    return {};
}
