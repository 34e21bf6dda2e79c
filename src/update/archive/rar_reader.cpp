#include "update/archive/rar_reader.h"

#include "base/crc32.h"
#include "base/mem_read_stream.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {

std::atomic<CRarReader::NameConversion> nameConversion{nullptr};

// The unpack versions of libarchive's decoder (RAR 2.9 to 4.x); the 1.5,
// 2.0 and 2.6 methods need decoders it does not have.
bool decoderKnowsVersion(uint8_t unpackVersion) {
    return unpackVersion == 29 || unpackVersion == 36;
}

bool isCompressedMethod(uint8_t method) {
    return method > kRarMethodStored && method <= 0x35;
}

} // namespace

CRarReader::~CRarReader() {
    CloseArchive();
}

void CRarReader::SetNameConversion(NameConversion conversion) {
    nameConversion.store(conversion);
}

bool CRarReader::OpenArchive(ISimpleReadStream* source) {
    CloseArchive();
    stream.reset(source);
    if (!stream)
        return fail("no stream");
    if (!stream->Seek(0, eSeekOrigin_End))
        return fail("cannot seek the stream");
    nArchiveSize = stream->Tell();
    if (!stream->Seek(0, eSeekOrigin_Begin) || nArchiveSize <= 0)
        return fail("empty stream");
    if (!findArchiveStart() || !checkArchiveHeader(nArchiveStart + kRarMarkerSize))
        return false;
    listEntries();
    nNextBlock = nArchiveStart + static_cast<int64_t>(kRarMarkerSize);
    return stream->Seek(nNextBlock, eSeekOrigin_Begin) || fail("cannot seek the stream");
}

void CRarReader::CloseArchive() {
    decoder.Close();
    stream.reset();
    nArchiveSize = nArchiveStart = nNextBlock = 0;
    nFileOrdinal = 0;
    bBroken = false;
    entries.clear();
    current = RarFileHeader();
    sCurrentName.clear();
    output.Free();
}

bool CRarReader::findArchiveStart() {
    const size_t window =
        std::min<size_t>(static_cast<size_t>(nArchiveSize), kRarSfxSearchLimit + kRarMarkerSize);
    std::vector<uint8_t> head(window);
    if (!readAt(0, head.data(), static_cast<int>(window)))
        return fail("cannot read the stream");
    const ERarMarker first = classifyRarMarker(head.data(), window);
    if (first == eRarMarker_Rar15) {
        nArchiveStart = 0;
        return true;
    }
    ERarMarker other = first;
    for (size_t at = 1; at < window && at <= kRarSfxSearchLimit; ++at) {
        const ERarMarker kind = classifyRarMarker(head.data() + at, window - at);
        // A stub may contain the marker bytes; the archive header behind the
        // real one has a valid CRC.
        if (kind == eRarMarker_Rar15 &&
            checkArchiveHeader(static_cast<int64_t>(at + kRarMarkerSize))) {
            nArchiveStart = static_cast<int64_t>(at);
            sLastError.clear();
            return true;
        }
        const bool sfx14 = kind == eRarMarker_Rar14 && at >= kRarSfx14SignatureOffset + 4 &&
                           std::memcmp(head.data() + kRarSfx14SignatureOffset, "RSFX", 4) == 0;
        if (other == eRarMarker_None && (kind == eRarMarker_Rar50 || sfx14))
            other = kind;
    }
    if (other == eRarMarker_Rar50)
        return fail("RAR 5 archives are not supported");
    if (other == eRarMarker_Rar14)
        return fail("RAR 1.4 archives are not supported");
    return fail("not a RAR archive");
}

bool CRarReader::checkArchiveHeader(int64_t position) {
    RarBlockHeader block;
    std::vector<uint8_t> head;
    if (readBlock(position, block, head) != eBlock_Read)
        return false;
    if (block.type != kRarBlockArchive)
        return fail("no archive header behind the marker");
    if (block.flags & kRarArchiveEncryptedHeaders)
        return fail("encrypted archives are not supported");
    return true;
}

