// SHA-1 and SHA-256 against the standard's examples and reference digests of the padding
// boundaries, and one message past 2^28 bytes checked against coreutils.
#include "core/sha1.h"
#include "core/sha256.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

struct Vector {
    std::string message;
    const char* sha1;
    const char* sha256;
};

const Vector kVectors[] = {
    {"", "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709",
     "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855"},
    {"abc", "A9993E364706816ABA3E25717850C26C9CD0D89D",
     "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"},
    {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
     "84983E441C3BD26EBAAE4AA1F95129E5E54670F1",
     "248D6A61D20638B8E5C026930C3E6039A33CE45964FF2167F6ECEDD419DB06C1"},
    // Padding boundaries: 55 bytes leave room for the length in one block; 56 and 63 do not;
    // 64 is followed by a block of padding alone; 119 ends one byte short of two blocks' room.
    {std::string(55, 'a'), "C1C8BBDC22796E28C0E15163D20899B65621D65A",
     "9F4390F8D30C2DD92EC9F095B65E2B9AE9B0A925A5258E241C9F1E910F734318"},
    {std::string(56, 'a'), "C2DB330F6083854C99D4B5BFB6E8F29F201BE699",
     "B35439A4AC6F0948B6D6F9E3C6AF0F5F590CE20F1BDE7090EF7970686EC6738A"},
    {std::string(63, 'a'), "03F09F5B158A7A8CDAD920BDDC29B81C18A551F5",
     "7D3E74A05D7DB15BCE4AD9EC0658EA98E3F06EEECF16B4C6FFF2DA457DDC2F34"},
    {std::string(64, 'a'), "0098BA824B5C16427BD7A1122A5A442A25EC644D",
     "FFE054FE7AE0CB6DC65C3AF9B61D5209F439851DB43D0BA5997337DF154668EB"},
    {std::string(119, 'a'), "EE971065AAA017E0632A8CA6C77BB3BF8B1DFC56",
     "31EBA51C313A5C08226ADF18D4A359CFDFD8D2E816B13F4AF952F7EA6584DCFB"},
    {std::string(1000000, 'a'), "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F",
     "CDC76E5C9914FB9281A1C7E284D73E67F1809A48A497200E046D39CCC7112CD0"},
};

TEST(Digest, StandardVectors) {
    for (const Vector& v : kVectors) {
        SCOPED_TRACE(v.message.size());
        EXPECT_EQ(Sha1HexDigest(v.message), v.sha1);
        EXPECT_EQ(Sha256HexDigest(v.message), v.sha256);
    }
}

TEST(Digest, NulBytesAreHashedAndCallsAreIndependent) {
    std::string withNul("\0a\0\0a\0\0a\0\0a\0\0a\0", 15);
    std::string first = Sha1HexDigest(withNul);
    EXPECT_EQ(first, "4745F21861BF246611C9E184D3DCBC55421648AC");
    EXPECT_EQ(Sha1HexDigest("abc"), "A9993E364706816ABA3E25717850C26C9CD0D89D");
    EXPECT_EQ(Sha1HexDigest(withNul), first);
}

TEST(Digest, PaddedTailHoldsTheBitCountBigEndian) {
    PaddedTail tail = Sha1PadMessage(std::string(70, 'x'));
    ASSERT_EQ(tail.size, 64u);
    EXPECT_EQ(tail.bytes[5], 'x');
    EXPECT_EQ(tail.bytes[6], 0x80);
    EXPECT_EQ(tail.bytes[62], 0x02); // 560 bits = 0x0230
    EXPECT_EQ(tail.bytes[63], 0x30);
    EXPECT_EQ(Sha1PadMessage(std::string(120, 'x')).size, 128u);
}

#if !defined(_WIN32)
// A bit count kept in 32 signed bits goes wrong from 2^28 bytes on.
TEST(DigestSlow, MessagesPastTwoTo28BytesMatchCoreutils) {
    const size_t size = (size_t{1} << 28) + 77;
    std::string command = "head -c " + std::to_string(size) + " /dev/zero | tr '\\0' 'q' | sha1sum";
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
