// Reads "ZCL1" containers back in tests, with OpenSSL and zlib called
// directly rather than through the code under test.
#pragma once

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/provider.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zcltest {

using Bytes = std::vector<uint8_t>;

inline const uint8_t kKey[] = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE,
                               0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};

inline constexpr size_t kHeaderSize = 8;

inline uint32_t recordLengthAt(const Bytes& b, size_t offset) {
    return static_cast<uint32_t>(b[offset + 4]) | static_cast<uint32_t>(b[offset + 5]) << 8 |
           static_cast<uint32_t>(b[offset + 6]) << 16 | static_cast<uint32_t>(b[offset + 7]) << 24;
}

// Reverses record bodies: Blowfish-CBC with kKey from a private
// legacy-provider context, then raw inflate up to the last sync flush.
class ZclDecoder {
public:
    ZclDecoder() {
        libCtx = OSSL_LIB_CTX_new();
        legacy = OSSL_PROVIDER_load(libCtx, "legacy");
        bf = EVP_CIPHER_fetch(libCtx, "BF-CBC", nullptr);
    }
    ZclDecoder(const ZclDecoder&) = delete;
    ZclDecoder& operator=(const ZclDecoder&) = delete;
    ~ZclDecoder() {
        EVP_CIPHER_free(bf);
        if (legacy != nullptr)
            OSSL_PROVIDER_unload(legacy);
        OSSL_LIB_CTX_free(libCtx);
    }
    bool ready() const { return bf != nullptr; }

    // The text of every record; a length of 0 (a record left open) reaches
    // to the end of the file.
    std::vector<std::string> decodeContainer(const Bytes& file) const {
        std::vector<std::string> texts;
        size_t offset = 0;
        while (offset + kHeaderSize <= file.size()) {
            const uint32_t recorded = recordLengthAt(file, offset);
            const size_t length = recorded != 0 ? recorded : file.size() - offset;
            EXPECT_GE(length, kHeaderSize);
            EXPECT_LE(offset + length, file.size());
            if (length < kHeaderSize || offset + length > file.size())
                break;
            texts.push_back(
                inflateRaw(decipher(file.data() + offset + kHeaderSize, length - kHeaderSize)));
            offset += length;
        }
        return texts;
    }

private:
    Bytes decipher(const uint8_t* body, size_t size) const {
        static const unsigned char iv[8] = {};
        EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
        Bytes plain(size + 8);
        int n = 0;
        int last = 0;
        const bool ok =
            EVP_DecryptInit_ex2(ctx, bf, nullptr, nullptr, nullptr) == 1 &&
            EVP_CIPHER_CTX_set_key_length(ctx, sizeof(kKey)) == 1 &&
            EVP_DecryptInit_ex2(ctx, nullptr, kKey, iv, nullptr) == 1 &&
            EVP_DecryptUpdate(ctx, plain.data(), &n, body, static_cast<int>(size)) == 1 &&
            EVP_DecryptFinal_ex(ctx, plain.data() + n, &last) == 1;
        EVP_CIPHER_CTX_free(ctx);
        if (!ok)
            return {};
        plain.resize(static_cast<size_t>(n + last));
        return plain;
    }

    static std::string inflateRaw(const Bytes& deflated) {
        if (deflated.empty())
            return "<no plain text>";
        z_stream z{};
        if (inflateInit2(&z, -15) != Z_OK)
            return "<inflateInit2 failed>";
        std::string out;
        z.next_in = const_cast<Bytef*>(deflated.data());
        z.avail_in = static_cast<uInt>(deflated.size());
        int rc = Z_OK;
        while (rc == Z_OK && z.avail_in > 0) {
            unsigned char chunk[512];
            z.next_out = chunk;
            z.avail_out = sizeof(chunk);
            rc = inflate(&z, Z_SYNC_FLUSH);
            out.append(reinterpret_cast<char*>(chunk), sizeof(chunk) - z.avail_out);
        }
        const bool clean = z.avail_in == 0 && (rc == Z_OK || rc == Z_BUF_ERROR);
        inflateEnd(&z);
        return clean ? out : "<inflate failed>";
    }

    OSSL_LIB_CTX* libCtx = nullptr;
    OSSL_PROVIDER* legacy = nullptr;
    EVP_CIPHER* bf = nullptr;
};

} // namespace zcltest
