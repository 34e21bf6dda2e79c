// Unpacks RAR archives through CRarReader's streaming extraction (every
// file's bytes to a CRC-checking sink that keeps nothing) and prints, per
// archive, the bytes unpacked and the rate over as many rounds as fill a
// quarter of a second (three at least), or why it failed. The
// same source is linked against two libarchive builds by the script beside
// it, so the decoders compare in one run. Prints figures, asserts none.
//   rar_unpack_bench ARCHIVE...
#include "base/mem_read_stream.h"
#include "update/archive/entry_sink.h"
#include "update/archive/rar_reader.h"

#include <archive.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct SUnpacked {
    bool ok = false;
    uint64_t bytes = 0;
    std::string error;
};

SUnpacked unpackAll(const std::vector<uint8_t>& archive) {
    SUnpacked result;
    CRarReader reader;
    if (!reader.OpenArchive(
            new CSimpleMemReadStream(archive.data(), static_cast<int>(archive.size())))) {
        result.error = reader.GetLastErrorText();
        return result;
    }
    for (;;) {
        CDiscardEntrySink none;
        CCrcEntrySink counted(none);
        if (!reader.ExtractNextTo(counted)) {
            result.error = reader.GetLastErrorText();
            return result;
        }
        if (reader.GetCurrentName().empty())
            break;
        result.bytes += counted.GetCount();
    }
    result.ok = true;
    return result;
}

constexpr double kMinSeconds = 0.25;
constexpr int kMinRounds = 3;

} // namespace

int main(int argc, char** argv) {
    std::printf("%s\n", archive_version_string());
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        const std::vector<uint8_t> archive(std::istreambuf_iterator<char>(in), {});
        const auto start = std::chrono::steady_clock::now();
        SUnpacked result;
        int rounds = 0;
        double seconds = 0;
        while (rounds < kMinRounds || seconds < kMinSeconds) {
            result = unpackAll(archive);
            ++rounds;
            seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (!result.ok)
                break;
        }
        const char* name = argv[i];
        for (const char* p = argv[i]; *p; ++p)
            if (*p == '/')
                name = p + 1;
        if (result.ok)
            std::printf("  %-28s %8.1f MB x %3d rounds  %8.1f MB/s\n", name, result.bytes / 1e6,
                        rounds, result.bytes * rounds / 1e6 / seconds);
        else
            std::printf("  %-28s failed: %s\n", name, result.error.c_str());
    }
    return 0;
}
