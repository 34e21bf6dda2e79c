// libFuzzer target: any bytes as CUD.dat (enciphered with the program's key
// or plain XML) and, as zero-terminated text, as the client update data the
// server sends. A damaged or foreign file must be dropped without harm: the
// configuration's servers stand, every server is handed out once per pass,
// and what is saved must read back the same in the next run. Bytes that
// decipher must encipher back to themselves. Odd-sized inputs run with the
// plain-CUD debugging switch (data dumped into the log, file unenciphered).
#include "base/buffer.h"
#include "net/download/cud_cipher.h"
#include "net/download/cud_store.h"
#include "net/download/url_selector.h"

#include <tinyxml2.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char kProgramKey[] = "7C1E93B04FD2A865E0B7194C3A5DF826";
const std::wstring kCudPath = L"C:\\Game\\CUD.dat";
// Real files are a few kilobytes; far larger ones could make the saved text
// pass the file size limit, and then the save rightly fails.
constexpr size_t kMaxInput = 64 * 1024;

// The launcher's configuration: the seeds' face, and renames so that the
// replace step runs over loaded lists.
constexpr char kConfig[] =
    "<ClientUpdateData><Face id=\"game\">"
    "<LoginURLs><URL>http://a.example/</URL><URL>http://b.example/</URL></LoginURLs>"
    "<DataUpdateURLs><URL>http://d.example/</URL></DataUpdateURLs>"
    "<ReplaceURLs><Replace from=\"http://old.example/\" to=\"http://new.example/\"/>"
    "<Replace from=\"http://gone.example/\"/></ReplaceURLs></Face></ClientUpdateData>";
// The next run's configuration: nothing that would change the loaded lists.
constexpr char kPlainConfig[] =
    "<ClientUpdateData><Face id=\"game\"><LoginURLs><URL>http://a.example/</URL></LoginURLs>"
    "</Face></ClientUpdateData>";

class CFuzzCudStore : public ICudStore {
public:
    ECudReadResult ReadCud(const std::wstring& path, std::vector<uint8_t>& bytes) override {
        if (path != kCudPath)
            __builtin_trap();
        if (file.size() > kMaxCudFileBytes)
            return ECudReadResult::eTooLarge;
        bytes = file;
        return ECudReadResult::eOk;
    }
    ECudWriteResult WriteCud(const std::wstring& path, const uint8_t* bytes,
                             unsigned count) override {
        if (path != kCudPath)
            __builtin_trap();
        file.assign(bytes, bytes + count);
        return ECudWriteResult::eOk;
    }

    std::vector<uint8_t> file;
};

const tinyxml2::XMLElement* configRoot(tinyxml2::XMLDocument& doc, const char* xml) {
    if (doc.Parse(xml) != tinyxml2::XML_SUCCESS)
        __builtin_trap();
    return doc.FirstChildElement("ClientUpdateData");
}

void setUp(CUrlSelector& selector, size_t& logged) {
    selector.SetCudKey(kProgramKey);
    selector.SetLog([&logged](const std::string& text, bool) { logged += text.size(); });
}

void checkDecipherRoundTrip(const uint8_t* data, size_t size) {
    const auto length = static_cast<unsigned>(size);
    CBuffer plain;
    if (!DecryptCud(kProgramKey, data, length, plain))
        return;
    CBuffer cipher;
    if (size % 16 != 0 || plain.GetLength() >= length ||
        !EncryptCud(kProgramKey, plain.GetData(), plain.GetLength(), cipher) ||
        cipher.GetLength() != length || std::memcmp(cipher.GetData(), data, size) != 0)
        __builtin_trap();
}

// One pass hands out every login URL once, then fails once.
void checkOnePass(CUrlSelector& selector) {
    const CUrlList& urls = selector.Face().loginUrls;
    for (size_t i = 0; i < urls.size(); ++i) {
        if (!selector.SelectServerUrl() ||
            std::find(urls.begin(), urls.end(), selector.Location().SelectedURL) == urls.end())
            __builtin_trap();
    }
    if (selector.SelectServerUrl() || !selector.Location().SelectedURL.empty())
        __builtin_trap();
}

void checkSavedFile(const std::vector<uint8_t>& file, bool plainCud) {
    constexpr char kPrefix[] = "<Client";
    const bool looksPlain = file.size() >= sizeof(kPrefix) - 1 &&
                            std::equal(kPrefix, kPrefix + sizeof(kPrefix) - 1, file.begin());
    if (looksPlain != plainCud || (!plainCud && file.size() % 16 != 0))
        __builtin_trap();
}

// The next run, configured without renames, must read what was saved.
void checkNextRunReads(const std::vector<uint8_t>& saved, const CUrlSelector& previous,
                       bool plainCud) {
    CFuzzCudStore store;
    store.file = saved;
    CUrlSelector next(store);
    size_t logged = 0;
    setUp(next, logged);
    tinyxml2::XMLDocument config;
    if (!next.Init(configRoot(config, kPlainConfig), {}, kCudPath, plainCud))
        __builtin_trap();
    const SFaceData& was = previous.Face();
    const SFaceData& is = next.Face();
    const SLocationData& wasAt = previous.Location();
    const SLocationData& isAt = next.Location();
    if (is.id != was.id || is.askLoginURL != was.askLoginURL || is.loginUrls != was.loginUrls ||
        is.dataUpdateUrls != was.dataUpdateUrls || isAt.SelectedURL != wasAt.SelectedURL ||
        isAt.LastKnownGoodURL != wasAt.LastKnownGoodURL || isAt.country != wasAt.country ||
        isAt.city != wasAt.city)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kMaxInput)
        return 0;
    checkDecipherRoundTrip(data, size);

    const bool plainCud = size % 2 == 1;
    CFuzzCudStore store;
    store.file.assign(data, data + size);
    CUrlSelector selector(store);
    size_t logged = 0;
    setUp(selector, logged);
    tinyxml2::XMLDocument config;
    // Whatever the file holds, the configured servers stand.
    if (!selector.Init(configRoot(config, kConfig), {}, kCudPath, plainCud) ||
        selector.Face().id != "game" || selector.Face().loginUrls.empty())
        __builtin_trap();
    checkOnePass(selector);
    selector.SelectDataUpdateUrl();

    const std::string incoming(reinterpret_cast<const char*>(data), size);
    if (selector.ApplyIncomingCud(incoming.c_str()) &&
        (selector.Face().loginUrls.empty() || selector.Face().id != "game"))
        __builtin_trap();
    checkOnePass(selector);
    if (!selector.SelectServerUrl() || !selector.SaveCudFile(true))
        __builtin_trap();
    checkSavedFile(store.file, plainCud);
    checkNextRunReads(store.file, selector, plainCud);
    return 0;
}
