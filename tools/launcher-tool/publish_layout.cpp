#include "publish_layout.h"

#include "update/manifest/manifest_text.h"

#include <algorithm>
#include <map>
#include <sstream>

namespace {

using Tokens = std::vector<std::string>;
using Options = std::map<std::string, std::string>;

// key=value tokens from `first` on; false for a token without '=', a
// repeated key or a key not in `allowed`.
bool readOptions(const Tokens& tokens, size_t first, const std::vector<std::string>& allowed,
                 Options& options, std::string& error) {
    for (size_t i = first; i < tokens.size(); ++i) {
        const size_t eq = tokens[i].find('=');
        const std::string key = tokens[i].substr(0, eq);
        if (eq == std::string::npos ||
            std::find(allowed.begin(), allowed.end(), key) == allowed.end()) {
            error = "unexpected \"" + tokens[i] + "\"";
            return false;
        }
        if (!options.emplace(key, tokens[i].substr(eq + 1)).second) {
            error = "repeated " + key + "=";
            return false;
        }
    }
    return true;
}

bool isPackageName(const std::string& name) {
    if (name.size() <= 4 || name.compare(name.size() - 4, 4, ".pkg") != 0 || name[0] == '.')
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '_' || c == '-';
    });
}

bool readPlatform(const Options& options, int& platform, std::string& error) {
    const auto it = options.find("platform");
    if (it == options.end())
        return true;
    if (it->second != "32" && it->second != "64") {
        error = "platform must be 32 or 64";
        return false;
    }
    platform = std::stoi(it->second);
    return true;
}

std::string backslashed(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    while (!path.empty() && path.back() == '\\')
        path.pop_back();
    return path;
}

class CLayoutParser {
public:
    explicit CLayoutParser(PublishLayout& layout) : layout(layout) {}

    bool line(const Tokens& t, std::string& error) {
        const std::string& keyword = t[0];
        if (keyword == "modification" || keyword == "client-version" || keyword == "ignore")
            return text(t, error);
        if (keyword == "launcher")
            return launcher(t, error);
        if (keyword == "pack" || keyword == "increment")
            return pack(t, error);
        if (keyword == "add" || keyword == "rest" || keyword == "info")
            return member(t, error);
        error = "unknown keyword \"" + keyword + "\"";
        return false;
    }

private:
    bool text(const Tokens& t, std::string& error) {
        if (t.size() != 2) {
            error = t[0] + " takes one value";
            return false;
        }
        if (t[0] == "modification")
            layout.modification = t[1];
        else if (t[0] == "client-version")
            layout.clientVersion = t[1];
        else
            layout.ignores.push_back(backslashed(t[1]));
        return true;
    }

    bool launcher(const Tokens& t, std::string& error) {
        Options o;
        if (!readOptions(t, 1, {"version", "file", "size", "crc", "url"}, o, error))
            return false;
        LayoutLauncher l;
        l.version = o["version"];
        l.file = o["file"];
        l.url = o["url"];
        if (o.count("size"))
            l.size = parseDecimal(o["size"]);
        if (o.count("crc"))
            if (const auto crc = parseDecimal(o["crc"], UINT32_MAX))
                l.crc = static_cast<uint32_t>(*crc);
        if (l.version.empty() || l.file.empty() == !l.size || (o.count("crc") && !l.crc) ||
            (!l.file.empty() && o.count("crc"))) {
            error = "launcher needs version= and either file= or a decimal size= (crc= only with "
                    "size=)";
            return false;
        }
        layout.launcher = l;
        return true;
    }

    bool pack(const Tokens& t, std::string& error) {
        const bool increment = t[0] == "increment";
        if (t.size() < (increment ? 2u : 3u)) {
            error = t[0] + " needs a name" + (increment ? "" : " and a type");
            return false;
        }
        LayoutPack p;
        p.file = t[1];
        p.type = increment ? "increment" : t[2];
        Options o;
        if (!readOptions(t, increment ? 2 : 3,
                         increment ? std::vector<std::string>{"platform", "from"}
                                   : std::vector<std::string>{"platform"},
                         o, error) ||
            !readPlatform(o, p.platform, error))
            return false;
        p.from = o["from"];
        if (!isPackageName(p.file)) {
            error = "package name must be a plain file name ending in .pkg: " + p.file;
            return false;
        }
        if (!increment && p.type != "full" && p.type != "ext" && p.type != "int" &&
            p.type != "add") {
            error = "package type must be full, ext, int or add: " + p.type;
            return false;
        }
        if (increment && p.from.empty()) {
            error = "increment needs from=FOLDER";
            return false;
        }
        for (const LayoutPack& other : layout.packs)
            if (other.file == p.file) {
                error = "package listed twice: " + p.file;
                return false;
            }
        layout.packs.push_back(p);
        return true;
    }

    bool member(const Tokens& t, std::string& error) {
        if (layout.packs.empty() || layout.packs.back().type == "increment") {
            error = t[0] + " outside a pack";
            return false;
        }
        LayoutPack& p = layout.packs.back();
        if (t[0] == "rest" && t.size() == 1) {
            p.rest = true;
            return true;
        }
        if (t[0] == "add" && t.size() == 2) {
            p.adds.push_back(backslashed(t[1]));
            return true;
        }
        if (t[0] == "info" && t.size() >= 2)
            return info(t, p, error);
        error = "malformed " + t[0];
        return false;
    }

    bool info(const Tokens& t, LayoutPack& p, std::string& error) {
        Options o;
        if (!readOptions(t, 2, {"name", "exec", "cmdl", "help", "sel"}, o, error))
            return false;
        if ((p.type != "ext" && p.type != "int") || o["name"].empty() || o["exec"].empty()) {
            error = "info needs an ext or int pack, name= and exec=";
            return false;
        }
        if (o.count("sel") && o["sel"] != "0" && o["sel"] != "1") {
            error = "sel must be 0 or 1";
            return false;
        }
        p.infos.push_back({t[1], o["name"], o["exec"], o["cmdl"], o["help"], o["sel"] != "0"});
        return true;
    }

    PublishLayout& layout;
};

} // namespace

bool splitLayoutTokens(std::string_view line, std::vector<std::string>& tokens) {
    tokens.clear();
    std::string token;
    bool inToken = false;
    bool quoted = false;
    for (const char c : line) {
        if (c == '"') {
            quoted = !quoted;
            inToken = true;
        } else if ((c == ' ' || c == '\t' || c == '\r') && !quoted) {
            if (inToken)
                tokens.push_back(std::move(token));
            token.clear();
            inToken = false;
        } else {
            token += c;
            inToken = true;
        }
    }
    if (inToken)
        tokens.push_back(std::move(token));
    return !quoted;
}

bool parsePublishLayout(std::string_view text, PublishLayout& layout, std::string& error) {
    layout = PublishLayout();
    CLayoutParser parser(layout);
    std::istringstream lines{std::string(text)};
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        Tokens tokens;
        const size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#')
            continue;
        std::string reason = "unclosed quote";
        if (!splitLayoutTokens(line, tokens) || !parser.line(tokens, reason)) {
            error = "layout line " + std::to_string(number) + ": " + reason;
            return false;
        }
    }
    return true;
}
