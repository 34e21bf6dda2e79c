#include "base/utf8_text.h"

#include <cstdint>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

struct DecodedChar {
    char32_t value = kReplacement;
    size_t length = 1; // bytes consumed; a malformed sequence consumes its lead byte only
    bool valid = false;
};

bool isContinuation(uint8_t byte) {
    return (byte & 0xC0) == 0x80;
}

// One character at `pos`; the caller guarantees pos < text.size().
DecodedChar decodeAt(std::string_view text, size_t pos) {
    const uint8_t lead = static_cast<uint8_t>(text[pos]);
    if (lead < 0x80)
        return {lead, 1, true};
    size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        value = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        value = lead & 0x07;
        minimum = 0x10000;
    } else {
        return {};
    }
    if (text.size() - pos < length)
        return {};
    for (size_t i = 1; i < length; ++i) {
        const uint8_t byte = static_cast<uint8_t>(text[pos + i]);
        if (!isContinuation(byte))
            return {};
        value = (value << 6) | (byte & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return {};
    return {value, length, true};
}

void appendWide(std::wstring& out, char32_t value) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (value >= 0x10000) {
            value -= 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 + (value >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + (value & 0x3FF)));
            return;
        }
    }
    out.push_back(static_cast<wchar_t>(value));
}

} // namespace

std::wstring wideFromUtf8(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (size_t pos = 0; pos < text.size();) {
        const DecodedChar c = decodeAt(text, pos);
        appendWide(out, c.value);
        pos += c.length;
    }
    return out;
}

std::optional<size_t> findInvalidUtf8(std::string_view text) {
    for (size_t pos = 0; pos < text.size();) {
        const DecodedChar c = decodeAt(text, pos);
        if (!c.valid)
            return pos;
        pos += c.length;
    }
    return std::nullopt;
}
