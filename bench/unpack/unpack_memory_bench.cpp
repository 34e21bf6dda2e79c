// Writes a zip with one entry of 1 GiB of compressible bytes (deflated while
// generated, never held in memory), unpacks it through CZipFile's streaming
// extraction into a file, checks size and CRC, and prints the process's peak
// memory before and after the unpacking. Prints figures, asserts none; exits
// non-zero only when the unpacked file is wrong.
//   unpack_memory_bench <work folder> [entry MiB]
#include "base/byte_order.h"
#include "base/crc32.h"
#include "update/archive/entry_sink.h"
#include "update/archive/zip_file.h"

#include <sys/resource.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr size_t kPiece = 1 << 20;

long peakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Level data: long runs with a little variation, like game assets compress.
void fillPiece(std::vector<uint8_t>& piece, uint64_t offset) {
    for (size_t i = 0; i < piece.size(); ++i) {
        const uint64_t at = offset + i;
        piece[i] = static_cast<uint8_t>((at >> 12) * 31 + ((at & 63) == 0 ? at >> 6 : 0));
    }
}

std::vector<uint8_t> header(bool central, uint32_t crc, uint32_t packed, uint32_t size) {
    const std::string name = "big.bin";
    std::vector<uint8_t> h;
    appendLe32(h, central ? 0x02014B50 : 0x04034B50);
    if (central)
        appendLe16(h, 20);
    appendLe16(h, 20);         // version needed
    appendLe16(h, 0);          // flags
    appendLe16(h, 8);          // deflated
    appendLe32(h, 0x00210000); // 1980-01-01
    appendLe32(h, crc);
    appendLe32(h, packed);
    appendLe32(h, size);
    appendLe16(h, static_cast<uint32_t>(name.size()));
    appendLe16(h, 0); // extra
    if (central) {
        appendLe16(h, 0); // comment
        appendLe16(h, 0); // disk
        appendLe16(h, 0); // internal attributes
        appendLe32(h, 0); // external attributes
        appendLe32(h, 0); // local header offset
    }
    h.insert(h.end(), name.begin(), name.end());
    return h;
}

// Two passes over the generator: the CRC first (the local header needs
// it), then the deflate stream.
bool writeArchive(const std::string& path, uint64_t size, uint32_t& crc, uint64_t& packed) {
    std::vector<uint8_t> piece(kPiece);
    crc = 0;
    for (uint64_t at = 0; at < size; at += kPiece) {
        fillPiece(piece, at);
        crc = Crc32Continue(piece.data(), static_cast<unsigned>(kPiece), crc);
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(file, &std::fclose);
    const std::vector<uint8_t> local = header(false, crc, 0, static_cast<uint32_t>(size));
    std::fwrite(local.data(), 1, local.size(), file);
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::vector<uint8_t> out(kPiece);
    packed = 0;
    for (uint64_t at = 0;; at += kPiece) {
        const bool last = at + kPiece >= size;
        fillPiece(piece, at);
        z.next_in = piece.data();
        z.avail_in = static_cast<uInt>(kPiece);
        do {
            z.next_out = out.data();
            z.avail_out = static_cast<uInt>(out.size());
            deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
            const size_t n = out.size() - z.avail_out;
            std::fwrite(out.data(), 1, n, file);
            packed += n;
        } while (z.avail_out == 0);
        if (last)
            break;
    }
    deflateEnd(&z);
    const std::vector<uint8_t> central =
        header(true, crc, static_cast<uint32_t>(packed), static_cast<uint32_t>(size));
    std::vector<uint8_t> end;
    appendLe32(end, 0x06054B50);
    appendLe32(end, 0);
    appendLe16(end, 1);
    appendLe16(end, 1);
    appendLe32(end, static_cast<uint32_t>(central.size()));
    appendLe32(end, static_cast<uint32_t>(local.size() + packed));
    appendLe16(end, 0);
    std::fwrite(central.data(), 1, central.size(), file);
    std::fwrite(end.data(), 1, end.size(), file);
    // The packed size is known only now: patched into the local header.
    std::fseek(file, 18, SEEK_SET);
    std::vector<uint8_t> packedField;
    appendLe32(packedField, static_cast<uint32_t>(packed));
    std::fwrite(packedField.data(), 1, 4, file);
    return std::ferror(file) == 0;
}

// The archive read from its file, as the unpacker reads a package.
class CStdioReadStream : public ISimpleReadStream {
public:
    explicit CStdioReadStream(std::FILE* f) : file(f) {
        std::fseek(file, 0, SEEK_END);
        size = std::ftell(file);
        std::fseek(file, 0, SEEK_SET);
    }
    ~CStdioReadStream() override { Close(); }
    bool Seek(int64_t offset, int origin) override {
        const long base = origin == eSeekOrigin_End     ? size
                          : origin == eSeekOrigin_Begin ? 0
                                                        : position;
        if (!file || base + offset < 0 || base + offset > size)
            return false;
        position = base + offset;
        return std::fseek(file, position, SEEK_SET) == 0;
    }
    bool Read(void* dest, int count) override {
        if (!file || !dest || count <= 0 || position >= size)
            return false;
        std::memset(dest, 0, static_cast<size_t>(count));
        position += static_cast<long>(std::fread(dest, 1, static_cast<size_t>(count), file));
        return true;
    }
    int64_t Tell() const override { return position; }
    bool Close() override {
        if (file)
            std::fclose(file);
        file = nullptr;
        return true;
    }

private:
    std::FILE* file;
    long size = 0;
    long position = 0;
};

class CFileSink : public IEntrySink {
public:
    explicit CFileSink(std::FILE* f) : file(f) {}
    bool Write(const uint8_t* bytes, size_t count) override {
        return std::fwrite(bytes, 1, count, file) == count;
    }

private:
    std::FILE* file;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: unpack_memory_bench <work folder> [entry MiB]\n");
        return 2;
    }
    const std::string folder = argv[1];
    const uint64_t size = (argc > 2 ? std::stoull(argv[2]) : 1024) << 20;
    const std::string archive = folder + "/unpack-bench.zip";
    const std::string target = folder + "/unpack-bench.bin";
    uint32_t crc = 0;
    uint64_t packed = 0;
    if (!writeArchive(archive, size, crc, packed)) {
        std::fprintf(stderr, "cannot write %s\n", archive.c_str());
        return 1;
    }
    const long before = peakKiB();
    std::FILE* in = std::fopen(archive.c_str(), "rb");
    std::FILE* out = std::fopen(target.c_str(), "wb");
    if (!in || !out)
        return 1;
    CZipFile zip;
    const auto start = std::chrono::steady_clock::now();
    ZipResult result = zip.OpenZip(std::make_unique<CStdioReadStream>(in));
    CFileSink file(out);
    CCrcEntrySink checked(file);
    if (result == ZIP_S_OK)
        result = zip.ExtractEntryTo(0, checked);
    std::fclose(out);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long after = peakKiB();
    std::remove(archive.c_str());
    std::remove(target.c_str());
    std::printf("entry %llu MiB, archive %.1f MiB, unpacked in %.2f s (%.0f MB/s)\n",
                static_cast<unsigned long long>(size >> 20), packed / 1048576.0, seconds,
                size / seconds / 1e6);
    std::printf("peak memory: %.1f MiB before unpacking, %.1f MiB after\n", before / 1024.0,
                after / 1024.0);
    const bool good = result == ZIP_S_OK && checked.GetCount() == size && checked.GetCrc() == crc;
    std::printf("result %s\n", good ? "ok (size and CRC match)" : "WRONG");
    return good ? 0 : 1;
}
