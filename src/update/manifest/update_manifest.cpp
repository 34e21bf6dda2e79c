#include "update/manifest/update_manifest.h"

#include "base/utf8_text.h"
#include "update/install_path.h"
#include "update/manifest/manifest_text.h"

#include <tinyxml2.h>

#include <cstring>

using tinyxml2::XMLElement;

namespace {

std::wstring wideAttribute(const XMLElement& element, const char* name) {
    const char* value = element.Attribute(name);
    return value ? wideFromUtf8(value) : std::wstring();
}

std::wstring wideChildText(const XMLElement& parent, const char* name) {
    const XMLElement* child = parent.FirstChildElement(name);
    const char* text = child ? child->GetText() : nullptr;
    return text ? wideFromUtf8(text) : std::wstring();
}

uint32_t crcAttribute(const XMLElement& element, const char* name) {
    const char* value = element.Attribute(name);
    return value ? static_cast<uint32_t>(parseDecimal(value, UINT32_MAX).value_or(0)) : 0;
}

uint64_t sizeAttribute(const XMLElement& element, const char* name) {
    const char* value = element.Attribute(name);
    return value ? parseDecimal(value).value_or(0) : 0;
}

// The FILE element's "file" as a path below the install folder; a refused
// one comes back as written (lower case) for the log.
EInstallPath readFilePath(const XMLElement& file, std::wstring& path) {
    const std::wstring text = lowerWide(wideAttribute(file, "file"));
    const EInstallPath verdict = checkInstallPath(text, EPathKind::File, path);
    if (verdict != eInstallPath_Ok)
        path = text;
    return verdict;
}

std::wstring helpLines(std::wstring text) {
    for (size_t at = text.find(L"\\n"); at != std::wstring::npos; at = text.find(L"\\n", at + 1))
        text.replace(at, 2, L"\n");
    return text;
}

PackInfo readPack(const XMLElement& pack) {
    PackInfo info;
    info.type = packTypeFromText(pack.Attribute("type"));
    info.platform = packPlatformFromText(pack.Attribute("platform"));
    info.file = wideAttribute(pack, "file");
    info.crc = crcAttribute(pack, "crc");
    info.size = sizeAttribute(pack, "size");
    return info;
}

bool fits(const PackInfo& pack, const ManifestParseOptions& options) {
    return pack.platform == ppAny || pack.platform == options.platform;
}

const XMLElement* matchingInfo(const XMLElement& pack, const std::string& language) {
    for (const XMLElement* info = pack.FirstChildElement("INFO"); info;
         info = info->NextSiblingElement("INFO")) {
        const char* lang = info->Attribute("lang");
        if (lang && language == lang)
            return info;
    }
    return nullptr;
}

class CManifestReader {
public:
    CManifestReader(const ManifestParseOptions& options, UpdateManifest& out)
        : options(options), out(out) {}

    // False when a stop was requested: the caller ends successfully.
    bool readPackElement(const XMLElement& element) {
        const PackInfo pack = readPack(element);
        if (!fits(pack, options))
            return true;
        out.packs[pack.file] = pack;
        std::wstring exec;
        switch (pack.type) {
        case ptIncrement:
            out.increments.push_back({true, pack.file, pack.size, {}});
            return readFiles(element, pack, exec, out.increments.back().files);
        case ptExt:
            exec = readExtApp(element, pack);
            break;
        case ptInt:
            readIntApp(element, pack);
            break;
        case ptAdd:
            if (!options.additionalPackages.count(pack.file))
                return true;
            break;
        case ptFull:
            break;
        case ptNone:
            return true;
        }
        if (options.onlyAddPackages && pack.type != ptAdd)
            return true;
        return readFiles(element, pack, exec, out.files);
    }

private:
    std::wstring readExtApp(const XMLElement& element, const PackInfo& pack) {
        const XMLElement* info = matchingInfo(element, options.language);
        if (!info)
            return {};
        out.extApps.push_back({pack.file, wideChildText(*info, "NAME"),
                               wideChildText(*info, "EXEC"),
                               helpLines(wideChildText(*info, "HELP")),
                               wideChildText(*info, "CMDL"), info->BoolAttribute("sel", true)});
        return out.extApps.back().exec;
    }

    void readIntApp(const XMLElement& element, const PackInfo& pack) {
        if (const XMLElement* info = matchingInfo(element, options.language))
            out.intApps.push_back(
                {pack.file, wideChildText(*info, "EXEC"), wideChildText(*info, "NAME")});
    }

    bool readFiles(const XMLElement& element, const PackInfo& pack, const std::wstring& exec,
                   FileTable& table) {
        for (const XMLElement* file = element.FirstChildElement("FILE"); file;
             file = file->NextSiblingElement()) {
            if (options.stopRequested && options.stopRequested())
                return false;
            std::wstring path;
            const EInstallPath verdict = readFilePath(*file, path);
            if (verdict != eInstallPath_Ok) {
                out.brokenPaths.push_back({path, verdict});
                continue;
            }
            table[path] = {pack.file, exec, pack.type, crcAttribute(*file, "crc"),
                           sizeAttribute(*file, "size")};
        }
        return true;
    }

