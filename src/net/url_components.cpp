#include "net/url_components.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>

namespace {

struct SSchemeName {
    const char* name;
    int id;
};

constexpr std::array<SSchemeName, 11> kSchemes = {{
    {"ftp", kSchemeFtp},
    {"gopher", kSchemeGopher},
    {"http", kSchemeHttp},
    {"https", kSchemeHttps},
    {"file", kSchemeFile},
    {"news", kSchemeNews},
    {"mailto", kSchemeMailto},
    {"socks", kSchemeSocks},
    {"javascript", kSchemeJavascript},
    {"vbscript", kSchemeVbscript},
    {"res", kSchemeRes},
}};

constexpr unsigned kMaxPort = 65535;

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

int schemeIdOf(std::string_view name) {
    for (const SSchemeName& s : kSchemes) {
        if (equalsIgnoringCase(name, s.name))
            return s.id;
    }
    return 0;
}

const char* schemeNameOf(int id) {
    for (const SSchemeName& s : kSchemes) {
        if (s.id == id)
            return s.name;
    }
    return "http";
}

bool hasControlCharacter(std::string_view text) {
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F)
            return true;
    }
    return false;
}

// "scheme:" at the start of `text`: letters first, then letters, digits,
// '+', '-' or '.'; empty when the text starts otherwise.
std::string_view schemePrefix(std::string_view text) {
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0)
        return {};
    if (!std::isalpha(static_cast<unsigned char>(text[0])))
        return {};
    for (size_t i = 1; i < colon; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.')
            return {};
    }
    return text.substr(0, colon);
}

bool parsePort(std::string_view digits, uint16_t& port) {
    if (digits.empty() || digits.size() > 5)
        return false;
    unsigned value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > kMaxPort)
        return false;
    port = static_cast<uint16_t>(value);
    return true;
}

bool isValidHost(std::string_view host) {
    for (const char c : host) {
        if (c == ' ' || c == '\\' || c == '@')
            return false;
    }
    return true;
}

// "user:password@host:port" into `out`; false for a malformed authority.
bool crackAuthority(std::string_view authority, SCrackedUrl& out) {
    const size_t at = authority.rfind('@');
    std::string_view hostPort = authority;
    if (at != std::string_view::npos) {
        const std::string_view userInfo = authority.substr(0, at);
        const size_t colon = userInfo.find(':');
        out.user = std::string(userInfo.substr(0, colon));
        if (colon != std::string_view::npos)
            out.password = std::string(userInfo.substr(colon + 1));
        hostPort = authority.substr(at + 1);
    }
    size_t portColon = std::string_view::npos;
    if (!hostPort.empty() && hostPort.front() == '[') {
        const size_t close = hostPort.find(']');
        if (close == std::string_view::npos)
            return false;
        if (close + 1 < hostPort.size()) {
            if (hostPort[close + 1] != ':')
                return false;
            portColon = close + 1;
        }
    } else {
        portColon = hostPort.rfind(':');
    }
    out.host = std::string(hostPort.substr(0, portColon));
    if (portColon != std::string_view::npos && !parsePort(hostPort.substr(portColon + 1), out.port))
        return false;
    if (out.host.empty() && out.schemeId != kSchemeFile)
        return false;
    return isValidHost(out.host);
}

} // namespace

uint16_t defaultPort(int schemeId) {
    switch (schemeId) {
    case kSchemeFtp:
        return 21;
    case kSchemeGopher:
        return 70;
    case kSchemeHttp:
    case kSchemeAssumedHttp:
        return 80;
    case kSchemeHttps:
        return 443;
    case kSchemeSocks:
        return 1080;
    default:
        return 0;
    }
}

unsigned crackUrl(std::string_view text, SCrackedUrl& out) {
    out = SCrackedUrl{};
    if (hasControlCharacter(text))
        return kUrlErrorInvalid;
    const std::string_view scheme = schemePrefix(text);
    const int id = scheme.empty() ? 0 : schemeIdOf(scheme);
    if (id == 0)
        return kUrlErrorUnrecognizedScheme;
    out.schemeId = id;
    out.scheme = std::string(scheme);
    out.port = defaultPort(id);
    std::string_view rest = text.substr(scheme.size() + 1);
    if (rest.substr(0, 2) == "//") {
        rest.remove_prefix(2);
        const size_t end = rest.find_first_of("/?#");
        if (!crackAuthority(rest.substr(0, end), out))
            return kUrlErrorInvalid;
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end);
    }
    const size_t extra = rest.find_first_of("?#");
    out.path = std::string(rest.substr(0, extra));
    if (extra != std::string_view::npos)
        out.extra = std::string(rest.substr(extra));
    return 0;
}

