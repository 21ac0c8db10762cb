#include "core/regular_file.h"

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
