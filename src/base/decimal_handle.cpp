#include "base/decimal_handle.h"

uint64_t parseDecimalHandle(const std::wstring& token) {
    uint64_t value = 0;
    for (const wchar_t c : token) {
        if (c < L'0' || c > L'9')
            return 0;
        const uint64_t digit = static_cast<uint64_t>(c - L'0');
        if (value > (UINT64_MAX - digit) / 10)
            return 0;
        value = value * 10 + digit;
    }
    return value;
}