bool CUrlComponents::Parse(const char* text) {
    Reset();
    if (text == nullptr || *text == '\0')
        return true;
    const std::string_view source(text);
    if (source.size() > kUrlMaxParseLength)
        return false;
    SCrackedUrl cracked;
    unsigned error = crackUrl(source, cracked);
    if (error == 0 && !cracked.host.empty()) {
        store(cracked, cracked.schemeId);
        return true;
    }
    if (error != 0 && error != kUrlErrorUnrecognizedScheme)
        return false;
    error = crackUrl("http://" + std::string(source), cracked);
    if (error == 0) {
        cracked.scheme.clear();
        store(cracked, kSchemeAssumedHttp);
        return true;
    }
    if (error != kUrlErrorInvalid)
        return false;
    // A bare path: a dummy host makes it crackable, then goes again.
    if (crackUrl("http://0" + std::string(source), cracked) != 0)
        return false;
    cracked.scheme.clear();
    cracked.host.clear();
    cracked.port = 0;
    store(cracked, kSchemeBarePath);
    return true;
}

void CUrlComponents::Reset() {
    *this = CUrlComponents{};
}

void CUrlComponents::store(const SCrackedUrl& cracked, int id) {
    scheme = cracked.scheme;
    schemeId = id;
    host = cracked.host;
    port = cracked.port;
    user = cracked.user;
    password = cracked.password;
    path = cracked.path;
    if (!path.empty() && path.back() == '/')
        path.pop_back();
    if (!cracked.extra.empty())
        separator = cracked.extra.front() == '#' ? '#' : '?';
    AddArgs(cracked.extra);
    markDirty();
}

void CUrlComponents::AddArgs(std::string_view text) {
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find_first_of("?#&", start), text.size());
        const std::string_view piece = text.substr(start, end - start);
        if (!piece.empty()) {
            const size_t equals = piece.find('=');
            const std::string name(piece.substr(0, equals));
            args[name] = equals == std::string_view::npos ? std::string()
                                                          : std::string(piece.substr(equals + 1));
        }
        start = end + 1;
    }
    markDirty();
}

void CUrlComponents::SetArg(const std::string& name, const std::string& value) {
    args[name] = value;
    markDirty();
}

void CUrlComponents::SetArgs(const Args& newArgs) {
    args = newArgs;
    markDirty();
}

bool CUrlComponents::Merge(const CUrlComponents& base, bool mergeArgs) {
    if (base.host.empty())
        return false;
    scheme = base.scheme;
    schemeId = base.schemeId;
    host = base.host;
    port = base.port;
    user = base.user;
    password = base.password;
    path = base.path + path;
    if (mergeArgs) {
        // insert keeps the request's own value for a name both have.
        for (const auto& [name, value] : base.args)
            args.insert({name, value});
    }
    markDirty();
    return true;
}

const std::string& CUrlComponents::GetArgsText() const {
    if (argsDirty) {
        argsText.clear();
        for (const auto& [name, value] : args) {
            argsText += argsText.empty() ? separator : '&';
            argsText += name;
            if (!value.empty())
                argsText += '=' + value;
        }
        argsDirty = false;
    }
    return argsText;
}

std::string CUrlComponents::GetRequestPath() const {
    return path + GetArgsText();
}

std::string CUrlComponents::composeAuthority() const {
    if (schemeId == kSchemeBarePath || host.empty())
        return {};
    // An assumed scheme composes as "http://" and loses that prefix again.
    std::string text =
        schemeId == kSchemeAssumedHttp
            ? std::string()
            : (scheme.empty() ? std::string(schemeNameOf(schemeId)) : scheme) + "://";
    if (!user.empty() || !password.empty()) {
        text += user;
        if (!password.empty())
            text += ':' + password;
        text += '@';
    }
    text += host;
    if (port != 0 && port != defaultPort(schemeId))
        text += ':' + std::to_string(port);
    return text;
}

const std::string& CUrlComponents::GetUrl() const {
    if (urlDirty) {
        url = composeAuthority() + GetRequestPath();
        const size_t limit =
            kUrlMaxComposedLength - (schemeId == kSchemeAssumedHttp ? std::strlen("http://") : 0);
        if (url.size() > limit)
            url.clear();
        urlDirty = false;
    }
    return url;
}

std::string CUrlComponents::GetBaseUrl() const {
    return composeAuthority();
}
