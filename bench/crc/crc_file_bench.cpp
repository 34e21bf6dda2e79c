// Throughput of Crc32 against zlib's crc32 over one file, in two modes:
//   file    the whole file read in 64 KiB pieces (as GNU cksum reads), each
//           piece checksummed as it arrives: comparable with `cksum <file>`;
//   memory  the CRC alone over the file's first bytes (up to 256 MiB) held
//           in memory.
// Prints the CPU's carry-less multiplication support, zlib's version, then
// one line per mode and implementation, the best of <passes> runs:
//   <mode> <implementation> <bytes> <crc> <seconds> <MB/s>   (MB = 10^6 bytes)
#include "base/crc32.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

constexpr size_t kReadPiece = 64 * 1024;
constexpr size_t kMemoryLimit = 256 * 1024 * 1024;

struct Implementation {
    const char* name;
    // Advances a finished CRC (0 before the first piece) over one piece.
    uint32_t (*update)(uint32_t crc, bool first, const uint8_t* bytes, size_t count);
};

uint32_t updateOurs(uint32_t crc, bool first, const uint8_t* bytes, size_t count) {
    const unsigned n = static_cast<unsigned>(count);
    return first ? Crc32(bytes, n) : Crc32Continue(bytes, n, crc);
}

uint32_t updateZlib(uint32_t crc, bool, const uint8_t* bytes, size_t count) {
    return static_cast<uint32_t>(crc32_z(crc, bytes, count));
}

const Implementation kImplementations[] = {{"Crc32", updateOurs}, {"zlib", updateZlib}};

struct Result {
    size_t bytes = 0;
    uint32_t crc = 0;
    double seconds = 0;
};

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

FilePtr openUnbuffered(const char* path) {
    FilePtr file(std::fopen(path, "rb"));
    if (file)
        std::setvbuf(file.get(), nullptr, _IONBF, 0);
    return file;
}

bool checksumFile(const char* path, const Implementation& impl, Result& result) {
    FilePtr file = openUnbuffered(path);
    if (!file)
        return false;
    std::vector<uint8_t> piece(kReadPiece);
    result = Result{};
    const Clock::time_point start = Clock::now();
    for (;;) {
        const size_t got = std::fread(piece.data(), 1, piece.size(), file.get());
        if (got == 0)
            break;
        result.crc = impl.update(result.crc, result.bytes == 0, piece.data(), got);
        result.bytes += got;
    }
    result.seconds = secondsSince(start);
    return std::ferror(file.get()) == 0;
}

std::vector<uint8_t> loadHead(const char* path) {
    std::vector<uint8_t> bytes(kMemoryLimit);
    FilePtr file = openUnbuffered(path);
    const size_t got = file ? std::fread(bytes.data(), 1, bytes.size(), file.get()) : 0;
    bytes.resize(got);
    return bytes;
}

Result checksumMemory(const std::vector<uint8_t>& bytes, const Implementation& impl) {
    Result result;
    const Clock::time_point start = Clock::now();
    result.crc = impl.update(0, true, bytes.data(), bytes.size());
    result.seconds = secondsSince(start);
    result.bytes = bytes.size();
    return result;
}

void print(const char* mode, const Implementation& impl, const Result& best) {
    std::printf("%s %s %zu %08x %.4f %.0f\n", mode, impl.name, best.bytes,
                static_cast<unsigned>(best.crc), best.seconds, best.bytes / best.seconds / 1e6);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: crc_file_bench <file> [passes]\n");
        return 2;
    }
    const char* path = argv[1];
    const int passes = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    std::printf("clmul %s\nzlib %s\n", crc32_paths::clmulAvailable() ? "yes" : "no", zlibVersion());

    for (const Implementation& impl : kImplementations) {
        Result best;
        for (int pass = 0; pass < passes; ++pass) {
            Result run;
            if (!checksumFile(path, impl, run)) {
                std::fprintf(stderr, "crc_file_bench: cannot read %s\n", path);
                return 1;
            }
            if (pass == 0 || run.seconds < best.seconds)
                best = run;
        }
        print("file", impl, best);
    }

    const std::vector<uint8_t> head = loadHead(path);
    if (head.empty()) {
        std::fprintf(stderr, "crc_file_bench: %s is empty\n", path);
        return 1;
    }
    for (const Implementation& impl : kImplementations) {
        Result best;
        for (int pass = 0; pass < passes; ++pass) {
            const Result run = checksumMemory(head, impl);
            if (pass == 0 || run.seconds < best.seconds)
                best = run;
        }
        print("memory", impl, best);
    }
    return 0;
}
