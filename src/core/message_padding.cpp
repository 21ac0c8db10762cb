#include "core/message_padding.h"

#include <cstring>

PaddedTail PadMessageTail(std::string_view message) {
    PaddedTail tail{};
    size_t remainder = message.size() % kMessageBlockBytes;
    if (remainder != 0)
        std::memcpy(tail.bytes, message.data() + WholeBlockBytes(message), remainder);
    tail.bytes[remainder] = 0x80;
    // Eight bytes of length must follow the 0x80 byte in the same block.
    tail.size =
        remainder + 1 + 8 <= kMessageBlockBytes ? kMessageBlockBytes : 2 * kMessageBlockBytes;
    // The length in bits counts in 64 bits: every message this program can hold fits.
    uint64_t bitCount = static_cast<uint64_t>(message.size()) * 8u;
    for (size_t i = 0; i < 8; ++i)
        tail.bytes[tail.size - 1 - i] = static_cast<uint8_t>(bitCount >> (8 * i));
    return tail;
}
