// The SHA extensions path against the portable compression: random messages of every length
// up to 10,000 bytes at every alignment, and the standard's examples through each path alone.
#include "core/cpu_features.h"
#include "core/digest_text.h"
#include "core/sha1.h"
#include "core/sha256.h"
#include "core/sha_extensions.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <type_traits>

namespace {

template <typename State> using BlocksFunction = void (*)(State&, const uint8_t*, size_t);

template <typename State> void PortableBlocks(State& state, const uint8_t* blocks, size_t count) {
    for (; count > 0; --count, blocks += kMessageBlockBytes) {
        if constexpr (std::is_same_v<State, Sha1State>)
            Sha1ProcessBlock(state, blocks);
        else
            Sha256ProcessBlock(state, blocks);
    }
}

std::string Sha1With(BlocksFunction<Sha1State> blocks, std::string_view message) {
    Sha1State state;
    Sha1Init(state);
    ProcessPaddedMessage(state, message, blocks, Sha1PadMessage);
    return DigestText(state.H, 5);
}

std::string Sha256With(BlocksFunction<Sha256State> blocks, std::string_view message) {
    Sha256State state;
    Sha256Init(state);
    ProcessPaddedMessage(state, message, blocks, PadMessageTail);
    return DigestText(state.H, 8);
}

const BlocksFunction<Sha1State> kSha1Portable = PortableBlocks<Sha1State>;
const BlocksFunction<Sha256State> kSha256Portable = PortableBlocks<Sha256State>;

#define REQUIRE_SHA_EXTENSIONS()                                                                   \
    if (!UseShaExtensions())                                                                       \
    GTEST_SKIP() << "this processor has no SHA extensions, or VANTREL_SHA_EXTENSIONS=off"

TEST(ShaPaths, StandardExamplesThroughEachPath) {
    const std::string abc = "abc";
    const std::string twoBlocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    const std::string million(1000000, 'a');
    EXPECT_EQ(Sha1With(kSha1Portable, abc), "A9993E364706816ABA3E25717850C26C9CD0D89D");
    EXPECT_EQ(Sha1With(kSha1Portable, twoBlocks), "84983E441C3BD26EBAAE4AA1F95129E5E54670F1");
    EXPECT_EQ(Sha1With(kSha1Portable, million), "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F");
    EXPECT_EQ(Sha256With(kSha256Portable, abc),
              "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
    EXPECT_EQ(Sha256With(kSha256Portable, million),
              "CDC76E5C9914FB9281A1C7E284D73E67F1809A48A497200E046D39CCC7112CD0");
    REQUIRE_SHA_EXTENSIONS();
    const auto sha1 = Sha1ProcessBlocksWithShaExtensions;
    const auto sha256 = Sha256ProcessBlocksWithShaExtensions;
    EXPECT_EQ(Sha1With(sha1, ""), "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709");
    EXPECT_EQ(Sha1With(sha1, abc), "A9993E364706816ABA3E25717850C26C9CD0D89D");
    EXPECT_EQ(Sha1With(sha1, twoBlocks), "84983E441C3BD26EBAAE4AA1F95129E5E54670F1");
    EXPECT_EQ(Sha1With(sha1, million), "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F");
    EXPECT_EQ(Sha256With(sha256, ""),
              "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855");
    EXPECT_EQ(Sha256With(sha256, abc),
              "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
    EXPECT_EQ(Sha256With(sha256, twoBlocks),
              "248D6A61D20638B8E5C026930C3E6039A33CE45964FF2167F6ECEDD419DB06C1");
    EXPECT_EQ(Sha256With(sha256, million),
              "CDC76E5C9914FB9281A1C7E284D73E67F1809A48A497200E046D39CCC7112CD0");
}

TEST(ShaPaths, FastAndPortableAgreeOnRandomMessagesOfEveryLengthAndAlignment) {
    REQUIRE_SHA_EXTENSIONS();
    std::mt19937 random(20261206);
    std::string bytes(10000 + 16, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    int mismatches = 0;
    for (size_t length = 0; length <= 10000; ++length) {
        // Every alignment of the message in memory, since the blocks are read where they lie.
        std::string_view message = std::string_view(bytes).substr(length % 16, length);
        bool same1 = Sha1With(Sha1ProcessBlocksWithShaExtensions, message) ==
                     Sha1With(kSha1Portable, message);
        bool same256 = Sha256With(Sha256ProcessBlocksWithShaExtensions, message) ==
                       Sha256With(kSha256Portable, message);
        if (!same1 || !same256) {
            ADD_FAILURE() << "length " << length << (same1 ? "" : " SHA-1")
                          << (same256 ? "" : " SHA-256");
            if (++mismatches == 10)
                return;
        }
    }
}

TEST(ShaPaths, PublicDigestsMatchThePortablePath) {
    REQUIRE_SHA_EXTENSIONS();
    std::mt19937 random(7);
    std::string message(100000, '\0');
    for (char& c : message)
        c = static_cast<char>(random());
    EXPECT_EQ(Sha1HexDigest(message), Sha1With(kSha1Portable, message));
    EXPECT_EQ(Sha256HexDigest(message), Sha256With(kSha256Portable, message));
}

} // namespace
