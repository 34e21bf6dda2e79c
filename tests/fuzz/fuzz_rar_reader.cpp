// libFuzzer target: any bytes as a RAR archive. First the unpacker's path:
// the streaming walk over every entry (marker search, block walk, Unicode
// names, entry kinds, libarchive, CRC check) into a sink that stops after
// 16 MiB, so one input costs bounded time whatever its headers promise.
// Archives that unpack within that also go through the archive store's
// in-memory path, with every listed entry looked up. The sanitizers see any
// access out of bounds and any unbounded allocation.
#include "base/mem_read_stream.h"
#include "update/archive/archive_store.h"
#include "update/archive/entry_sink.h"
#include "update/archive/rar_reader.h"

#include <climits>
#include <cstddef>
#include <cstdint>

namespace {

constexpr uint64_t kOutputBudget = 16u << 20;

class CBudgetSink : public IEntrySink {
public:
    bool Write(const uint8_t*, size_t count) override {
        used += count;
        return used <= kOutputBudget;
    }
    uint64_t used = 0;
};

// True when the whole archive unpacked within the budget.
bool streamAll(const uint8_t* data, size_t size) {
    CRarReader reader;
    if (!reader.OpenArchive(new CSimpleMemReadStream(data, static_cast<int>(size))))
        return false;
    CBudgetSink budget;
    for (;;) {
        if (!reader.ExtractNextTo(budget))
            return false;
        if (reader.GetCurrentName().empty())
            return true;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > INT_MAX || !streamAll(data, size))
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