void CRarReader::listEntries() {
    int64_t position = nArchiveStart + static_cast<int64_t>(kRarMarkerSize);
    RarBlockHeader block;
    std::vector<uint8_t> head;
    while (readBlock(position, block, head) == eBlock_Read && block.type != kRarBlockEnd) {
        if (block.type == kRarBlockFile) {
            RarFileHeader file;
            std::string ignored;
            if (!parseRarFileHeader(head.data(), head.size(), file, ignored))
                break;
            RarEntry entry{convertName(file), file.packedSize, file.unpackedSize, file.fileCrc,
                           file.kind()};
            if (file.isDirectory())
                entry.name += '\\';
            entries.push_back(std::move(entry));
        }
        const uint64_t next = static_cast<uint64_t>(position) + block.headSize + block.dataSize;
        if (next >= static_cast<uint64_t>(nArchiveSize))
            break;
        position = static_cast<int64_t>(next);
    }
    sLastError.clear();
}

CRarReader::EBlockResult CRarReader::readBlock(int64_t position, RarBlockHeader& block,
                                               std::vector<uint8_t>& head) {
    if (position >= nArchiveSize)
        return eBlock_End;
    uint8_t base[kRarBlockHeaderSize + 4] = {};
    const int available =
        static_cast<int>(std::min<int64_t>(nArchiveSize - position, sizeof(base)));
    if (!readAt(position, base, available) ||
        !parseRarBlockHeader(base, static_cast<size_t>(available), block)) {
        fail("damaged block header at offset " + std::to_string(position));
        return eBlock_Error;
    }
    if (block.headSize > nArchiveSize - position) {
        fail("block header past the end of the archive");
        return eBlock_Error;
    }
    head.clear();
    if (block.type != kRarBlockArchive && block.type != kRarBlockFile)
        return eBlock_Read;
    head.resize(block.headSize);
    if (!readAt(position, head.data(), block.headSize)) {
        fail("cannot read a block header");
        return eBlock_Error;
    }
    if (rarHeaderCrc(head.data(), head.size()) != block.crc) {
        fail("header CRC mismatch at offset " + std::to_string(position));
        return eBlock_Error;
    }
    if (block.type == kRarBlockFile && (block.flags & kRarFileLarge) &&
        head.size() >= kRarFileHeaderFixedSize + 4) {
        uint32_t high = 0;
        for (size_t i = 0; i < 4; ++i)
            high |= static_cast<uint32_t>(head[kRarFileHeaderFixedSize + i]) << (8 * i);
        block.dataSize |= static_cast<uint64_t>(high) << 32;
    }
    return eBlock_Read;
}

bool CRarReader::ExtractNext(uint64_t maxFileSize) {
    output.Clear();
    CBufferEntrySink sink(output, 0, maxFileSize);
    return extractNext(Target{sink, kEntryChunkSize, maxFileSize});
}

bool CRarReader::ExtractNextTo(IEntrySink& sink, size_t chunkSize) {
    output.Clear();
    if (chunkSize == 0)
        return fail("no room for the unpacked data");
    return extractNext(Target{sink, chunkSize, UINT64_MAX});
}

bool CRarReader::extractNext(const Target& target) {
    sCurrentName.clear();
    if (!stream)
        return fail("no archive open");
    if (bBroken)
        return false;
    for (;;) {
        RarBlockHeader block;
        std::vector<uint8_t> head;
        const int64_t position = nNextBlock;
        const EBlockResult result = readBlock(position, block, head);
        if (result == eBlock_End)
            return true;
        if (result == eBlock_Error) {
            bBroken = true;
            return false;
        }
        const uint64_t next = static_cast<uint64_t>(position) + block.headSize + block.dataSize;
        nNextBlock =
            static_cast<int64_t>(std::min<uint64_t>(next, static_cast<uint64_t>(nArchiveSize)));
        if (block.type == kRarBlockEnd) {
            nNextBlock = nArchiveSize;
            return true;
        }
        if (block.type != kRarBlockFile)
            continue;
        std::string error;
        if (!parseRarFileHeader(head.data(), head.size(), current, error)) {
            bBroken = true;
            return fail(error);
        }
        if (!extractFile(current, static_cast<uint64_t>(position) + block.headSize, nFileOrdinal++,
                         target)) {
            bBroken = true;
            output.Clear();
            return false;
        }
        return true;
    }
}

