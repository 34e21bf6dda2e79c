// Key paths into the configuration documents: element names separated by
// "/", resolved from an element; a last step "@name" names an attribute, a
// last step "text()" the element's text. A value counts only when the kind
// the path reached matches what the caller asks for.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tinyxml2 {
class XMLElement;
}

enum class EConfigNodeKind { None, Element, Attribute, Text };

struct ConfigNode {
    EConfigNodeKind kind = EConfigNodeKind::None;
    const tinyxml2::XMLElement* element = nullptr; // the element reached (or holding the value)
    const char* value = nullptr;                   // attribute value or text
};

ConfigNode readConfigPath(const tinyxml2::XMLElement* from, std::string_view path);

// The element a path of element names reaches, or null.
const tinyxml2::XMLElement* readConfigElement(const tinyxml2::XMLElement* from,
                                              std::string_view path);

// The text or attribute value a path reaches; nullopt when missing or of
// the other kind.
std::optional<std::string> readConfigString(const tinyxml2::XMLElement* from,
                                            std::string_view path);

// "true", "false", "1" or "0"; anything else is missing.
std::optional<bool> readConfigBool(const tinyxml2::XMLElement* from, std::string_view path);

// Decimal, or hexadecimal with "0x"; anything unreadable is missing.
std::optional<long long> readConfigInt(const tinyxml2::XMLElement* from, std::string_view path);

std::optional<bool> parseConfigBool(std::string_view text);
std::optional<long long> parseConfigInt(std::string_view text);
