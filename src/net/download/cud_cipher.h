// The cipher of the client update data file: AES-128 in ECB mode with PKCS#7
// padding, no IV, the key named by 32 hexadecimal digits. Portable; used only
// by the URL selector on the logic's thread.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

class CBuffer;
struct evp_cipher_ctx_st;

using CudKey = std::array<uint8_t, 16>;

// Exactly 32 hexadecimal digits (either case) give the 16 key bytes; any other
// text (shorter, longer, a non-digit anywhere) is refused.
bool ParseCudKey(std::string_view text, CudKey& key);

// One AES-128-ECB pass in one direction. Owns its library context, freed by the
// destructor; not copyable. A cipher is run once.
class CCipher {
public:
    enum EDirection { eDecrypt = 0, eEncrypt = 1 };

    explicit CCipher(EDirection direction);
    CCipher(const CCipher&) = delete;
    CCipher& operator=(const CCipher&) = delete;
    virtual ~CCipher();

    bool Init(const CudKey& key);
    // Runs the whole input through the cipher and appends the result to `out`
    // (padding added on encrypt, checked and removed on decrypt). On failure
    // `out` keeps its used bytes unchanged.
    bool Run(const uint8_t* in, unsigned length, CBuffer& out);

private:
    struct CtxDeleter {
        void operator()(evp_cipher_ctx_st* ctx) const;
    };

    std::unique_ptr<evp_cipher_ctx_st, CtxDeleter> ctx;
    EDirection direction;
};

// Deciphers `length` bytes with the key named by `keyText` and appends the
// plain bytes to `out`. False for a bad key text, a wrong key or damaged data
// (the padding does not check) and any library failure.
bool DecryptCud(std::string_view keyText, const uint8_t* in, unsigned length, CBuffer& out);

// Enciphers `length` bytes and appends the cipher text (a multiple of 16 bytes,
// always at least one block) to `out`.
bool EncryptCud(std::string_view keyText, const uint8_t* in, unsigned length, CBuffer& out);
