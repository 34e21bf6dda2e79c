#include "net/download/url_selector.h"

#include "base/buffer.h"
#include "net/download/cud_cipher.h"
#include "net/download/cud_store.h"

#include <tinyxml2.h>

#include <algorithm>
#include <iterator>

namespace {

constexpr char kClientPrefix[] = "<Client";
constexpr size_t kClientPrefixLength = sizeof(kClientPrefix) - 1;
// Shorter files are never taken for cipher text.
constexpr size_t kMinCipherFile = 8;

bool isListed(const CUrlList& list, const std::string& url) {
    return std::find(list.begin(), list.end(), url) != list.end();
}

// The remembered entry first (the first entry when it is not listed), then
// each following entry once, wrapping at the end; after as many selections as
// the list has entries, one failure ends the pass and clears the memory.
bool rotateSelection(const CUrlList& list, std::string& current, int& index) {
    if (list.empty()) {
        index = 0;
        current.clear();
        return false;
    }
    auto entry = std::find(list.begin(), list.end(), current);
    if (entry == list.end())
        entry = list.begin();
    else if (index != 0 && ++entry == list.end())
        entry = list.begin();
    current = *entry;
    ++index;
    if (static_cast<size_t>(index) > list.size()) {
        index = 0;
        current.clear();
        return false;
    }
    return true;
}

CUrlList withoutEmptyEntries(const CUrlList& list) {
    CUrlList kept;
    std::copy_if(list.begin(), list.end(), std::back_inserter(kept),
                 [](const std::string& url) { return !url.empty(); });
    return kept;
}

bool takeOverRunTimeValue(std::string& current, const std::string& saved) {
    if (saved.empty() || saved == current)
        return false;
    current = saved;
    return true;
}

} // namespace

CUrlSelector::CUrlSelector(ICudStore& cudStore) : store(cudStore) {}

CUrlSelector::~CUrlSelector() = default;

void CUrlSelector::SetLog(LogRoutine routine) {
    log = std::move(routine);
    logEnabled = static_cast<bool>(log);
}

void CUrlSelector::EnableLog(bool enabled) {
    logEnabled = enabled && log;
}

bool CUrlSelector::Init(const tinyxml2::XMLElement* predefined, const CUrlList& stampedUrls,
                        const std::wstring& path, bool plain) {
    reset();
    logLine("");
    logPart("Initializing CUD... ");
    plainCud = plain;
    if (predefined != nullptr) {
        const tinyxml2::XMLElement* faceElement =
            ParseFace(*predefined, EFaceMatch::eFirst, {}, location, face);
        if (faceElement == nullptr) {
            logLine("failed to parse predefined CUD");
            return false;
        }
        ReadReplaceList(*faceElement, location.replaceList);
    }
    if (!stampedUrls.empty())
        face.loginUrls = withoutEmptyEntries(stampedUrls);
    logLine("OK");
    if (!path.empty()) {
        cudPath = path;
        loadAndMergeCudFile();
    }
    if (face.loginUrls.empty()) {
        logLine("list of predefined server URLs is empty");
        return false;
    }
    if (plainCud)
        dumpCud("initial CUD data");
    modified = true;
    initialized = true;
    return true;
}

void CUrlSelector::reset() {
    face = SFaceData();
    location = SLocationData();
    selectIndex = 0;
    dataUpdateIndex = 0;
    cudPath.clear();
    modified = false;
    initialized = false;
}

void CUrlSelector::loadAndMergeCudFile() {
    SFaceData loaded;
    if (!loadCudFile(&loaded, location))
        return;
    if (!location.replaceList.empty()) {
        logPart("Replacing URLs in loaded CUD file... ");
        const int replaced = ReplaceUrls(location.replaceList, loaded);
        logLine(std::to_string(replaced) + " URLs replaced/removed");
    }
    logPart("Updating inner CUD by loaded CUD file... ");
    logLine(MergeFace(face, loaded) ? "URLs updated" : "no new URLs");
}