    const ManifestParseOptions& options;
    UpdateManifest& out;
};

bool readIgnore(const XMLElement& root, UpdateManifest& out, std::string& error) {
    const XMLElement* ignore = root.FirstChildElement("IGNORE");
    if (!ignore)
        return true;
    for (const XMLElement* file = ignore->FirstChildElement("FILE"); file;
         file = file->NextSiblingElement()) {
        const char* value = file->Attribute("file");
        if (!value) {
            error = "IGNORE entry without \"file\"";
            return false;
        }
        const std::wstring text = lowerWide(wideFromUtf8(value));
        if (text.rfind(L"*\\", 0) == 0)
            out.ignoredNames.insert(text.substr(2));
        else
            out.ignoredPaths.insert(text);
    }
    return true;
}

// A "size" of digits only that 64 bits cannot hold: read as anything, it
// would be a wrong size, so the manifest counts as damaged. Other malformed
// numbers read as zero.
const char* oversizedSize(const XMLElement& root) {
    const auto oversized = [](const XMLElement& element) -> const char* {
        const char* value = element.Attribute("size");
        if (!value || !*value || std::strspn(value, "0123456789") != std::strlen(value))
            return nullptr;
        return parseDecimal(value) ? nullptr : value;
    };
    for (const XMLElement* pack = root.FirstChildElement("PACK"); pack;
         pack = pack->NextSiblingElement("PACK")) {
        if (const char* value = oversized(*pack))
            return value;
        for (const XMLElement* file = pack->FirstChildElement("FILE"); file;
             file = file->NextSiblingElement("FILE"))
            if (const char* value = oversized(*file))
                return value;
    }
    return nullptr;
}

bool parseDocument(std::string_view text, tinyxml2::XMLDocument& doc, std::string& error) {
    if (doc.Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS) {
        error = std::string("manifest does not parse: ") + doc.ErrorStr();
        return false;
    }
    if (!doc.RootElement()) {
        error = "manifest has no root element";
        return false;
    }
    return true;
}

std::string textAttribute(const XMLElement& element, const char* name) {
    const char* value = element.Attribute(name);
    return value ? value : "";
}

} // namespace

EPackType packTypeFromText(const char* text) {
    if (!text)
        return ptNone;
    static const struct {
        const char* text;
        EPackType type;
    } kTypes[] = {{"full", ptFull},
                  {"ext", ptExt},
                  {"int", ptInt},
                  {"add", ptAdd},
                  {"increment", ptIncrement}};
    for (const auto& entry : kTypes)
        if (std::strcmp(text, entry.text) == 0)
            return entry.type;
    return ptNone;
}

int packPlatformFromText(const char* text) {
    if (text && std::strcmp(text, "32") == 0)
        return pp32;
    if (text && std::strcmp(text, "64") == 0)
        return pp64;
    return ppAny;
}

bool parseUpdateManifest(std::string_view text, const ManifestParseOptions& options,
                         UpdateManifest& out, std::string& error) {
    out = UpdateManifest();
    tinyxml2::XMLDocument doc;
    if (!parseDocument(text, doc, error))
        return false;
    const XMLElement& root = *doc.RootElement();
    if (const char* size = oversizedSize(root)) {
        error = std::string("manifest size does not fit 64 bits: ") + size;
        return false;
    }
    out.modification = textAttribute(root, "modification");
    out.clientVersion = textAttribute(root, "clientVersion");
    out.launcher = readLauncherInfo(root);
    CManifestReader reader(options, out);
    for (const XMLElement* pack = root.FirstChildElement("PACK"); pack;
         pack = pack->NextSiblingElement("PACK"))
        if (!reader.readPackElement(*pack))
            return true;
    return readIgnore(root, out, error);
}

std::wstring describeBrokenPath(const BrokenPath& broken) {
    return broken.path + L" (" + installPathProblem(broken.problem) + L")";
}

bool parseOldManifest(std::string_view text, const ManifestParseOptions& options, OldManifest& out,
                      std::string& error) {
    out = OldManifest();
    tinyxml2::XMLDocument doc;
    if (!parseDocument(text, doc, error))
        return false;
    out.modification = textAttribute(*doc.RootElement(), "modification");
    out.clientVersion = textAttribute(*doc.RootElement(), "clientVersion");
    for (const XMLElement* element = doc.RootElement()->FirstChildElement("PACK"); element;
         element = element->NextSiblingElement("PACK")) {
        const PackInfo pack = readPack(*element);
        const bool counted = pack.type == ptFull || pack.type == ptInt ||
                             (pack.type == ptAdd && options.additionalPackages.count(pack.file));
        if (!counted || !fits(pack, options))
            continue;
        for (const XMLElement* file = element->FirstChildElement("FILE"); file;
             file = file->NextSiblingElement()) {
            std::wstring path;
            if (readFilePath(*file, path) == eInstallPath_Ok)
                out.files[path] = {pack.file, crcAttribute(*file, "crc"),
                                   sizeAttribute(*file, "size")};
        }
    }
    return true;
}

std::optional<LauncherInfo> readLauncherInfo(const XMLElement& root) {
    const char* version = root.Attribute("launcherVersion");
    const char* size = root.Attribute("launcherSize");
    const std::optional<uint64_t> parsedSize = size ? parseDecimal(size) : std::nullopt;
    if (!version || !parsedSize)
        return std::nullopt;
    LauncherInfo info;
    info.version = version;
    info.size = *parsedSize;
    if (const char* crc = root.Attribute("launcherCRC"); crc && *crc)
        if (const auto value = parseDecimal(crc, UINT32_MAX))
            info.crc = static_cast<uint32_t>(*value);
    info.url = textAttribute(root, "launcherUrl");
    return info;
}

std::optional<LauncherInfo> readLauncherInfo(std::string_view text) {
    tinyxml2::XMLDocument doc;
    std::string error;
    if (!parseDocument(text, doc, error))
        return std::nullopt;
    return readLauncherInfo(*doc.RootElement());
}
