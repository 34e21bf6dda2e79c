#include "ui/lang/lang_format.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <optional>

namespace {

// Digits after the point that a 64-bit integer holds with any progress value.
constexpr int kMaxPrecision = 9;

struct Placeholder {
    size_t begin = 0;
    size_t end = 0; // one past the conversion letter
    wchar_t conversion = 0;
    int precision = -1;
};

std::optional<Placeholder> readPlaceholder(const std::wstring& text, size_t at) {
    Placeholder p;
    p.begin = at;
    size_t i = at + 1;
    while (i < text.size() && std::wcschr(L"-+ #0", text[i]) != nullptr)
        ++i;
    while (i < text.size() && std::iswdigit(static_cast<wint_t>(text[i])))
        ++i;
    if (i < text.size() && text[i] == L'.') {
        int precision = 0;
        ++i;
        for (; i < text.size() && std::iswdigit(static_cast<wint_t>(text[i])); ++i)
            precision = std::min(precision * 10 + (text[i] - L'0'), kMaxPrecision);
        p.precision = precision;
    }
    while (i < text.size() && std::wcschr(L"hlLzjt", text[i]) != nullptr)
        ++i;
    if (i >= text.size() || std::wcschr(L"diufFeEgGxXsS", text[i]) == nullptr)
        return std::nullopt;
    p.conversion = text[i];
    p.end = i + 1;
    return p;
}

std::wstring fixed(double value, int precision) {
    if (precision < 0)
        precision = 6;
    const bool negative = value < 0;
    const double magnitude = negative ? -value : value;
    if (!(magnitude < 1e9))
        return std::to_wstring(value);
    double scale = 1;
    for (int i = 0; i < precision; ++i)
        scale *= 10;
    const auto scaled = static_cast<unsigned long long>(magnitude * scale + 0.5);
    const auto scaleWhole = static_cast<unsigned long long>(scale);
    std::wstring digits = std::to_wstring(scaled / scaleWhole);
    if (precision > 0) {
        std::wstring fraction = std::to_wstring(scaled % scaleWhole);
        digits +=
            L"." + std::wstring(static_cast<size_t>(precision) - fraction.size(), L'0') + fraction;
    }
    return negative ? L"-" + digits : digits;
}

std::optional<std::wstring> render(const Placeholder& p, const LangArg& value) {
    const bool wantsText = p.conversion == L's' || p.conversion == L'S';
    const bool wantsFloat = std::wcschr(L"fFeEgG", p.conversion) != nullptr;
    if (const auto* text = std::get_if<std::wstring>(&value))
        return wantsText ? std::optional(*text) : std::nullopt;
    if (wantsText)
        return std::nullopt;
    if (const auto* number = std::get_if<double>(&value))
        return wantsFloat ? std::optional(fixed(*number, p.precision)) : std::nullopt;
    const long long whole = std::get<long long>(value);
    return wantsFloat ? fixed(static_cast<double>(whole), p.precision) : std::to_wstring(whole);
}

std::wstring plainText(const LangArg& value) {
    if (const auto* text = std::get_if<std::wstring>(&value))
        return *text;
    if (const auto* number = std::get_if<double>(&value))
        return fixed(*number, 1);
    return std::to_wstring(std::get<long long>(value));
}

} // namespace

std::wstring formatLangText(const std::wstring& format, const std::vector<LangArg>& values) {
    std::wstring out;
    std::wstring withoutPlaceholders;
    size_t next = 0;
    bool fits = true;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != L'%') {
            out += format[i];
            withoutPlaceholders += format[i];
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == L'%') {
            out += L'%';
            withoutPlaceholders += L'%';
            ++i;
            continue;
        }
        const std::optional<Placeholder> p = readPlaceholder(format, i);
        if (!p) {
            fits = false;
            continue;
        }
        const std::optional<std::wstring> text =
            next < values.size() ? render(*p, values[next]) : std::nullopt;
        ++next;
        if (text)
            out += *text;
        else
            fits = false;
        i = p->end - 1;
    }
    if (fits && next == values.size())
        return out;
    for (const LangArg& value : values)
        withoutPlaceholders += L" " + plainText(value);
    return withoutPlaceholders;
}
