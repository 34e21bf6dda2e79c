#include "app/config/config_path.h"

#include <tinyxml2.h>

#include <charconv>

namespace {

// The next step of a path and the rest after its "/".
std::string_view nextStep(std::string_view& rest) {
    const size_t slash = rest.find('/');
    const std::string_view step = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    return step;
}

} // namespace

ConfigNode readConfigPath(const tinyxml2::XMLElement* from, std::string_view path) {
    ConfigNode node;
    const tinyxml2::XMLElement* at = from;
    std::string_view rest = path;
    while (at != nullptr) {
        const bool last = rest.find('/') == std::string_view::npos;
        const std::string_view step = nextStep(rest);
        if (last && step == "text()")
            return {EConfigNodeKind::Text, at, at->GetText()};
        if (last && !step.empty() && step.front() == '@') {
            const char* value = at->Attribute(std::string(step.substr(1)).c_str());
            if (value == nullptr)
                return node;
            return {EConfigNodeKind::Attribute, at, value};
        }
        if (step.empty())
            return node;
        at = at->FirstChildElement(std::string(step).c_str());
        if (last)
            return at ? ConfigNode{EConfigNodeKind::Element, at, nullptr} : node;
    }
    return node;
}

const tinyxml2::XMLElement* readConfigElement(const tinyxml2::XMLElement* from,
                                              std::string_view path) {
    const ConfigNode node = readConfigPath(from, path);
    return node.kind == EConfigNodeKind::Element ? node.element : nullptr;
}

std::optional<std::string> readConfigString(const tinyxml2::XMLElement* from,
                                            std::string_view path) {
    const ConfigNode node = readConfigPath(from, path);
    const bool wantsText = path.size() >= 6 && path.substr(path.size() - 6) == "text()";
    const EConfigNodeKind wanted = wantsText ? EConfigNodeKind::Text : EConfigNodeKind::Attribute;
    if (node.kind != wanted || node.value == nullptr)
        return std::nullopt;
    return std::string(node.value);
}

std::optional<bool> parseConfigBool(std::string_view text) {
    if (text == "true" || text == "1")
        return true;
    if (text == "false" || text == "0")
        return false;
    return std::nullopt;
}

std::optional<long long> parseConfigInt(std::string_view text) {
    int base = 10;
    bool negative = false;
    if (!text.empty() && text.front() == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    // from_chars takes a minus of its own: "--5" or "0x-5" is no number, and
    // negating its LLONG_MIN would overflow.
    if (!text.empty() && text.front() == '-')
        return std::nullopt;
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return negative ? -value : value;
}

std::optional<bool> readConfigBool(const tinyxml2::XMLElement* from, std::string_view path) {
    const auto text = readConfigString(from, path);
    return text ? parseConfigBool(*text) : std::nullopt;
}

std::optional<long long> readConfigInt(const tinyxml2::XMLElement* from, std::string_view path) {
    const auto text = readConfigString(from, path);
    return text ? parseConfigInt(*text) : std::nullopt;
}