bool CUrlSelector::loadCudFile(SFaceData* loaded, SLocationData& into) {
    logPart("Loading CUD file... ");
    std::vector<uint8_t> bytes;
    switch (store.ReadCud(cudPath, bytes)) {
    case ECudReadResult::eOk:
        break;
    case ECudReadResult::eCannotOpen:
        logLine("cannot open CUD file");
        return false;
    case ECudReadResult::eTooLarge:
        logLine("CUD file is too large");
        return false;
    }
    const std::string text = cudFileText(bytes);
    tinyxml2::XMLDocument doc;
    const tinyxml2::XMLElement* root = nullptr;
    if (!text.empty() && doc.Parse(text.data(), text.size()) == tinyxml2::XML_SUCCESS)
        root = CudRoot(doc);
    if (root == nullptr || (loaded != nullptr && ParseFace(*root, EFaceMatch::eById, face.id,
                                                           location, *loaded) == nullptr)) {
        logLine("failed to parse CUD file");
        return false;
    }
    ReadLocation(*root, into);
    logLine("OK");
    return true;
}

// Plain XML when it starts like one or is too short for cipher text; bytes
// that do not decipher are tried as they are.
std::string CUrlSelector::cudFileText(const std::vector<uint8_t>& bytes) const {
    const std::string raw(bytes.begin(), bytes.end());
    if (bytes.size() < kMinCipherFile || raw.compare(0, kClientPrefixLength, kClientPrefix) == 0)
        return raw;
    CBuffer plain;
    if (!DecryptCud(cudKey, bytes.data(), static_cast<unsigned>(bytes.size()), plain))
        return raw;
    std::string text;
    plain.ToString(text);
    return text;
}

bool CUrlSelector::SelectServerUrl() {
    logSelectionLine();
    logPart("Selecting server URL: ");
    if (!location.customUrl.empty()) {
        logLine("cannot select while custom URL is set");
        return false;
    }
    if (!rotateSelection(face.loginUrls, location.SelectedURL, selectIndex)) {
        logLine("list depleted");
        return false;
    }
    logLine(plainCud ? location.SelectedURL : "OK");
    logSelectionLine();
    modified = true;
    return true;
}

bool CUrlSelector::SelectDataUpdateUrl() {
    if (!initialized)
        return false;
    logSelectionLine();
    logPart("Selecting update URL: ");
    const bool selected =
        rotateSelection(face.dataUpdateUrls, location.dataUpdateUrl, dataUpdateIndex);
    if (selected)
        logLine(plainCud ? location.dataUpdateUrl : "OK");
    else
        logLine("list depleted");
    logSelectionLine();
    modified = true;
    return selected;
}

bool CUrlSelector::ApplyIncomingCud(const char* xml) {
    if (!initialized || xml == nullptr)
        return false;
    logLine("CUD data received");
    if (plainCud) {
        logLine("\n--- incoming CUD data ---");
        logLine(xml);
        logLine("\n--- end CUD data ---\n");
    }
    logPart("Updating CUD by incoming data... ");
    tinyxml2::XMLDocument doc;
    const tinyxml2::XMLElement* root = nullptr;
    if (doc.Parse(xml) == tinyxml2::XML_SUCCESS)
        root = CudRoot(doc);
    SFaceData incoming;
    if (root == nullptr ||
        ParseFace(*root, EFaceMatch::eByIdAndLocation, face.id, location, incoming) == nullptr) {
        logLine("\nFailed to parse CUD file");
        return false;
    }
    const CUrlList oldLogin = face.loginUrls;
    const bool changed = MergeFace(face, incoming);
    logLine(changed ? "OK" : "no new URLs");
    if (!changed)
        return false;
    // A pass counted over the old list would end early or late on the new one.
    if (face.loginUrls != oldLogin)
        selectIndex = 0;
    modified = true;
    if (plainCud)
        dumpCud("current CUD data");
    return true;
}

bool CUrlSelector::SetCustomUrl(const std::string& url) {
    logSelectionLine();
    logPart("Setting custom URL: ");
    if (url.empty()) {
        logLine("URL is empty");
        return false;
    }
    if (isListed(face.loginUrls, url)) {
        logLine("URL already exist");
        return false;
    }
    location.SelectedURL = url;
    location.customUrl = url;
    selectIndex = 0;
    modified = true;
    logLine(plainCud ? url : "OK");
    logSelectionLine();
    return true;
}

