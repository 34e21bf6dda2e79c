// The Windows side of RAR names: stored names are in the OEM code page, the
// program uses the ANSI code page.
#pragma once

#include <string>

// OemToCharBuffA over the whole name; ASCII names come back unchanged.
std::string oemToAnsiRarName(const std::string& stored);

// Makes every CRarReader convert names this way; call once at start-up,
// before any reader runs.
void installRarNameConversion();
