#include "base/system_message_win.h"

std::wstring systemMessageText(uint32_t code, HMODULE module, bool systemTable) {
    DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS;
    if (module != nullptr)
        flags |= FORMAT_MESSAGE_FROM_HMODULE;
    if (systemTable)
        flags |= FORMAT_MESSAGE_FROM_SYSTEM;
    wchar_t* text = nullptr;
    const DWORD length =
        ::FormatMessageW(flags, module, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring result = length > 0 && text != nullptr ? std::wstring(text, length) : L"";
    ::LocalFree(text);
    while (!result.empty() && std::wstring_view(L"\r\n ").find(result.back()) != std::wstring::npos)
        result.pop_back();
    return result;
}
