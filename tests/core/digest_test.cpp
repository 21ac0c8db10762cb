// SHA-1 and SHA-256 through every path this processor offers, the padding's 64-bit bit count,
// and the choice of the paths against what the processor reports.
#include "core/cpu_features.h"
#include "core/digest_text.h"
#include "core/sha1.h"
#include "core/sha256.h"

#include <gtest/gtest.h>

#include <cstdint>

#include <algorithm>
#include <fstream>
#include <map>
#include <random>
#include <vector>

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
    const std::map<DigestPath, std::vector<std::string>> needs = {
        {DigestPath::Portable, {}},
        {DigestPath::Ssse3, {"ssse3"}},
        {DigestPath::Avx2, {"ssse3", "avx", "avx2", "bmi1", "bmi2"}},
        {DigestPath::ShaExtensions, {"ssse3", "sse4_1", "sha_ni"}}};
    return std::ranges::all_of(needs.at(path), [&](const std::string& flag) {
        return flags.find(" " + flag + " ") != std::string::npos;
    });
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

// The standard's SHA-1 examples through the chosen path at the padding's boundaries: 56 bytes
// leave no room for the length in the last block, 64 are followed by a block of padding. The
// padding is SHA-256's too; SHA-256 itself is compared with libtorrent's v2 info-hashes in
// tests/cli/check_cli.py, and every path with the portable code below.
TEST(Digest, StandardVectorsThroughTheChosenPath) {
    const std::pair<std::string, const char*> vectors[] = {
        {"", "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "84983E441C3BD26EBAAE4AA1F95129E5E54670F1"},
        {std::string(64, 'a'), "0098BA824B5C16427BD7A1122A5A442A25EC644D"},
    };
    for (const auto& [message, sha1] : vectors)
        EXPECT_EQ(Sha1HexDigest(message), sha1) << message.size();
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
        EXPECT_EQ(bits, size * 8) << size;
    }
}

} // namespace