bool CUrlSelector::AcceptCustomUrl() {
    if (location.customUrl.empty())
        return false;
    logSelectionLine();
    logPart("Accepting custom server URL... ");
    if (isListed(face.loginUrls, location.customUrl)) {
        location.customUrl.clear();
        logLine("URL already exist");
        return false;
    }
    face.loginUrls.push_back(location.customUrl);
    location.SelectedURL = location.customUrl;
    selectIndex = 1;
    location.customUrl.clear();
    modified = true;
    logLine("OK");
    logSelectionLine();
    if (plainCud)
        dumpCud("current CUD data");
    return true;
}

void CUrlSelector::RejectCustomUrl() {
    if (location.customUrl.empty())
        return;
    const auto listed = std::find(face.loginUrls.begin(), face.loginUrls.end(), location.customUrl);
    if (listed != face.loginUrls.end()) {
        face.loginUrls.erase(listed);
        if (selectIndex > 0)
            --selectIndex;
        modified = true;
    }
    if (location.SelectedURL == location.customUrl) {
        location.SelectedURL.clear();
        selectIndex = 0;
        modified = true;
    }
    location.customUrl.clear();
}

bool CUrlSelector::SaveCudFile(bool mergeRtd) {
    if (!initialized || cudPath.empty())
        return false;
    logPart("Saving CUD file... ");
    if (!modified) {
        logLine("not modified");
        return false;
    }
    if (mergeRtd) {
        logLine("need to merge RTD");
        mergeRunTimeData();
    }
    std::string xml;
    if (!ComposeCudXml(face, location, xml)) {
        logLine("CUD not initialized properly");
        return false;
    }
    // A file over the read limit would be refused by the next run; the
    // cipher adds at most one block.
    if (xml.size() > kMaxCudFileBytes - 16) {
        logLine("CUD file writing failed");
        return false;
    }
    CBuffer cipherText;
    const bool enciphered = encryptCud(xml, cipherText);
    const uint8_t* bytes =
        enciphered ? cipherText.GetData() : reinterpret_cast<const uint8_t*>(xml.data());
    const unsigned count = enciphered ? cipherText.GetLength() : static_cast<unsigned>(xml.size());
    switch (store.WriteCud(cudPath, bytes, count)) {
    case ECudWriteResult::eOk:
        break;
    case ECudWriteResult::eCannotOpen:
        logLine("cannot open CUD file for writing");
        return false;
    case ECudWriteResult::eShortWrite:
        logLine("CUD file writing failed");
        return false;
    }
    modified = false;
    logLine("OK");
    return true;
}

// Only values the file really holds count: a missing Location must not
// bring back the "N/A" defaults.
void CUrlSelector::mergeRunTimeData() {
    SLocationData saved;
    saved.country.clear();
    saved.city.clear();
    if (!loadCudFile(nullptr, saved))
        return;
    logPart("Updating RTD... ");
    bool updated = takeOverRunTimeValue(location.LastKnownGoodURL, saved.LastKnownGoodURL);
    updated = takeOverRunTimeValue(location.country, saved.country) || updated;
    updated = takeOverRunTimeValue(location.city, saved.city) || updated;
    logLine(updated ? "RTD updated" : "no new RTD");
}

bool CUrlSelector::encryptCud(const std::string& xml, CBuffer& out) const {
    return !plainCud && EncryptCud(cudKey, reinterpret_cast<const uint8_t*>(xml.data()),
                                   static_cast<unsigned>(xml.size()), out);
}

void CUrlSelector::logText(std::string_view text, bool lineEnd) const {
    if (logEnabled && log)
        log(std::string(text), lineEnd);
}

void CUrlSelector::logSelectionLine() const {
    logLine(std::string(80, '-'));
}

void CUrlSelector::dumpCud(const char* title) const {
    std::string xml;
    ComposeCudXml(face, location, xml);
    logPart(std::string("\n--- ") + title + " ---\n");
    logPart(xml);
    logPart("\n--- end CUD data ---\n");
}
