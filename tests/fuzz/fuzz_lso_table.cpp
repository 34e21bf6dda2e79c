// libFuzzer target: any bytes as a ".lso" language table; after a successful
// load every entry is read back through a language table, so the UTF-8
// decoding sees every byte the loader kept.
#include "base/mem_read_stream.h"
#include "base/utf8_text.h"
#include "ui/lang/launcher_lang.h"
#include "ui/lang/launcher_lang_table.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > INT_MAX)
        return 0;
    CSimpleMemReadStream stream(data, static_cast<int>(size));
    auto lang = std::make_unique<CLauncherLang>("Fuzz", "fz", "", 0);
    if (!lang->load(stream))
        return 0;
    const int count = static_cast<int>(lang->count());
    CLauncherLangTable table;
    if (!table.add(std::move(lang)) || !table.select(0))
        __builtin_trap();
    // One past each end as well: outside the table must read as empty.
    for (int i = -1; i <= count; ++i) {
        const std::wstring text = table.getString(i);
        findInvalidUtf8(table.current()->entry(i));
        if ((i < 0 || i == count) && !text.empty())
            __builtin_trap();
    }
    return 0;
}
