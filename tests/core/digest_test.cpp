// SHA-1 and SHA-256 through every path this processor takes, the padding's 64-bit bit count,
// and the choice of the SHA extensions against what the processor reports.
#include "core/cpu_features.h"
#include "core/digest_text.h"
#include "core/sha1.h"
#include "core/sha256.h"
#include "core/sha_extensions.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <type_traits>

namespace {

template <typename State> using Blocks = void (*)(State&, const uint8_t*, size_t);

template <typename State> void Portable(State& state, const uint8_t* blocks, size_t count) {
    for (; count > 0; --count, blocks += kMessageBlockBytes) {
        if constexpr (std::is_same_v<State, Sha1State>)
            Sha1ProcessBlock(state, blocks);
        else
            Sha256ProcessBlock(state, blocks);
    }
}

std::string Sha1With(Blocks<Sha1State> blocks, std::string_view message) {
    Sha1State state;
    Sha1Init(state);
    ProcessPaddedMessage(state, message, blocks, Sha1PadMessage);
    return DigestText(state.H, 5);
}

std::string Sha256With(Blocks<Sha256State> blocks, std::string_view message) {
    Sha256State state;
    Sha256Init(state);
    ProcessPaddedMessage(state, message, blocks, PadMessageTail);
    return DigestText(state.H, 8);
}

// The standard's examples and the padding boundaries: 55 bytes leave room for the length in
// one block, 56 and 63 do not, 64 is followed by a block of padding alone.
const struct {
    std::string message;
    const char* sha1;
    const char* sha256;
} kVectors[] = {
    {"", "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709",
     "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855"},
    {"abc", "A9993E364706816ABA3E25717850C26C9CD0D89D",
     "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"},
    {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
     "84983E441C3BD26EBAAE4AA1F95129E5E54670F1",
     "248D6A61D20638B8E5C026930C3E6039A33CE45964FF2167F6ECEDD419DB06C1"},
    {std::string(55, 'a'), "C1C8BBDC22796E28C0E15163D20899B65621D65A",
     "9F4390F8D30C2DD92EC9F095B65E2B9AE9B0A925A5258E241C9F1E910F734318"},
    {std::string(56, 'a'), "C2DB330F6083854C99D4B5BFB6E8F29F201BE699",
     "B35439A4AC6F0948B6D6F9E3C6AF0F5F590CE20F1BDE7090EF7970686EC6738A"},
    {std::string(63, 'a'), "03F09F5B158A7A8CDAD920BDDC29B81C18A551F5",
     "7D3E74A05D7DB15BCE4AD9EC0658EA98E3F06EEECF16B4C6FFF2DA457DDC2F34"},
    {std::string(64, 'a'), "0098BA824B5C16427BD7A1122A5A442A25EC644D",
     "FFE054FE7AE0CB6DC65C3AF9B61D5209F439851DB43D0BA5997337DF154668EB"},
    {std::string(1000000, 'a'), "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F",
     "CDC76E5C9914FB9281A1C7E284D73E67F1809A48A497200E046D39CCC7112CD0"},
};

// The processor's flags as the operating system lists them (Wine shows the host's file as
// Z:\proc\cpuinfo), read independently of the program's own check; empty where there is none.
std::optional<bool> ProcessorListsShaExtensions() {
    for (const char* name : {"/proc/cpuinfo", "Z:\\proc\\cpuinfo"}) {
        std::ifstream cpuinfo(name);
        for (std::string line; std::getline(cpuinfo, line);) {
            if (line.rfind("flags", 0) != 0)
                continue;
            std::istringstream words(line + " ");
            bool sha = false, ssse3 = false, sse41 = false;
            for (std::string word; words >> word;) {
                sha = sha || word == "sha_ni";
                ssse3 = ssse3 || word == "ssse3";
                sse41 = sse41 || word == "sse4_1";
            }
            return sha && ssse3 && sse41;
        }
    }
    return std::nullopt;
}

// True when the processor lists the extensions and VANTREL_SHA_EXTENSIONS does not switch them off.
bool ShaExtensionsDue() {
    const char* setting = std::getenv("VANTREL_SHA_EXTENSIONS");
    const bool switchedOff = setting != nullptr && std::string(setting) == "off";
    return ProcessorListsShaExtensions().value_or(false) && !switchedOff;
}

TEST(Digest, StandardVectorsThroughEveryPath) {
    for (const auto& v : kVectors) {
        SCOPED_TRACE(v.message.size());
        EXPECT_EQ(Sha1HexDigest(v.message), v.sha1);
        EXPECT_EQ(Sha256HexDigest(v.message), v.sha256);
        EXPECT_EQ(Sha1With(Portable<Sha1State>, v.message), v.sha1);
        EXPECT_EQ(Sha256With(Portable<Sha256State>, v.message), v.sha256);
        if (UseShaExtensions()) {
            EXPECT_EQ(Sha1With(Sha1ProcessBlocksWithShaExtensions, v.message), v.sha1);
            EXPECT_EQ(Sha256With(Sha256ProcessBlocksWithShaExtensions, v.message), v.sha256);
        }
    }
}

// The fast paths read the blocks where they lie: every length over two blocks at every alignment.
TEST(Digest, FastAndPortablePathsAgreeAtEveryLengthAndAlignment) {
    if (!UseShaExtensions()) {
        ASSERT_FALSE(ShaExtensionsDue()) << "the processor has the SHA extensions: not used";
        return;
    }
    std::mt19937 random(20261206);
    std::string bytes(200 + 16, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    for (size_t length = 0; length <= 200; ++length) {
        std::string_view message = std::string_view(bytes).substr(length % 16, length);
        ASSERT_EQ(Sha1With(Sha1ProcessBlocksWithShaExtensions, message),
                  Sha1With(Portable<Sha1State>, message))
            << length;
        ASSERT_EQ(Sha256With(Sha256ProcessBlocksWithShaExtensions, message),
                  Sha256With(Portable<Sha256State>, message))
            << length;
    }
}

// The length field is the message's length in bits, 64 bits big-endian, also past 2^32 bytes.
// A size of whole blocks reads none of the message, so no such message has to be held.
TEST(Padding, BitCountHoldsSixtyFourBits) {
    const char anything = 0;
    for (uint64_t size : {uint64_t{64}, uint64_t{1} << 29, uint64_t{1} << 32, uint64_t{1} << 58}) {
        if (size > SIZE_MAX)
            continue;
        PaddedTail tail = PadMessageTail(std::string_view(&anything, static_cast<size_t>(size)));
        ASSERT_EQ(tail.size, 64u);
        EXPECT_EQ(tail.bytes[0], 0x80);
        uint64_t bits = 0;
        for (size_t i = 56; i < 64; ++i)
            bits = bits << 8 | tail.bytes[i];
        EXPECT_EQ(bits, size * 8) << size;
    }
}

TEST(ShaExtensions, UsedExactlyWhenTheProcessorHasThem) {
    if (!ProcessorListsShaExtensions())
        GTEST_SKIP() << "no list of processor flags to compare with";
    EXPECT_EQ(UseShaExtensions(), ShaExtensionsDue());
}

#if !defined(_WIN32)
TEST(DigestSlow, MessagesPastTwoTo28BytesMatchCoreutils) {
    const size_t size = (size_t{1} << 28) + 77;
    std::string command = "head -c " + std::to_string(size) + " /dev/zero | tr '\\0' q | sha1sum";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char out[41] = {};
    ASSERT_EQ(std::fread(out, 1, 40, pipe), 40u);
    pclose(pipe);
    std::string expected(out);
    for (char& c : expected)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(Sha1HexDigest(std::string(size, 'q')), expected);
}
#endif

} // namespace
