// The client update data (CUD): the server lists of one face and the user's
// location, read from and written to the CUD XML. Portable; the URL selector
// uses these on the logic's thread.
#pragma once

#include <list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tinyxml2 {
class XMLDocument;
class XMLElement;
} // namespace tinyxml2

// Order is significant; URLs compare exactly (case-sensitive).
using CUrlList = std::list<std::string>;
// Pairs of URLs (from, to).
using CReplaceList = std::list<std::pair<std::string, std::string>>;

struct SFaceData {
    std::string id;
    bool askLoginURL = false;
    CUrlList loginUrls;
    CUrlList dataUpdateUrls;
};

struct SLocationData {
    CReplaceList replaceList;
    std::string SelectedURL;
    std::string dataUpdateUrl; // remembered by the data-update rotation; not saved
    std::string LastKnownGoodURL;
    std::string customUrl; // the user's URL while it is on trial; empty when none
    std::string country = "N/A";
    std::string city = "N/A";
};

enum class EFaceMatch {
    eFirst,          // the first Face, whatever its id (the configuration)
    eById,           // the first Face whose id is `wantedId` (the CUD file)
    eByIdAndLocation // by id, and the login block by country and city (server data)
};

// The CUD root element of a parsed document, or null.
const tinyxml2::XMLElement* CudRoot(const tinyxml2::XMLDocument& doc);

// Reads the face chosen by `match` from a ClientUpdateData element into
// `face` (id, askLoginURL and both lists). Returns the Face element read, or
// null (and `face` untouched) when there is no such face, `wantedId` is empty
// for a match by id, or the first face has no id.
const tinyxml2::XMLElement* ParseFace(const tinyxml2::XMLElement& root, EFaceMatch match,
                                      std::string_view wantedId, const SLocationData& location,
                                      SFaceData& face);

// The face's ReplaceURLs/Replace pairs, without those whose "from" is empty or
// equal to "to".
void ReadReplaceList(const tinyxml2::XMLElement& faceElement, CReplaceList& list);

// Location country and city (each only when present), SelectedURL and
// LastKnownGoodURL (each only when its element is present).
void ReadLocation(const tinyxml2::XMLElement& root, SLocationData& location);

// Applies each pair to both lists: the first entry equal to "from" is removed
// when "to" is empty or already listed, renamed to "to" otherwise. Returns the
// number of entries removed or renamed.
int ReplaceUrls(const CReplaceList& replaceList, SFaceData& face);

// Takes over `other`'s lists that are non-empty and differ from the inner
// ones, and its askLoginURL when set; nothing unless the ids are equal.
// Returns whether a list was replaced.
bool MergeFace(SFaceData& inner, const SFaceData& other);

// The CUD XML of `face` and `location` in the XML library's indented layout,
// without declaration. False (xml untouched) for an empty face id.
bool ComposeCudXml(const SFaceData& face, const SLocationData& location, std::string& xml);

// A location attribute as compared: split at commas (only the first 255
// characters count), trimmed, empty pieces dropped, upper case (ASCII).
std::vector<std::string> SplitLocationList(const char* value);

std::string UpperAscii(std::string_view text);
