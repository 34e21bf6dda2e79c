// libFuzzer target: any bytes as a RAR archive, through the archive store's
// whole path (marker search, block walk, libarchive, CRC check) and then
// every listed entry looked up, so the sanitizers see any access out of
// bounds and any unbounded allocation.
#include "base/mem_read_stream.h"
#include "update/archive/archive_store.h"
#include "update/archive/rar_reader.h"

#include <climits>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > INT_MAX)
        return 0;
    CArchiveHelperRar store;
    store.LoadArchive(data, static_cast<unsigned>(size));
    CRarReader reader;
    if (!reader.OpenArchive(new CSimpleMemReadStream(data, static_cast<int>(size))))
        return 0;
    uint8_t* bytes = nullptr;
    int length = 0;
    for (const RarEntry& entry : reader.GetEntries())
        store.GetFile(entry.name.c_str(), &bytes, &length);
    delete[] bytes;
    return 0;
}
