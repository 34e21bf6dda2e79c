// libFuzzer target for the configuration readers. The input's first line is
// a key path, the rest an XML document: the path is resolved from the root
// and from its "common" child with every reader, and the document also goes
// through the whole configuration parse, the init keys, the theme choice
// (the path doubling as the registry's theme name) and the language list.
#include "app/config/config_path.h"
#include "app/config/launcher_config.h"
#include "ui/lang/language_list.h"

#include <tinyxml2.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace {

void readPathFrom(const tinyxml2::XMLElement* from, std::string_view path) {
    const ConfigNode node = readConfigPath(from, path);
    if (node.kind == EConfigNodeKind::Element)
        readLanguageList(node.element);
    readConfigElement(from, path);
    readConfigString(from, path);
    readConfigBool(from, path);
    readConfigInt(from, path);
}

void readDocument(std::string_view xml, std::string_view path) {
    tinyxml2::XMLDocument doc;
    if (doc.Parse(xml.data(), xml.size()) != tinyxml2::XML_SUCCESS)
        return;
    const tinyxml2::XMLElement* root = doc.RootElement();
    const tinyxml2::XMLElement* common = root ? root->FirstChildElement("common") : nullptr;
    readPathFrom(root, path);
    readPathFrom(common, path);
    readLanguageList(common ? common->FirstChildElement("languages") : nullptr);
}

void readConfiguration(std::string_view xml, std::string_view path) {
    CLauncherConfig config;
    std::string error;
    if (!config.parse(reinterpret_cast<const uint8_t*>(xml.data()), xml.size(), error))
        return;
    config.chooseThemePath(std::string(path));
    LaunchSettings fromConfig;
    readLaunchSettings(config, false, 6, 2, fromConfig);
    LaunchSettings fromCommandLine;
    readLaunchSettings(config, true, 5, 1, fromCommandLine);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t newline = std::min(input.find('\n'), size);
    // The path gets a block of exactly its size and the document ends where
    // the input does, so a read past either one's end is caught.
    const auto pathBytes = std::make_unique<char[]>(newline);
    std::copy_n(input.data(), newline, pathBytes.get());
    const std::string_view path(pathBytes.get(), newline);
    const std::string_view xml = newline < size ? input.substr(newline + 1) : std::string_view();
    parseConfigBool(path);
    parseConfigInt(path);
    readDocument(xml, path);
    readConfiguration(xml, path);
    return 0;
}
