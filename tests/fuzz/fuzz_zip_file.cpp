// libFuzzer target: any bytes as a zip archive; every entry is looked up by
// its name and extracted into a buffer of exactly its central size, so the
// sanitizers see any read or write out of bounds.
#include "update/archive/zip_file.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

// The caller allocates what the central record claims; larger entries are
// listed but not extracted, as a real caller would refuse them.
constexpr uint32_t kMaxExtractSize = 1u << 20;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > INT_MAX)
        return 0;
    CZipFile zip;
    if (zip.OpenZip(std::make_unique<CSimpleMemReadStream>(data, static_cast<int>(size))) !=
        ZIP_S_OK)
        return 0;
    for (int i = 0; i < zip.GetCount(); ++i) {
        int found = -1;
        zip.FindEntry(zip.GetEntryName(i).c_str(), &found);
        const uint32_t entrySize = zip.GetEntrySize(i);
        if (entrySize > kMaxExtractSize)
            continue;
        const auto out = std::make_unique<uint8_t[]>(std::max(entrySize, 1u));
        zip.ExtractEntry(i, out.get());
    }
    return 0;
}
