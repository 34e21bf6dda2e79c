// The Windows side of archive entry names: the launcher works with entry
// names in UTF-8. Names an archive carries in Unicode (a RAR Unicode name, a
// ZIP name flagged UTF-8) are used as they are; the others are converted from
// the code page their archiver used: OEM for RAR, ANSI for ZIP.
#pragma once

#include <string>

class CZipFile;

// The bytes of `text` in code page `codePage`, as UTF-8.
std::string utf8FromCodePage(unsigned codePage, const std::string& text);

// A RAR name that has only its OEM form, as UTF-8.
std::string utf8FromOemRarName(const std::string& stored);

// Makes every CRarReader convert OEM-only names this way; call once at
// start-up, before any reader runs.
void installRarNameConversion();

// Entry `index` of `zip`, as UTF-8.
std::string zipEntryNameUtf8(const CZipFile& zip, int index);
