#pragma once
// The one whole-file reader of both programs: only regular files are read, a file that cannot be
// read comes back with the reason, and content that may have changed while it was in use is
// never passed off as the file's.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// The first and last byte a file must have to be worth reading whole.
struct FileEnds {
    char first;
    char last;
};

// Files up to this size are read in one go and their ends tested afterwards: two probing reads
// would cost more than they save.
constexpr uint64_t kProbeLimit = 64 * 1024;

// The largest file read: what a 32-bit process can hold beside its own needs. Larger files are
// refused with kFileTooLarge rather than ending the program for want of memory.
constexpr uint64_t kMaxFileBytes = sizeof(void*) < 8 ? uint64_t{1} << 30 : uint64_t{1} << 62;

class RegularFileReader {
  public:
    RegularFileReader();
    ~RegularFileReader();
    RegularFileReader(const RegularFileReader&) = delete;
    RegularFileReader& operator=(const RegularFileReader&) = delete;

    // Reads the file whole. Returns the empty text when it was read, and then Content() holds
    // its bytes; otherwise the reason it could not be read: in the system's words, or
    // kNotARegularFile for a folder, pipe, device or socket (never opened for reading: a pipe
    // blocks or releases its writer, a device may never end), kFileTooLarge, or
    // kChangedWhileRead. With `ends`, a file whose first or last byte differs counts as read
    // with empty content; one of more than kProbeLimit bytes then costs only those two bytes.
    // On Windows the name CON (any letter case) reads standard input.
    std::string Read(std::string_view name, const FileEnds* ends = nullptr);

    // The bytes of the last file read; valid until the next Read.
    std::string_view Content() const { return content_; }

    // To be called when done with Content(): the empty text, or kChangedWhileRead when the file
    // may have changed since Read began (POSIX systems: its identity, size or change times
    // moved, or a mapped file shrank). Windows keeps writers out while the file is open.
    std::string Finish();

  private:
    // What each platform keeps of the file it reads (regular_file_posix.cpp,
    // regular_file_win32.cpp).
    struct PlatformState;

    // Reads the open file of `size` bytes whole, or with `ends` only as far as they decide.
    std::string ReadOpenFile(uint64_t size, const FileEnds* ends);

    // The platform's side of ReadOpenFile: exactly `count` bytes of the open file from `offset`
    // on, or the reason they could not be read; the whole file mapped into memory, or the
    // empty view where it is better read (or cannot be mapped); the system's words for a want
    // of memory.
    std::string ReadAt(char* data, size_t count, uint64_t offset);
    std::string_view Map(size_t size);
    static std::string OutOfMemoryText();

    // Room for `size` bytes, or nullptr when the process cannot hold them. The storage is kept
    // from file to file unless it grew large.
    char* Room(size_t size);

    std::unique_ptr<char[]> storage_;
    size_t capacity_ = 0;
    std::string_view content_;
    std::unique_ptr<PlatformState> platform_;
};

extern const char kNotARegularFile[];
extern const char kFileTooLarge[];
extern const char kChangedWhileRead[];
