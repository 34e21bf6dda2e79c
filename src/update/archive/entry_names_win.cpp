#include "update/archive/entry_names_win.h"

#include "base/log/log_file_io_win.h"
#include "base/windows_win.h"
#include "update/archive/rar_reader.h"
#include "update/archive/zip_file.h"
#include "update/manifest/manifest_text.h"

std::string utf8FromCodePage(unsigned codePage, const std::string& text) {
    return utf8FromWide(wideFromCodePage(codePage, text));
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
