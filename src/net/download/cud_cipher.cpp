#include "net/download/cud_cipher.h"

#include "base/buffer.h"
#include "base/hex_digit.h"

#include <openssl/evp.h>

#include <climits>

namespace {

constexpr size_t kKeyDigits = 32;
constexpr unsigned kBlock = 16;

bool runCud(CCipher::EDirection direction, std::string_view keyText, const uint8_t* in,
            unsigned length, CBuffer& out) {
    CudKey key{};
    if (!ParseCudKey(keyText, key))
        return false;
    CCipher cipher(direction);
    return cipher.Init(key) && cipher.Run(in, length, out);
}

} // namespace

bool ParseCudKey(std::string_view text, CudKey& key) {
    if (text.size() != kKeyDigits)
        return false;
    for (size_t i = 0; i < key.size(); ++i) {
        const auto high = hexDigitValue(text[2 * i]);
        const auto low = hexDigitValue(text[2 * i + 1]);
        if (!high || !low)
            return false;
        key[i] = static_cast<uint8_t>(*high * 16 + *low);
    }
    return true;
}

void CCipher::CtxDeleter::operator()(evp_cipher_ctx_st* p) const {
    EVP_CIPHER_CTX_free(p);
}

CCipher::CCipher(EDirection dir) : ctx(EVP_CIPHER_CTX_new()), direction(dir) {}

CCipher::~CCipher() = default;

bool CCipher::Init(const CudKey& key) {
    return ctx && EVP_CipherInit_ex(ctx.get(), EVP_aes_128_ecb(), nullptr, key.data(), nullptr,
                                    direction == eEncrypt ? 1 : 0) == 1;
}

bool CCipher::Run(const uint8_t* in, unsigned length, CBuffer& out) {
    if (!ctx || (in == nullptr && length != 0) || length > INT_MAX - 2 * kBlock)
        return false;
    // Decrypting never grows the data; encrypting adds at most one block.
    const unsigned room = direction == eEncrypt ? length + 2 * kBlock : length + kBlock + 1;
    if (!out.Reserve(room))
        return false;
    uint8_t* tail = out.GetTail(room);
    int updated = 0;
    int finished = 0;
    if (tail == nullptr ||
        EVP_CipherUpdate(ctx.get(), tail, &updated, in, static_cast<int>(length)) != 1 ||
        EVP_CipherFinal_ex(ctx.get(), tail + updated, &finished) != 1)
        return false;
    return out.Commit(static_cast<unsigned>(updated) + static_cast<unsigned>(finished));
}

bool DecryptCud(std::string_view keyText, const uint8_t* in, unsigned length, CBuffer& out) {
    return runCud(CCipher::eDecrypt, keyText, in, length, out);
}

bool EncryptCud(std::string_view keyText, const uint8_t* in, unsigned length, CBuffer& out) {
    return runCud(CCipher::eEncrypt, keyText, in, length, out);
}
