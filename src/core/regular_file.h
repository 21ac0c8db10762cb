#pragma once
// Reading whole files for the console front end: only regular files are read, and a file that
// cannot be read comes back with the reason.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

class RegularFileReader {
  public:
    RegularFileReader() = default;
    ~RegularFileReader();
    RegularFileReader(const RegularFileReader&) = delete;
    RegularFileReader& operator=(const RegularFileReader&) = delete;

    // Reads the file whole. Returns the empty text when it was read, and then Content() holds
    // its bytes; otherwise the reason it could not be read, in the system's words, or
    // kNotARegularFile for a folder, pipe, device or socket: those are never read, since a pipe
    // without a writer blocks forever and a device may never end. A file whose first byte is
    // not `first` or whose last byte is not `last` counts as read with empty content; one of
    // more than 64 KiB then costs only the reads of those two bytes.
    std::string Read(std::string_view name, char first, char last);

    // The bytes of the last file read; valid until the next Read.
    std::string_view Content() const { return content_; }

    // To be called when done with Content(): the empty text, or the reason the content cannot be
    // trusted. Where large files are mapped into memory rather than copied (POSIX systems), a
    // file that shrinks while it is in use reads as zeros past its new end, and this says so.
    std::string Finish();

  private:
    // Maps the whole open file for Content() (POSIX systems); false when it cannot be mapped.
    bool Map(int descriptor, size_t size);
    void Unmap();
    // Room for `size` bytes, or nullptr when the process cannot hold them. The storage is kept
    // from file to file unless it grew large.
    char* Room(size_t size);

    std::unique_ptr<char[]> storage_;
    size_t capacity_ = 0;
    std::string_view content_;
    void* mapping_ = nullptr; // the platform's view of the last file, if it was mapped
    size_t mappedBytes_ = 0;
    std::string input_; // standard input, read under the name CON on Windows
};

extern const char kNotARegularFile[];

// The reason the last system call of this thread failed, in the system's words.
std::string LastSystemErrorText();
