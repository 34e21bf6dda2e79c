#include "net/download/cud_cipher.h"

#include "base/buffer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr char kKey[] = "7C1E93B04FD2A865E0B7194C3A5DF826";
constexpr char kOtherKey[] = "00000000000000000000000000000001";

std::vector<uint8_t> bytesOf(const CBuffer& buffer) {
    return {buffer.GetData(), buffer.GetData() + buffer.GetLength()};
}

std::vector<uint8_t> encrypt(const std::string& plain, const char* key = kKey) {
    CBuffer out;
    EXPECT_TRUE(EncryptCud(key, reinterpret_cast<const uint8_t*>(plain.data()),
                           static_cast<unsigned>(plain.size()), out));
    return bytesOf(out);
}

TEST(CudCipherKey, AcceptsOnlyExactly32HexDigits) {
    struct Case {
        const char* text;
        bool ok;
    };
    const Case cases[] = {
        {"000102030405060708090a0b0c0d0e0f", true},
        {"000102030405060708090A0B0C0D0E0F", true},
        {"000102030405060708090a0b0c0d0e0", false},   // 31 digits: a lone last digit
        {"000102030405060708090a0b0c0d0e", false},    // 30 digits: too short
        {"000102030405060708090a0b0c0d0e0f0", false}, // 33 digits
        {"000102030405060708090a0b0c0d0e0g", false},
        {"0x0102030405060708090a0b0c0d0e0f", false},
        {" 00102030405060708090a0b0c0d0e0f", false},
        {"+00102030405060708090a0b0c0d0e0f", false},
        {"", false},
    };
    for (const Case& c : cases) {
        CudKey key{};
        EXPECT_EQ(ParseCudKey(c.text, key), c.ok) << c.text;
    }
    CudKey key{};
    ASSERT_TRUE(ParseCudKey("000102030405060708090a0b0c0d0eFf", key));
    EXPECT_EQ(key[0], 0x00);
    EXPECT_EQ(key[10], 0x0a);
    EXPECT_EQ(key[15], 0xff);
}

// FIPS-197 appendix C.1: proves AES-128, ECB (no IV mixed in) and the key
// byte order; PKCS#7 then adds one full padding block.
TEST(CudCipher, MatchesTheAes128KnownAnswer) {
    const uint8_t plain[16] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                               0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff};
    const std::vector<uint8_t> expected = {0x69, 0xc4, 0xe0, 0xd8, 0x6a, 0x7b, 0x04, 0x30,
                                           0xd8, 0xcd, 0xb7, 0x80, 0x70, 0xb4, 0xc5, 0x5a};
    CBuffer out;
    ASSERT_TRUE(EncryptCud("000102030405060708090a0b0c0d0e0f", plain, 16, out));
    const std::vector<uint8_t> cipher = bytesOf(out);
    ASSERT_EQ(cipher.size(), 32u);
    EXPECT_EQ(std::vector<uint8_t>(cipher.begin(), cipher.begin() + 16), expected);
}

TEST(CudCipher, RoundTripsEveryLengthAroundTheBlockSize) {
    for (size_t length : {0u, 1u, 15u, 16u, 17u, 31u, 32u, 1000u}) {
        std::string plain(length, '\0');
        for (size_t i = 0; i < length; ++i)
            plain[i] = static_cast<char>('a' + i % 26);
        const std::vector<uint8_t> cipher = encrypt(plain);
        EXPECT_EQ(cipher.size(), (length / 16 + 1) * 16) << length;
        CBuffer back;
        ASSERT_TRUE(DecryptCud(kKey, cipher.data(), static_cast<unsigned>(cipher.size()), back))
            << length;
        std::string text;
        back.ToString(text);
        EXPECT_EQ(text, plain) << length;
    }
}

TEST(CudCipher, AppendsToWhatTheBufferHolds) {
    const std::vector<uint8_t> cipher = encrypt("<ClientUpdateData/>");
    CBuffer out;
    out.Append("ab", 2);
    ASSERT_TRUE(DecryptCud(kKey, cipher.data(), static_cast<unsigned>(cipher.size()), out));
    std::string text;
    out.ToString(text);
    EXPECT_EQ(text, "ab<ClientUpdateData/>");
}

TEST(CudCipher, RefusesDamagedInputWithoutTouchingTheOutput) {
    const std::vector<uint8_t> cipher =
        encrypt("<ClientUpdateData><Face id=\"x\"/></ClientUpdateData>");
    std::vector<uint8_t> flippedLast = cipher;
    flippedLast.back() ^= 0x5a;
    const std::vector<uint8_t> wrongKey = encrypt("<ClientUpdateData/>", kOtherKey);
    struct Case {
        const char* what;
        const char* key;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {"truncated to a partial block", kKey, {cipher.begin(), cipher.end() - 5}},
        {"last block damaged", kKey, flippedLast},
        {"other key", kKey, wrongKey},
        {"empty", kKey, {}},
        {"bad key text", "7C1E93B04FD2A865E0B7194C3A5DF82", cipher},
        {"no key", "", cipher},
    };
    for (const Case& c : cases) {
        CBuffer out;
        out.Append("keep", 4);
        EXPECT_FALSE(DecryptCud(c.key, c.bytes.data(), static_cast<unsigned>(c.bytes.size()), out))
            << c.what;
        EXPECT_EQ(out.GetLength(), 4u) << c.what;
    }
}

TEST(CudCipher, RefusesANullInputWithALength) {
    CBuffer out;
    EXPECT_FALSE(EncryptCud(kKey, nullptr, 16, out));
    EXPECT_FALSE(DecryptCud(kKey, nullptr, 16, out));
    EXPECT_EQ(out.GetLength(), 0u);
}

} // namespace
