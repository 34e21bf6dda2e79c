#include "net/download/cud_data.h"

#include <tinyxml2.h>

#include <algorithm>

using tinyxml2::XMLElement;

namespace {

constexpr size_t kLocationListLimit = 255;

std::string_view trimSpaces(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

bool isListed(const CUrlList& list, const std::string& url) {
    return std::find(list.begin(), list.end(), url) != list.end();
}

// Hand-written files may put blanks or line breaks around a URL.
void collectUrls(const XMLElement* block, CUrlList& list) {
    if (block == nullptr)
        return;
    for (const XMLElement* url = block->FirstChildElement("URL"); url != nullptr;
         url = url->NextSiblingElement("URL")) {
        const char* text = url->GetText();
        const std::string_view trimmed = trimSpaces(text != nullptr ? text : "");
        if (!trimmed.empty())
            list.emplace_back(trimmed);
    }
}

const XMLElement* findFaceById(const XMLElement* first, std::string_view wantedId) {
    if (wantedId.empty())
        return nullptr;
    for (const XMLElement* face = first; face != nullptr; face = face->NextSiblingElement("Face")) {
        const char* id = face->Attribute("id");
        if (id != nullptr && wantedId == id)
            return face;
    }
    return nullptr;
}

bool listAccepts(const char* attribute, const std::string& wanted) {
    const std::vector<std::string> list = SplitLocationList(attribute);
    return list.empty() || std::find(list.begin(), list.end(), wanted) != list.end();
}

// Only LoginURLs siblings are candidates: a DataUpdateURLs block has no
// location lists and would otherwise qualify for every location.
const XMLElement* findLoginBlockForLocation(const XMLElement* first,
                                            const SLocationData& location) {
    const std::string country = UpperAscii(location.country);
    const std::string city = UpperAscii(location.city);
    for (const XMLElement* block = first; block != nullptr;
         block = block->NextSiblingElement("LoginURLs")) {
        if (listAccepts(block->Attribute("country"), country) &&
            listAccepts(block->Attribute("city"), city))
            return block;
    }
    return nullptr;
}

bool sameList(const CUrlList& a, const CUrlList& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

bool takeOverList(CUrlList& inner, const CUrlList& other) {
    if (other.empty() || sameList(inner, other))
        return false;
    inner = other;
    return true;
}

int replaceInList(CUrlList& list, const std::string& from, const std::string& to) {
    const auto entry = std::find(list.begin(), list.end(), from);
    if (entry == list.end())
        return 0;
    if (to.empty() || isListed(list, to))
        list.erase(entry);
    else
        *entry = to;
    return 1;
}

void addUrlBlock(XMLElement& face, const char* name, const CUrlList& list) {
    if (list.empty())
        return;
    XMLElement* block = face.InsertNewChildElement(name);
    for (const std::string& url : list)
        block->InsertNewChildElement("URL")->SetText(url.c_str());
}

void addTextElement(XMLElement& root, const char* name, const std::string& text) {
    if (!text.empty())
        root.InsertNewChildElement(name)->SetText(text.c_str());
}

} // namespace

const XMLElement* CudRoot(const tinyxml2::XMLDocument& doc) {
    return doc.FirstChildElement("ClientUpdateData");
}

const XMLElement* ParseFace(const XMLElement& root, EFaceMatch match, std::string_view wantedId,
                            const SLocationData& location, SFaceData& face) {
    const XMLElement* first = root.FirstChildElement("Face");
    if (first == nullptr)
        return nullptr;
    const XMLElement* chosen = match == EFaceMatch::eFirst ? first : findFaceById(first, wantedId);
    if (chosen == nullptr)
        return nullptr;
    SFaceData read;
    const char* id = chosen->Attribute("id");
    if (id == nullptr)
        return nullptr;
    read.id = id;
    // Read from the chosen face: in a file with several faces the first one's
    // flag belongs to another product.
    read.askLoginURL = chosen->BoolAttribute("askLoginURL", false);
    const XMLElement* login = chosen->FirstChildElement("LoginURLs");
    if (match == EFaceMatch::eByIdAndLocation)
        login = findLoginBlockForLocation(login, location);
    collectUrls(login, read.loginUrls);
    collectUrls(chosen->FirstChildElement("DataUpdateURLs"), read.dataUpdateUrls);
    face = std::move(read);
    return chosen;
}

void ReadReplaceList(const XMLElement& faceElement, CReplaceList& list) {
    const XMLElement* block = faceElement.FirstChildElement("ReplaceURLs");
    if (block == nullptr)
        return;
    for (const XMLElement* pair = block->FirstChildElement("Replace"); pair != nullptr;
         pair = pair->NextSiblingElement("Replace")) {
        const char* from = pair->Attribute("from");
        const char* to = pair->Attribute("to");
        const std::string fromText = from != nullptr ? from : "";
        const std::string toText = to != nullptr ? to : "";
        if (!fromText.empty() && fromText != toText)
            list.emplace_back(fromText, toText);
    }
}

void ReadLocation(const XMLElement& root, SLocationData& location) {
    if (const XMLElement* place = root.FirstChildElement("Location")) {
        if (const char* country = place->Attribute("country"))
            location.country = country;
        if (const char* city = place->Attribute("city"))
            location.city = city;
    }
    if (const XMLElement* selected = root.FirstChildElement("SelectedURL"))
        location.SelectedURL = trimSpaces(selected->GetText() ? selected->GetText() : "");
    if (const XMLElement* good = root.FirstChildElement("LastKnownGoodURL"))
        location.LastKnownGoodURL = trimSpaces(good->GetText() ? good->GetText() : "");
}

int ReplaceUrls(const CReplaceList& replaceList, SFaceData& face) {
    int count = 0;
    for (const auto& [from, to] : replaceList) {
        count += replaceInList(face.loginUrls, from, to);
        count += replaceInList(face.dataUpdateUrls, from, to);
    }
    return count;
}

bool MergeFace(SFaceData& inner, const SFaceData& other) {
    if (inner.id != other.id)
        return false;
    inner.askLoginURL = inner.askLoginURL || other.askLoginURL;
    const bool loginChanged = takeOverList(inner.loginUrls, other.loginUrls);
    const bool dataChanged = takeOverList(inner.dataUpdateUrls, other.dataUpdateUrls);
    return loginChanged || dataChanged;
}

bool ComposeCudXml(const SFaceData& face, const SLocationData& location, std::string& xml) {
    if (face.id.empty())
        return false;
    tinyxml2::XMLDocument doc;
    XMLElement* root = doc.NewElement("ClientUpdateData");
    doc.InsertEndChild(root);
    XMLElement* faceElement = root->InsertNewChildElement("Face");
    faceElement->SetAttribute("id", face.id.c_str());
    if (face.askLoginURL)
        faceElement->SetAttribute("askLoginURL", "true");
    addUrlBlock(*faceElement, "LoginURLs", face.loginUrls);
    addUrlBlock(*faceElement, "DataUpdateURLs", face.dataUpdateUrls);
    XMLElement* place = root->InsertNewChildElement("Location");
    place->SetAttribute("country", location.country.c_str());
    place->SetAttribute("city", location.city.c_str());
    addTextElement(*root, "SelectedURL", location.SelectedURL);
    addTextElement(*root, "LastKnownGoodURL", location.LastKnownGoodURL);
    tinyxml2::XMLPrinter printer;
    doc.Print(&printer);
    xml.assign(printer.CStr(), static_cast<size_t>(printer.CStrSize() - 1));
    return true;
}

std::vector<std::string> SplitLocationList(const char* value) {
    std::vector<std::string> pieces;
    if (value == nullptr)
        return pieces;
    std::string_view rest(value);
    rest = rest.substr(0, std::min(rest.size(), kLocationListLimit));
    for (;;) {
        const size_t comma = rest.find(',');
        const std::string_view piece = trimSpaces(rest.substr(0, comma));
        if (!piece.empty())
            pieces.push_back(UpperAscii(piece));
        if (comma == std::string_view::npos)
            return pieces;
        rest.remove_prefix(comma + 1);
    }
}

std::string UpperAscii(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}
