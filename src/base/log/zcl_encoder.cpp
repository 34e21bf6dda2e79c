#include "base/log/zcl_encoder.h"

#include <openssl/evp.h>
#include <openssl/provider.h>

#include <algorithm>
#include <climits>

namespace {

constexpr unsigned kSmallestBlock = 64;
constexpr unsigned kLargestBlock = 1u << 20;
constexpr size_t kBlowfishBlock = 8;
// zlib counts input in 32 bits: longer writes are fed in chunks.
constexpr size_t kLargestDeflateInput = 1u << 30;

constexpr int kDeflateLevel = 9;
constexpr int kRawDeflateWindowBits = -15;
constexpr int kDeflateMemLevel = 9;

// Blowfish lives in OpenSSL 3's legacy provider. It is loaded into a private
// library context so the process-wide default context (used by the other
// ciphers) keeps its default provider set. Made once, kept for the process.
class CLegacyBlowfish {
public:
    CLegacyBlowfish() {
        libCtx = OSSL_LIB_CTX_new();
        if (libCtx == nullptr)
            return;
        legacy = OSSL_PROVIDER_load(libCtx, "legacy");
        if (legacy != nullptr)
            cbc = EVP_CIPHER_fetch(libCtx, "BF-CBC", nullptr);
    }
    CLegacyBlowfish(const CLegacyBlowfish&) = delete;
    CLegacyBlowfish& operator=(const CLegacyBlowfish&) = delete;
    ~CLegacyBlowfish() {
        EVP_CIPHER_free(cbc);
        if (legacy != nullptr)
            OSSL_PROVIDER_unload(legacy);
        OSSL_LIB_CTX_free(libCtx);
    }
    const EVP_CIPHER* cipher() const { return cbc; }

private:
    OSSL_LIB_CTX* libCtx = nullptr;
    OSSL_PROVIDER* legacy = nullptr;
    EVP_CIPHER* cbc = nullptr;
};

const EVP_CIPHER* blowfishCbc() {
    static const CLegacyBlowfish blowfish;
    return blowfish.cipher();
}

} // namespace

CZclEncoder::~CZclEncoder() {
    release();
}

bool CZclEncoder::start(const uint8_t* key, size_t keyLength, size_t blockSize) {
    release();
    const EVP_CIPHER* bf = blowfishCbc();
    if (bf == nullptr || key == nullptr || keyLength == 0 || keyLength > INT_MAX)
        return false;
    static const unsigned char kZeroIv[kBlowfishBlock] = {};
    cipher = EVP_CIPHER_CTX_new();
    // The key length must be set between choosing the cipher and giving the key.
    if (cipher == nullptr || EVP_EncryptInit_ex2(cipher, bf, nullptr, nullptr, nullptr) != 1 ||
        EVP_CIPHER_CTX_set_key_length(cipher, static_cast<int>(keyLength)) != 1 ||
        EVP_EncryptInit_ex2(cipher, nullptr, key, kZeroIv, nullptr) != 1) {
        release();
        return false;
    }
    nBlockSize =
        static_cast<unsigned>(std::clamp<size_t>(blockSize, kSmallestBlock, kLargestBlock));
    output.SetCapacity(nBlockSize);
    deflated.SetCapacity(nBlockSize);
    deflater = z_stream{};
    if (deflateInit2(&deflater, kDeflateLevel, Z_DEFLATED, kRawDeflateWindowBits, kDeflateMemLevel,
                     Z_DEFAULT_STRATEGY) != Z_OK) {
        release();
        return false;
    }
    bDeflating = true;
    return true;
}

bool CZclEncoder::write(const void* bytes, size_t count, IZclFile& file) {
    if (!isStarted())
        return false;
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    while (count > 0) {
        const size_t chunk = std::min(count, kLargestDeflateInput);
        if (!deflateChunk(p, chunk, file))
            return false;
        p += chunk;
        count -= chunk;
    }
    return true;
}

bool CZclEncoder::deflateChunk(const uint8_t* bytes, size_t count, IZclFile& file) {
    deflater.next_in = const_cast<Bytef*>(bytes);
    deflater.avail_in = static_cast<uInt>(count);
    // A full output buffer means the flush is not complete yet.
    do {
        deflated.Clear();
        deflater.next_out = deflated.GetTail(nBlockSize);
        deflater.avail_out = nBlockSize;
        const int rc = deflate(&deflater, Z_SYNC_FLUSH);
        if (rc != Z_OK && rc != Z_BUF_ERROR)
            return false;
        deflated.Commit(nBlockSize - deflater.avail_out);
        if (!encipherAndAppend(deflated.GetData(), deflated.GetLength(), file))
            return false;
    } while (deflater.avail_out == 0);
    return true;
}

bool CZclEncoder::encipherAndAppend(const uint8_t* bytes, size_t count, IZclFile& file) {
    while (count > 0) {
        output.Clear();
        // The cipher may emit up to one block more than it is given.
        const size_t piece = std::min(count, static_cast<size_t>(nBlockSize) - kBlowfishBlock);
        int produced = 0;
        if (EVP_EncryptUpdate(cipher, output.GetTail(nBlockSize), &produced, bytes,
                              static_cast<int>(piece)) != 1)
            return false;
        output.Commit(static_cast<unsigned>(produced));
        if (produced > 0 && !file.append(output.GetData(), output.GetLength()))
            return false;
        bytes += piece;
        count -= piece;
    }
    return true;
}

bool CZclEncoder::finish(IZclFile& file) {
    if (!isStarted())
        return false;
    output.Clear();
    int produced = 0;
    bool ok = EVP_EncryptFinal_ex(cipher, output.GetTail(nBlockSize), &produced) == 1;
    if (ok) {
        output.Commit(static_cast<unsigned>(produced));
        ok = file.append(output.GetData(), output.GetLength());
    }
    release();
    return ok;
}

void CZclEncoder::release() {
    EVP_CIPHER_CTX_free(cipher);
    cipher = nullptr;
    if (bDeflating)
        deflateEnd(&deflater);
    bDeflating = false;
    output.Free();
    deflated.Free();
    nBlockSize = 0;
}
