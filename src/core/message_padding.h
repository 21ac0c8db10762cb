#pragma once
// Message padding shared by SHA-1 and SHA-256 (FIPS 180-4, section 5.1.1): both append the bit
// "1", then zeros, then the message length in bits as a 64-bit big-endian number, so that the
// padded message is a whole number of 512-bit (64-byte) blocks.
#include <cstddef>
#include <cstdint>
#include <string_view>

constexpr size_t kMessageBlockBytes = 64;

// The padded end of a message: the bytes after its last whole block, followed by the padding.
// One block when at least 9 bytes are left in it, two otherwise. Only this tail is ever copied;
// the whole blocks are digested where they lie.
struct PaddedTail {
    uint8_t bytes[2 * kMessageBlockBytes];
    size_t size;
};

PaddedTail PadMessageTail(std::string_view message);

// The number of leading message bytes that form whole blocks.
inline size_t WholeBlockBytes(std::string_view message) {
    return message.size() - message.size() % kMessageBlockBytes;
}

// Runs the compression function over every block of the padded message: the whole blocks where
// they lie in the message, in one call, then the padded tail.
template <typename State>
void ProcessPaddedMessage(State& state, std::string_view message,
                          void (*processBlocks)(State&, const uint8_t*, size_t),
                          PaddedTail (*padMessage)(std::string_view)) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(message.data());
    size_t whole = WholeBlockBytes(message);
    if (whole > 0)
        processBlocks(state, bytes, whole / kMessageBlockBytes);
    PaddedTail tail = padMessage(message);
    processBlocks(state, tail.bytes, tail.size / kMessageBlockBytes);
}
