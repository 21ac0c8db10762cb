// SHA-1 and SHA-256 through every path this processor offers, the padding's 64-bit bit count,
// and the choice of the paths against what the processor reports.
#include "core/cpu_features.h"
#include "core/digest_text.h"
#include "core/sha1.h"
#include "core/sha256.h"

#include <gtest/gtest.h>

#include <cstdint>

#include <fstream>
#include <map>
#include <random>
#include <sstream>

namespace {

template <typename State> using Blocks = void (*)(State&, const uint8_t*, size_t);

template <typename State>
std::string DigestWith(void (*init)(State&), Blocks<State> blocks, std::string_view message) {
    State state;
    init(state);
    ProcessPaddedMessage(state, message, blocks, PadMessageTail);
    return DigestText(state.H, static_cast<int>(std::size(state.H)));
}

// Whether the listed flags call for the path: every instruction set it uses is there.
bool PathDue(const std::string& flags, DigestPath path) {
    const std::map<DigestPath, std::string> needs = {
        {DigestPath::Portable, ""},
        {DigestPath::Ssse3, "ssse3"},
        {DigestPath::Avx2, "ssse3 avx avx2 bmi1 bmi2"},
        {DigestPath::ShaExtensions, "ssse3 sse4_1 sha_ni"}};
    std::istringstream needed(needs.at(path));
    for (std::string flag; needed >> flag;)
        if (flags.find(" " + flag + " ") == std::string::npos)
            return false;
    return true;
}

TEST(Digest, EveryPathTheProcessorHasIsOfferedAndTheFastestChosen) {
    // The flags the operating system lists for the processor (Wine shows the host's list as
    // Z:\proc\cpuinfo), read independently of the program's own check.
    std::string flags, line;
    for (const char* name : {"/proc/cpuinfo", "Z:\\proc\\cpuinfo"})
        for (std::ifstream cpuinfo(name); flags.empty() && std::getline(cpuinfo, line);)
            if (line.rfind("flags", 0) == 0)
                flags = line + " ";
    ASSERT_NE(flags, "") << "no list of processor flags to compare with";
    // VANTREL_SHA_PATH caps the choice, VANTREL_SHA_EXTENSIONS=off leaves the extensions out.
    const char* cap = std::getenv("VANTREL_SHA_PATH");
    const char* extensions = std::getenv("VANTREL_SHA_EXTENSIONS");
    const bool extensionsOff = extensions != nullptr && std::string(extensions) == "off";
    DigestPath fastest = DigestPath::Portable;
    bool capped = false;
    for (DigestPath path : kDigestPaths) {
        EXPECT_EQ(ProcessorOffers(path), PathDue(flags, path)) << DigestPathName(path);
        const bool allowed = !capped && !(path == DigestPath::ShaExtensions && extensionsOff);
        if (PathDue(flags, path) && allowed)
            fastest = path;
        capped = capped || (cap != nullptr && std::string(cap) == DigestPathName(path));
    }
    EXPECT_EQ(DigestPathName(ChosenDigestPath()), std::string(DigestPathName(fastest)));
}

// The standard's examples through the chosen path, and the padding boundaries: 56 bytes (the
// third) leave no room for the length in the last block, 64 are followed by a block of padding.
TEST(Digest, StandardVectorsThroughTheChosenPath) {
    const std::tuple<std::string, const char*, const char*> vectors[] = {
        {"", "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709",
         "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855"},
        {"abc", "A9993E364706816ABA3E25717850C26C9CD0D89D",
         "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "84983E441C3BD26EBAAE4AA1F95129E5E54670F1",
         "248D6A61D20638B8E5C026930C3E6039A33CE45964FF2167F6ECEDD419DB06C1"},
        {std::string(64, 'a'), "0098BA824B5C16427BD7A1122A5A442A25EC644D",
         "FFE054FE7AE0CB6DC65C3AF9B61D5209F439851DB43D0BA5997337DF154668EB"},
    };
    for (const auto& [message, sha1, sha256] : vectors) {
        EXPECT_EQ(Sha1HexDigest(message), sha1) << message.size();
        EXPECT_EQ(Sha256HexDigest(message), sha256) << message.size();
    }
}

// Every path the processor offers against the portable code on random messages of every length
// up to 47 blocks, read from every offset of a 16-byte line: odd and even numbers of blocks,
// unaligned loads.
TEST(Digest, EveryPathMatchesThePortableCodeOnRandomMessages) {
    std::mt19937 random(19);
    std::string bytes(3000 + 16, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    for (size_t size = 0; size <= 3000; ++size) {
        const std::string_view message(bytes.data() + size % 16, size);
        const auto digests = [&](DigestPath path) {
            return DigestWith(Sha1Init, Sha1BlocksThrough(path), message) + " " +
                   DigestWith(Sha256Init, Sha256BlocksThrough(path), message);
        };
        const std::string portable = digests(DigestPath::Portable);
        for (DigestPath path : kDigestPaths) // a path the processor lacks is not run
            ASSERT_EQ(ProcessorOffers(path) ? digests(path) : portable, portable)
                << DigestPathName(path) << ", " << size;
    }
}

// The length field is the length in bits, 64 bits big-endian, also past 2^32 bytes. A size of
// whole blocks reads none of the message, so no such message has to be held.
TEST(Padding, BitCountHoldsSixtyFourBits) {
    const char anything = 0;
    for (uint64_t size : {uint64_t{64}, uint64_t{1} << 29, uint64_t{1} << 32, uint64_t{1} << 58}) {
        if (size > SIZE_MAX)
            continue; // no such message in a 32-bit process
        PaddedTail tail = PadMessageTail(std::string_view(&anything, static_cast<size_t>(size)));
        uint64_t bits = 0;
        for (size_t i = 56; i < 64; ++i)
            bits = bits << 8 | tail.bytes[i];
        EXPECT_EQ(tail.size, 64u);
        EXPECT_EQ(bits, size * 8) << size;
    }
}

} // namespace
