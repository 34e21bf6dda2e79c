#include "update/manifest/manifest_text.h"

#include "base/byte_order.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void appendUtf8(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool isHighSurrogate(char32_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool isLowSurrogate(char32_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

void appendWide(char32_t cp, std::wstring& out) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (cp >> 10));
            out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
            return;
        }
    }
    out += static_cast<wchar_t>(cp);
}

} // namespace

std::string utf8FromWide(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = static_cast<char32_t>(text[i]);
        if (isHighSurrogate(cp) && i + 1 < text.size() &&
            isLowSurrogate(static_cast<char32_t>(text[i + 1]))) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
            ++i;
        } else if (isHighSurrogate(cp) || isLowSurrogate(cp) || cp > 0x10FFFF) {
            cp = kReplacement;
        }
        appendUtf8(cp, out);
    }
    return out;
}

std::wstring wideFromUtf16Le(const uint8_t* bytes, size_t units) {
    std::wstring out;
    for (size_t i = 0; i < units; ++i) {
        const char32_t u = readLe16(bytes + 2 * i);
        if (u == 0)
            break;
        if (isHighSurrogate(u) && i + 1 < units) {
            const char32_t low = readLe16(bytes + 2 * i + 2);
            if (isLowSurrogate(low)) {
                appendWide(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00), out);
                ++i;
                continue;
            }
        }
        appendWide(isHighSurrogate(u) || isLowSurrogate(u) ? kReplacement : u, out);
    }
    return out;
}

void appendUtf16Le(std::wstring_view text, size_t units, std::vector<uint8_t>& out) {
    std::u16string encoded;
    for (const wchar_t c : text) {
        const auto cp = static_cast<char32_t>(c);
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            encoded += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            encoded += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            encoded += static_cast<char16_t>(cp > 0x10FFFF ? kReplacement : cp);
        }
    }
    encoded.resize(units, u'\0');
    for (const char16_t u : encoded) {
        out.push_back(static_cast<uint8_t>(u & 0xFF));
        out.push_back(static_cast<uint8_t>(u >> 8));
    }
}

std::wstring lowerWide(std::wstring_view text) {
    std::wstring out(text);
    for (wchar_t& c : out)
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    return out;
}

std::optional<uint64_t> parseDecimal(std::string_view text, uint64_t limit) {
    if (text.empty())
        return std::nullopt;
    uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        const auto digit = static_cast<uint64_t>(c - '0');
        if (digit > limit || value > (limit - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}
