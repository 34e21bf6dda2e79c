#include "lso_text.h"

#include "base/hex_digit.h"
#include "base/mem_read_stream.h"
#include "base/utf8_text.h"
#include "ui/lang/launcher_lang.h"

#include <climits>
#include <cstdio>
#include <map>
#include <optional>

namespace {

bool isControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

std::string lineError(size_t line, const std::string& message) {
    return "line " + std::to_string(line) + ": " + message;
}

// The text after the tab with its escapes resolved; false with a reason.
bool unescapeText(std::string_view in, std::string& out, std::string& reason) {
    out.clear();
    for (size_t i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c != '\\') {
            if (isControl(static_cast<unsigned char>(c))) {
                reason = "raw control character in text (write \\t, \\n or \\xHH)";
                return false;
            }
            out.push_back(c);
            continue;
        }
        if (++i == in.size()) {
            reason = "backslash at the end of the line";
            return false;
        }
        switch (in[i]) {
        case 'n':
            out.push_back('\n');
            break;
        case 'r':
            out.push_back('\r');
            break;
        case 't':
            out.push_back('\t');
            break;
        case '\\':
            out.push_back('\\');
            break;
        case 'x': {
            const auto hi = i + 1 < in.size() ? hexDigitValue(in[i + 1]) : std::nullopt;
            const auto lo = i + 2 < in.size() ? hexDigitValue(in[i + 2]) : std::nullopt;
            if (!hi || !lo) {
                reason = "\\x needs two hexadecimal digits";
                return false;
            }
            out.push_back(static_cast<char>(*hi * 16 + *lo));
            i += 2;
            break;
        }
        default:
            reason = std::string("unknown escape \\") + in[i];
            return false;
        }
    }
    return true;
}

std::optional<uint32_t> parseIndex(std::string_view digits) {
    if (digits.empty() || digits.size() > 9)
        return std::nullopt;
    uint32_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    return value;
}

// One "index<TAB>text" line into `entries`; false with a reason.
bool parseEntryLine(std::string_view line, std::map<uint32_t, std::string>& entries,
                    std::string& reason) {
    const size_t tab = line.find('\t');
    if (tab == std::string_view::npos) {
        reason = "expected an index, a tab and the text";
        return false;
    }
    const std::optional<uint32_t> index = parseIndex(line.substr(0, tab));
    if (!index) {
        reason = "bad index \"" + std::string(line.substr(0, tab)) + "\"";
        return false;
    }
    if (*index > kLsoMaxIndex) {
        reason = "index " + std::to_string(*index) + " is above " + std::to_string(kLsoMaxIndex);
        return false;
    }
    if (entries.count(*index) != 0) {
        reason = "index " + std::to_string(*index) + " appears twice";
        return false;
    }
    std::string text;
    if (!unescapeText(line.substr(tab + 1), text, reason))
        return false;
    if (const auto bad = findInvalidUtf8(text)) {
        reason = "text is not valid UTF-8 (byte " + std::to_string(*bad + 1) + " of the text)";
        return false;
    }
    entries.emplace(*index, std::move(text));
    return true;
}

bool collectEntries(const std::map<uint32_t, std::string>& byIndex,
                    std::vector<std::string>& entries, std::string& error) {
    if (byIndex.empty()) {
        error = "the table has no entries";
        return false;
    }
    uint32_t expected = 0;
    for (const auto& [index, text] : byIndex) {
        if (index != expected) {
            error = "index " + std::to_string(expected) + " is missing";
            return false;
        }
        ++expected;
    }
    entries.clear();
    for (const auto& entry : byIndex)
        entries.push_back(entry.second);
    return true;
}

void appendEscaped(std::string& out, std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (isControl(byte)) {
            char hex[8];
            std::snprintf(hex, sizeof(hex), "\\x%02X", byte);
            out += hex;
        } else
            out.push_back(c);
    }
}

void appendU32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

} // namespace

bool parseLsoText(std::string_view text, std::vector<std::string>& entries, std::string& error) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    std::map<uint32_t, std::string> byIndex;
    size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.front() == '#')
            continue;
        std::string reason;
        if (!parseEntryLine(line, byIndex, reason)) {
            error = lineError(lineNumber, reason);
            return false;
        }
    }
    return collectEntries(byIndex, entries, error);
}

bool formatLsoText(const std::vector<std::string>& entries, std::string& text, std::string& error) {
    text.clear();
    for (size_t i = 0; i < entries.size(); ++i) {
        if (findInvalidUtf8(entries[i])) {
            error = "entry " + std::to_string(i) + " is not valid UTF-8";
            return false;
        }
        const std::string index = std::to_string(i);
        text.append(index.size() < 3 ? 3 - index.size() : 0, '0');
        text += index;
        text.push_back('\t');
        appendEscaped(text, entries[i]);
        text.push_back('\n');
    }
    return true;
}

std::vector<uint8_t> encodeLso(const std::vector<std::string>& entries) {
    std::vector<uint8_t> out;
    appendU32(out, static_cast<uint32_t>(entries.size()));
    appendU32(out, 0);
    for (const std::string& entry : entries) {
        appendU32(out, static_cast<uint32_t>(entry.size()));
        out.insert(out.end(), entry.begin(), entry.end());
    }
    return out;
}

bool decodeLso(const std::vector<uint8_t>& bytes, std::vector<std::string>& entries,
               std::string& error) {
    if (bytes.size() > static_cast<size_t>(INT_MAX)) {
        error = "file too large for a language table";
        return false;
    }
    CSimpleMemReadStream stream(bytes.data(), static_cast<int>(bytes.size()));
    CLauncherLang lang("", "", "", 0);
    if (!lang.load(stream)) {
        error = "not a language table (bad header, no entries or truncated)";
        return false;
    }
    entries.clear();
    for (size_t i = 0; i < lang.count(); ++i)
        entries.emplace_back(lang.entry(static_cast<int>(i)));
    return true;
}