bool CRarReader::extractFile(const RarFileHeader& file, uint64_t dataPosition, size_t ordinal,
                             const Target& target) {
    const std::string name = convertName(file);
    if (!checkExtractable(file, dataPosition, target.maxFileSize))
        return fail(name + ": " + sLastError);
    if (file.isDirectory()) {
        sCurrentName = name + '\\';
        return true;
    }
    CCrcEntrySink checked(target.sink);
    const bool unpacked =
        file.method == kRarMethodStored
            ? copyStored(file, static_cast<int64_t>(dataPosition), checked, target.chunkSize)
            : unpack(file, ordinal, checked, target.chunkSize);
    if (!unpacked)
        return fail(name + ": " + sLastError);
    if (checked.GetCrc() != file.fileCrc)
        return fail(name + ": CRC mismatch");
    sCurrentName = name;
    return true;
}

bool CRarReader::checkExtractable(const RarFileHeader& file, uint64_t dataPosition,
                                  uint64_t maxFileSize) {
    if (file.flags & kRarFileEncrypted)
        return fail("encrypted entries are not supported");
    if (file.flags & (kRarFileSplitBefore | kRarFileSplitAfter))
        return fail("entries split across volumes are not supported");
    if (file.isDirectory())
        return true;
    if (file.unpackedSize > maxFileSize)
        return fail("unpacked size " + std::to_string(file.unpackedSize) + " is too large");
    if (file.packedSize > static_cast<uint64_t>(nArchiveSize) - dataPosition)
        return fail("packed data past the end of the archive");
    if (file.method == kRarMethodStored)
        return true;
    if (!isCompressedMethod(file.method))
        return fail("unknown method " + std::to_string(file.method));
    if (!decoderKnowsVersion(file.unpackVersion))
        return fail("unpack version " + std::to_string(file.unpackVersion) +
                    " (RAR 1.5/2.x method) cannot be decoded");
    return true;
}

// The packed size was checked against the archive, so the data is there.
bool CRarReader::copyStored(const RarFileHeader& file, int64_t dataPosition, IEntrySink& sink,
                            size_t chunkSize) {
    if (file.packedSize != file.unpackedSize)
        return fail("stored entry with different packed and unpacked sizes");
    const size_t pieceSize = static_cast<size_t>(
        std::min<uint64_t>(chunkSize, std::max<uint64_t>(file.unpackedSize, 1)));
    std::vector<uint8_t> piece(pieceSize);
    int64_t position = dataPosition;
    for (uint64_t left = file.unpackedSize; left > 0;) {
        const int n = static_cast<int>(std::min<uint64_t>(pieceSize, left));
        if (!readAt(position, piece.data(), n))
            return fail("cannot read the stored data");
        if (!sink.Write(piece.data(), static_cast<size_t>(n)))
            return fail("the unpacked data could not be stored");
        position += n;
        left -= static_cast<uint64_t>(n);
    }
    return true;
}

bool CRarReader::unpack(const RarFileHeader& file, size_t ordinal, IEntrySink& sink,
                        size_t chunkSize) {
    std::string error;
    if (!decoder.IsOpen() && !decoder.Open(stream.get(), nArchiveStart, nArchiveSize, error))
        return fail(error);
    return decoder.Unpack(ordinal, file, sink, chunkSize, error) || fail(error);
}

bool CRarReader::readAt(int64_t position, void* dest, int count) {
    if (count <= 0)
        return true;
    return stream->Seek(position, eSeekOrigin_Begin) && stream->Read(dest, count) &&
           stream->Tell() == position + count;
}

std::string CRarReader::convertName(const RarFileHeader& file) const {
    if (!file.unicodeName.empty())
        return file.unicodeName;
    const NameConversion conversion = nameConversion.load();
    return conversion ? conversion(file.name) : file.name;
}

bool CRarReader::fail(const std::string& message) {
    sLastError = message;
    return false;
}
