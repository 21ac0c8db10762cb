#pragma once
// The platform's side of whole-file writing (text_file_win32.cpp, text_file_posix.cpp).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Writes go in pieces of this size: the platform's calls take 32-bit counts.
constexpr size_t kChunkBytes = size_t{1} << 26;

// --- one definition per platform ---

// Creates the file, which must not exist yet, with exactly the text's bytes, flushed to disk.
bool WriteNewFile(const std::string& name, std::string_view text);

// Moves `from` over `to`, replacing it. Where the platform can, an existing `to` stays the same
// file and takes `from`'s content (Windows: attributes, permissions and hard links are kept).
bool MoveOverFile(const std::string& from, const std::string& to);

void RemoveFile(const std::string& name);

uint32_t CurrentProcessId();
