#pragma once
// The platform's side of whole-file reading (text_file_win32.cpp,
// text_file_posix.cpp), and the pieces of text_file.cpp that both sides share.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Reads go in pieces of this size: the platform's calls take 32-bit counts.
constexpr size_t kChunkBytes = size_t{1} << 26;

// Files up to this size are read in one call and their ends tested afterwards: two probing
// reads would cost more than they save.
constexpr uint64_t kProbeLimit = 64 * 1024;

// The first and last byte a file must have to be read whole.
struct FileEnds {
    int first;
    int last;
};

// Room for a whole file, or false when the process cannot hold it.
bool TryReserveBytes(std::string& buffer, uint64_t size);

// Reads up to `count` bytes into `data`; the count actually read, which is short only at the
// end of the stream, or -1 on a read error.
using ReadUpTo = std::function<int64_t(char* data, size_t count)>;

// The whole rest of a stream that may not be sizable, such as a pipe; empty on a read error.
std::string ReadToEnd(const ReadUpTo& read);

// --- one definition per platform ---

std::string ReadStandardInput();

// Reads the whole file into `content`, reusing its storage; empty on any failure. When `ends`
// is given, a file larger than kProbeLimit is read whole only if its first and last bytes are
// the ones asked for.
void ReadWholeFile(const std::string& name, const FileEnds* ends, std::string& content);
