// One language string table (".lso"), loaded from a read stream:
//   u32 count, u32 reserved (must be 0), then count entries of
//   u32 byte length + that many bytes of UTF-8 text (not terminated);
// all little-endian. Entry i is language string i. Used on the GUI thread.
#pragma once

#include "base/mem_read_stream.h"
#include "base/unk.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CLauncherLang {
public:
    CLauncherLang(std::string longName, std::string code, std::string localeName, int id);
    CLauncherLang(const CLauncherLang&) = delete;
    CLauncherLang& operator=(const CLauncherLang&) = delete;

    // Replaces the entries with the stream's table. False (and no entries)
    // when the reserved word is not 0, the count is 0, the stream cannot
    // tell its size, or any read comes up short. Counts and lengths are
    // checked against the bytes the stream still holds before anything is
    // allocated, so a hostile header cannot make it reserve gigabytes.
    // The stream is closed in every case.
    bool load(ISimpleReadStream& stream);

    size_t count() const { return entries.size(); }
    // The entry's bytes (UTF-8, zero-terminated in storage); empty outside
    // the table.
    std::string_view entry(int index) const;
    // The entry decoded to UTF-16; empty outside the table.
    std::wstring text(int index) const;

    const std::string& longName() const { return sLongName; }
    const std::string& code() const { return sCode; }
    const std::string& localeName() const { return sLocaleName; }
    int id() const { return nId; }

    // Windows locale id of the locale name (0 when the name is empty or
    // unknown) and the C-runtime locale made from it (null when none); both
    // are platform objects the Windows side fills after loading.
    uint32_t nLcid = 0;
    std::unique_ptr<IUnk> pCrtLocale;

private:
    std::vector<std::string> entries;
    std::string sLongName;
    std::string sCode;
    std::string sLocaleName;
    int nId = 0;
};
