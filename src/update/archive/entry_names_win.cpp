#include "update/archive/entry_names_win.h"

#include "base/windows_win.h"
#include "update/archive/rar_reader.h"
#include "update/archive/zip_file.h"
#include "update/manifest/manifest_text.h"

std::string utf8FromCodePage(unsigned codePage, const std::string& text) {
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int count = ::MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(count), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), count);
    return utf8FromWide(wide);
}

std::string utf8FromOemRarName(const std::string& stored) {
    return utf8FromCodePage(CP_OEMCP, stored);
}

void installRarNameConversion() {
    CRarReader::SetNameConversion(&utf8FromOemRarName);
}

std::string zipEntryNameUtf8(const CZipFile& zip, int index) {
    const std::string stored = zip.GetEntryName(index);
    return zip.IsEntryNameUtf8(index) ? stored : utf8FromCodePage(CP_ACP, stored);
}
