// CRC-32 over in-memory buffers from 16 bytes to 1 MiB: Crc32 (folding with
// carry-less multiplication where the CPU has it), its table paths, and zlib.
// Short sizes show the cost of the head, tail and reduction steps.
#include "base/crc32.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <random>
#include <vector>

namespace {

const std::vector<uint8_t>& randomBytes() {
    static const std::vector<uint8_t> bytes = [] {
        std::vector<uint8_t> v(1 << 20);
        std::mt19937 generator(7);
        for (uint8_t& b : v)
            b = static_cast<uint8_t>(generator());
        return v;
    }();
    return bytes;
}

template <typename Checksum>
void run(benchmark::State& state, Checksum checksum) {
    const std::vector<uint8_t>& bytes = randomBytes();
    const size_t count = static_cast<size_t>(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(checksum(bytes.data(), count));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(count));
}

void Crc32Dispatch(benchmark::State& state) {
    run(state, [](const uint8_t* p, size_t n) { return Crc32(p, static_cast<unsigned>(n)); });
}
void Crc32Sliced(benchmark::State& state) {
    run(state, [](const uint8_t* p, size_t n) { return crc32_paths::sliced(~0u, p, n); });
}
void Crc32Bytewise(benchmark::State& state) {
    run(state, [](const uint8_t* p, size_t n) { return crc32_paths::bytewise(~0u, p, n); });
}
void ZlibCrc32(benchmark::State& state) {
    run(state, [](const uint8_t* p, size_t n) { return crc32_z(0, p, n); });
}

// 100 bytes: an unaligned head and tail around the shortest folded part.
void sizes(benchmark::internal::Benchmark* b) {
    for (int size : {16, 64, 100, 256, 4096, 65536, 1 << 20})
        b->Arg(size);
}

BENCHMARK(Crc32Dispatch)->Apply(sizes);
BENCHMARK(ZlibCrc32)->Apply(sizes);
BENCHMARK(Crc32Sliced)->Apply(sizes);
BENCHMARK(Crc32Bytewise)->Apply(sizes);

} // namespace

BENCHMARK_MAIN();
