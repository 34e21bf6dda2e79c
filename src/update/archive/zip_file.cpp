#include "update/archive/zip_file.h"

#include "base/byte_order.h"
#include "base/utf8_text.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

namespace {

constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr uint32_t kLocalSignature = 0x04034B50;
constexpr int kEndRecordSize = 22;
constexpr uint32_t kCentralRecordSize = 46;
constexpr uint32_t kLocalHeaderSize = 30;
// MAX_PATH less the terminator: longer names cannot be files on the target.
constexpr uint32_t kMaxNameLength = 259;
constexpr uint16_t kFlagDataDescriptor = 0x0008;
constexpr uint16_t kFlagUtf8Name = 0x0800;
constexpr uint8_t kHostUnix = 3;
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;

size_t alignUp(size_t value, size_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

} // namespace

CZipFile::~CZipFile() {
    Close();
}

ZipResult CZipFile::OpenZip(std::unique_ptr<ISimpleReadStream> source) {
    Close();
    if (!source)
        return ZIP_E_INVALIDARG;
    stream = std::move(source);
    uint32_t directorySize = 0;
    uint16_t entries = 0;
    ZipResult result = readEndRecord(&directorySize, &entries);
    if (result == ZIP_S_OK)
        result = readDirectory(directorySize, entries);
    if (result != ZIP_S_OK)
        Close();
    return result;
}

void CZipFile::Close() {
    if (stream)
        stream->Close();
    stream.reset();
    names.clear();
    records = nullptr;
    count = 0;
    directory.reset();
}

// Leaves the stream at the start of the central directory, which ends where
// the end record begins (the directory offset field is not trusted).
ZipResult CZipFile::readEndRecord(uint32_t* directorySize, uint16_t* entries) {
    if (!stream->Seek(-kEndRecordSize, eSeekOrigin_End))
        return E_ZIP_NOT_ARCHIVE;
    const int64_t endPosition = stream->Tell();
    uint8_t end[kEndRecordSize];
    if (!readExact(end, kEndRecordSize) || readLe32(end) != kEndSignature)
        return E_ZIP_NOT_ARCHIVE;
    *entries = readLe16(end + 8);
    *directorySize = readLe32(end + 12);
    if (*directorySize > static_cast<uint32_t>(endPosition))
        return E_ZIP_BAD_FORMAT;
    if (!stream->Seek(endPosition - static_cast<int64_t>(*directorySize), eSeekOrigin_Begin))
        return E_ZIP_BAD_FORMAT;
    return ZIP_S_OK;
}

ZipResult CZipFile::readDirectory(uint32_t directorySize, uint16_t entries) {
    // The directory is no larger than the stream, and at most 65535 entries
    // make the table: the block stays bounded by the input.
    const size_t tableOffset = alignUp(directorySize, alignof(const uint8_t*));
    directory = std::make_unique<uint8_t[]>(tableOffset + entries * sizeof(const uint8_t*));
    if (!readExact(directory.get(), directorySize))
        return E_ZIP_BAD_FORMAT;
    records = reinterpret_cast<const uint8_t**>(directory.get() + tableOffset);
    return indexRecords(directorySize, entries);
}

ZipResult CZipFile::indexRecords(uint32_t directorySize, uint16_t entries) {
    size_t offset = 0;
    for (int i = 0; i < entries; ++i) {
        if (directorySize - offset < kCentralRecordSize)
            return E_ZIP_BAD_FORMAT;
        uint8_t* record = directory.get() + offset;
        if (readLe32(record) != kCentralSignature)
            return E_ZIP_BAD_FORMAT;
        const uint32_t nameLength = readLe16(record + 28);
        if (nameLength > kMaxNameLength)
            return E_ZIP_BAD_FORMAT;
        const size_t recordSize =
            kCentralRecordSize + nameLength + readLe16(record + 30) + readLe16(record + 32);
        if (recordSize > directorySize - offset)
            return E_ZIP_BAD_FORMAT;
        char* name = reinterpret_cast<char*>(record + kCentralRecordSize);
        std::replace(name, name + nameLength, '/', '\\');
        records[i] = record;
        names[std::string(name, nameLength)] = i;
        offset += recordSize;
    }
    count = entries;
    return ZIP_S_OK;
}

ZipResult CZipFile::FindEntry(const char* name, int* index) const {
    if (!name || !index)
        return ZIP_E_POINTER;
    if (!stream)
        return E_ZIP_NOT_OPEN;
    const auto found = names.find(name);
    if (found == names.end())
        return ZIP_S_FALSE;
    *index = found->second;
    return ZIP_S_OK;
}

ZipResult CZipFile::ExtractEntry(int index, void* dest) {
    if (!stream || count == 0)
        return E_ZIP_NOT_OPEN;
    if (index < 0 || index >= count)
        return ZIP_E_INVALIDARG;
    if (!dest)
        return ZIP_E_POINTER;
    CMemoryEntrySink sink(dest, GetEntrySize(index));
    return ExtractEntryTo(index, sink);
}

ZipResult CZipFile::ExtractEntryTo(int index, IEntrySink& sink, size_t chunkSize) {
    if (!stream || count == 0)
        return E_ZIP_NOT_OPEN;
    if (index < 0 || index >= count || chunkSize == 0)
        return ZIP_E_INVALIDARG;
    const uint8_t* record = records[index];
    const uint32_t outputSize = readLe32(record + 24);
    const uint32_t localOffset = readLe32(record + 42);
    uint8_t local[kLocalHeaderSize];
    if (!stream->Seek(localOffset, eSeekOrigin_Begin) || !readExact(local, kLocalHeaderSize) ||
        readLe32(local) != kLocalSignature)
        return E_ZIP_BAD_FORMAT;
    // Without the sizes in the local header the data's end is unknown.
    if (readLe16(local + 6) & kFlagDataDescriptor)
        return E_ZIP_BAD_FORMAT;
    if (!stream->Seek(readLe16(local + 26) + readLe16(local + 28), eSeekOrigin_Current))
        return E_ZIP_BAD_FORMAT;
    const uint32_t packedSize = readLe32(local + 18);
    switch (readLe16(local + 8)) {
    case kMethodStored:
        return readStored(packedSize, outputSize, sink, chunkSize);
    case kMethodDeflated:
        return readDeflated(packedSize, outputSize, sink, chunkSize);
    default:
        return E_ZIP_UNSUPPORTED_METHOD;
    }
}

// The output is outputSize bytes: more stored data is cut, less cannot fill
// it.
ZipResult CZipFile::readStored(uint32_t storedSize, uint32_t outputSize, IEntrySink& sink,
                               size_t chunkSize) {
    if (storedSize < outputSize || outputSize > bytesLeft())
        return E_ZIP_BAD_FORMAT;
    const size_t pieceSize = std::min<size_t>(chunkSize, outputSize);
    const auto piece = std::make_unique_for_overwrite<uint8_t[]>(pieceSize);
    for (uint32_t left = outputSize; left > 0;) {
        const auto n = static_cast<uint32_t>(std::min<size_t>(pieceSize, left));
        if (!readExact(piece.get(), n) || !sink.Write(piece.get(), n))
            return E_ZIP_BAD_FORMAT;
        left -= n;
    }
    return ZIP_S_OK;
}

namespace {

// inflateEnd on every way out.
class CInflater {
public:
    CInflater() : ready(inflateInit2(&z, -MAX_WBITS) == Z_OK) {}
    CInflater(const CInflater&) = delete;
    CInflater& operator=(const CInflater&) = delete;
    ~CInflater() {
        if (ready)
            inflateEnd(&z);
    }
    z_stream z{};
    const bool ready;
};

} // namespace

// Stops at the central size (the cut) or at the end of the deflate stream.
// Packed data that ends before the stream does is accepted, as a single
// inflate call over all of it would accept it: the callers' size and CRC
// checks judge the result.
ZipResult CZipFile::readDeflated(uint32_t packedSize, uint32_t outputSize, IEntrySink& sink,
                                 size_t chunkSize) {
    // Checked before reading: the header's size may be hostile.
    if (packedSize > bytesLeft())
        return E_ZIP_BAD_FORMAT;
    CInflater inflater;
    if (!inflater.ready)
        return E_ZIP_BAD_FORMAT;
    z_stream& z = inflater.z;
    const size_t inSize = std::min<size_t>(chunkSize, std::max<uint32_t>(packedSize, 1));
    const size_t outSize = std::min<size_t>(chunkSize, UINT_MAX);
    const auto in = std::make_unique_for_overwrite<uint8_t[]>(inSize);
    const auto out = std::make_unique_for_overwrite<uint8_t[]>(outSize);
    uint32_t packedLeft = packedSize;
    uint32_t produced = 0;
    bool outputFilled = false; // zlib may still hold output without input
    while (produced < outputSize) {
        if (z.avail_in == 0 && packedLeft > 0) {
            const auto n = static_cast<uint32_t>(std::min<size_t>(inSize, packedLeft));
            if (!readExact(in.get(), n))
                return E_ZIP_BAD_FORMAT;
            z.next_in = in.get();
            z.avail_in = n;
            packedLeft -= n;
        } else if (z.avail_in == 0 && !outputFilled) {
            return ZIP_S_OK;
        }
        const auto room = static_cast<uInt>(std::min<size_t>(outSize, outputSize - produced));
        z.next_out = out.get();
        z.avail_out = room;
        const uInt inputBefore = z.avail_in;
        const int status = inflate(&z, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR)
            return E_ZIP_BAD_FORMAT;
        const uInt got = room - z.avail_out;
        // zlib promises progress while it has input and room; never spin.
        if (got == 0 && inputBefore != 0 && z.avail_in == inputBefore)
            return E_ZIP_BAD_FORMAT;
        if (got > 0 && !sink.Write(out.get(), got))
            return E_ZIP_BAD_FORMAT;
        produced += got;
        outputFilled = z.avail_out == 0;
        if (status == Z_STREAM_END)
            return ZIP_S_OK;
    }
    return ZIP_S_OK;
}

// The stream's Read succeeds on a short read; only the position tells.
bool CZipFile::readExact(void* dest, uint32_t size) {
    if (size == 0)
        return true;
    if (size > INT_MAX)
        return false;
    const int64_t start = stream->Tell();
    return stream->Read(dest, static_cast<int>(size)) &&
           stream->Tell() - start == static_cast<int64_t>(size);
}

int64_t CZipFile::bytesLeft() {
    const int64_t position = stream->Tell();
    if (!stream->Seek(0, eSeekOrigin_End))
        return 0;
    const int64_t end = stream->Tell();
    return stream->Seek(position, eSeekOrigin_Begin) ? end - position : 0;
}

const uint8_t* CZipFile::validRecord(int index) const {
    return index >= 0 && index < count ? records[index] : nullptr;
}

std::string CZipFile::GetEntryName(int index) const {
    const uint8_t* record = validRecord(index);
    if (!record)
        return {};
    return std::string(reinterpret_cast<const char*>(record + kCentralRecordSize),
                       readLe16(record + 28));
}

bool CZipFile::IsEntryNameUtf8(int index) const {
    const uint8_t* record = validRecord(index);
    if (!record)
        return false;
    if (readLe16(record + 8) & kFlagUtf8Name)
        return true;
    // Info-ZIP on Unix stores the file system's names, UTF-8 on any current
    // system, without the flag.
    const std::string_view name(reinterpret_cast<const char*>(record + kCentralRecordSize),
                                readLe16(record + 28));
    return record[5] == kHostUnix && !findInvalidUtf8(name);
}

EEntryKind CZipFile::GetEntryKind(int index) const {
    const uint8_t* record = validRecord(index);
    if (!record)
        return EEntryKind::File;
    const uint16_t nameLength = readLe16(record + 28);
    if (nameLength > 0 && record[kCentralRecordSize + nameLength - 1] == '\\')
        return EEntryKind::Folder;
    // The high byte of "version made by" names the host; Unix hosts keep
    // st_mode in the high half of the external attributes.
    if (record[5] != kHostUnix)
        return EEntryKind::File;
    const EEntryKind byMode = entryKindFromUnixMode(readLe32(record + 38) >> 16);
    return byMode == EEntryKind::Folder ? EEntryKind::Special : byMode;
}

uint32_t CZipFile::GetEntrySize(int index) const {
    const uint8_t* record = validRecord(index);
    return record ? readLe32(record + 24) : 0;
}

uint32_t CZipFile::GetEntryCrc(int index) const {
    const uint8_t* record = validRecord(index);
    return record ? readLe32(record + 16) : 0;
}
