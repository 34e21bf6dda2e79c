#include "update/archive/rar_decoder.h"

#include "base/mem_read_stream.h"
#include "update/archive/entry_sink.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>

namespace {

constexpr size_t kChunkSize = 0x10000;

// libarchive shows '\\' separators as '/'.
bool sameName(const std::string& stored, const char* shown) {
    if (!shown)
        return false;
    std::string expected = stored;
    std::replace(expected.begin(), expected.end(), '\\', '/');
    return expected == shown;
}

bool isAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

struct CRarDecoder::Source {
    ISimpleReadStream* stream = nullptr;
    int64_t position = 0; // libarchive's read position in the stream
    int64_t end = 0;
    std::vector<uint8_t> input; // valid until libarchive asks for more
};

namespace {

la_ssize_t readSource(archive*, void* client, const void** buffer) {
    auto* source = static_cast<CRarDecoder::Source*>(client);
    const int count =
        static_cast<int>(std::min<int64_t>(source->end - source->position, source->input.size()));
    if (count <= 0)
        return 0;
    ISimpleReadStream* stream = source->stream;
    const int64_t saved = stream->Tell();
    bool ok = stream->Seek(source->position, eSeekOrigin_Begin) &&
              stream->Read(source->input.data(), count) &&
              stream->Tell() == source->position + count;
    ok = stream->Seek(saved, eSeekOrigin_Begin) && ok;
    if (!ok)
        return ARCHIVE_FATAL;
    source->position += count;
    *buffer = source->input.data();
    return count;
}

la_int64_t skipSource(archive*, void* client, la_int64_t request) {
    auto* source = static_cast<CRarDecoder::Source*>(client);
    const la_int64_t count = std::clamp<la_int64_t>(request, 0, source->end - source->position);
    source->position += count;
    return count;
}

} // namespace

CRarDecoder::CRarDecoder() = default;

CRarDecoder::~CRarDecoder() {
    Close();
}

bool CRarDecoder::Open(ISimpleReadStream* stream, int64_t start, int64_t stop, std::string& error) {
    Close();
    source = std::make_unique<Source>();
    source->stream = stream;
    source->position = start;
    source->end = stop;
    source->input.resize(kChunkSize);
    output.resize(kChunkSize);
    headersRead = 0;
    handle = archive_read_new();
    if (!handle) {
        error = "libarchive could not be set up";
        return false;
    }
    if (archive_read_support_format_rar(handle) != ARCHIVE_OK ||
        archive_read_set_read_callback(handle, &readSource) != ARCHIVE_OK ||
        archive_read_set_skip_callback(handle, &skipSource) != ARCHIVE_OK ||
        archive_read_set_callback_data(handle, source.get()) != ARCHIVE_OK ||
        archive_read_open1(handle) != ARCHIVE_OK) {
        error = "libarchive cannot open the archive: " + libraryError();
        Close();
        return false;
    }
    return true;
}

void CRarDecoder::Close() {
    if (handle)
        archive_read_free(handle);
    handle = nullptr;
    source.reset();
    output.clear();
    output.shrink_to_fit();
}

bool CRarDecoder::Unpack(size_t ordinal, const RarFileHeader& header, IEntrySink& out,
                         size_t chunkSize, std::string& error) {
    if (!handle || chunkSize == 0) {
        error = "decompressor not open";
        return false;
    }
    return skipTo(ordinal, header, error) && readData(header, out, chunkSize, error);
}

bool CRarDecoder::skipTo(size_t ordinal, const RarFileHeader& header, std::string& error) {
    if (headersRead > ordinal) {
        error = "decompressor already past this entry";
        return false;
    }
    archive_entry* entry = nullptr;
    while (headersRead <= ordinal) {
        const int result = archive_read_next_header(handle, &entry);
        if (result != ARCHIVE_OK && result != ARCHIVE_WARN) {
            error = result == ARCHIVE_EOF ? "libarchive found fewer entries than the archive lists"
                                          : "libarchive: " + libraryError();
            return false;
        }
        ++headersRead;
    }
    // libarchive decodes Unicode names itself; only plain names compare.
    if (!(header.flags & kRarFileUnicodeName) && isAscii(header.name) &&
        !sameName(header.name, archive_entry_pathname(entry))) {
        error = "libarchive's entry is named differently";
        return false;
    }
    if (archive_entry_size_is_set(entry) &&
        static_cast<uint64_t>(archive_entry_size(entry)) != header.unpackedSize) {
        error = "libarchive's entry has a different size";
        return false;
    }
    return true;
}

bool CRarDecoder::readData(const RarFileHeader& header, IEntrySink& out, size_t chunkSize,
                           std::string& error) {
    const uint64_t expected = header.unpackedSize;
    const size_t pieceSize = std::min(chunkSize, output.size());
    uint64_t total = 0;
    for (;;) {
        const la_ssize_t got = archive_read_data(handle, output.data(), pieceSize);
        if (got < 0) {
            error = "libarchive: " + libraryError();
            return false;
        }
        if (got == 0)
            break;
        const auto count = static_cast<size_t>(got);
        if (count > expected - total) {
            error = "more data than the header's unpacked size";
            return false;
        }
        if (!out.Write(output.data(), count)) {
            error = "the unpacked data could not be stored";
            return false;
        }
        total += count;
    }
    if (total != expected) {
        error = "less data than the header's unpacked size";
        return false;
    }
    return true;
}

std::string CRarDecoder::libraryError() const {
    const char* text = handle ? archive_error_string(handle) : nullptr;
    return text ? text : "unknown error";
}
