#include "update/unpack/package_unpacker_win.h"

#include "base/utf8_text.h"
#include "base/windows_win.h"
#include "update/archive/entry_names_win.h"
#include "update/archive/rar_reader.h"
#include "update/archive/zip_file.h"
#include "update/install_path.h"
#include "update/unpack/file_read_stream_win.h"
#include "update/unpack/target_file_win.h"

#include <functional>
#include <memory>
#include <vector>

namespace {

// Between the reader and the target: stops a long entry when the thread is
// asked to stop, and reports the entry's progress as it is written.
class CWatchedSink : public IEntrySink {
public:
    CWatchedSink(IEntrySink& target, IUnpackHost& unpackHost,
                 std::function<void(uint64_t written)> onProgress)
        : next(target), host(unpackHost), progress(std::move(onProgress)) {}
    bool Write(const uint8_t* bytes, size_t count) override {
        if (host.IsStopping() || !next.Write(bytes, count))
            return false;
        written += count;
        progress(written);
        return true;
    }

private:
    IEntrySink& next;
    IUnpackHost& host;
    std::function<void(uint64_t)> progress;
    uint64_t written = 0;
};

// Takes a directory's (absent) bytes.
class CNoBytesSink : public IEntrySink {
public:
    bool Write(const uint8_t*, size_t) override { return false; }
};

bool isSkippedKind(EEntryKind kind) {
    return kind == EEntryKind::Link || kind == EEntryKind::Special;
}

bool isFolderName(const std::string& name) {
    return !name.empty() && (name.back() == '\\' || name.back() == '/');
}

bool readHead(const std::wstring& source, uint8_t (&head)[4], size_t& count) {
    const std::unique_ptr<CFileReadStream> stream = CFileReadStream::Open(source);
    if (!stream)
        return false;
    count = static_cast<size_t>(std::min<uint64_t>(stream->GetSize(), 4));
    return count == 0 || stream->Read(head, static_cast<int>(count));
}

} // namespace

CPackageUnpacker::CPackageUnpacker(IUnpackHost& unpackHost, std::wstring installFolder,
                                   bool ignoreWriteErrors, uint64_t processedBytes,
                                   uint64_t itemSize)
    : host(unpackHost), sInstallFolder(std::move(installFolder)),
      bIgnoreWriteErrors(ignoreWriteErrors), nProcessedBytes(processedBytes), nItemSize(itemSize) {}

CPackageUnpacker::EOutcome CPackageUnpacker::UnpackPackage(const std::wstring& source) {
    uint8_t head[4] = {};
    size_t count = 0;
    if (!readHead(source, head, count))
        return fail(1, L"pkg/bin file can not be open " + source);
    return isRarPackage(head, count) ? unpackRar(source) : unpackZip(source);
}

CPackageUnpacker::EOutcome CPackageUnpacker::unpackZip(const std::wstring& source) {
    CZipFile zip;
    if (zip.OpenZip(CFileReadStream::Open(source)) != ZIP_S_OK || zip.GetCount() == 0)
        return fail(1, L"pkg file error or empty : " + source);
    const int count = zip.GetCount();
    for (int index = 0; index < count; ++index) {
        progress(static_cast<uint64_t>(index), static_cast<uint64_t>(count), 0, 0);
        const EOutcome outcome = unpackZipEntry(zip, index, source);
        if (outcome != eOutcome_Done)
            return outcome;
    }
    return eOutcome_Done;
}

CPackageUnpacker::EOutcome CPackageUnpacker::unpackZipEntry(CZipFile& zip, int index,
                                                            const std::wstring& source) {
    const std::string name = zipEntryNameUtf8(zip, index);
    host.SetCurrentName(name);
    const EEntryKind kind = zip.GetEntryKind(index);
    if (isSkippedKind(kind)) {
        host.OnEntrySkipped(name, kind);
        return eOutcome_Done;
    }
    std::wstring fullPath;
    if (!resolveEntry(name, fullPath))
        return eOutcome_Failed;
    if (isFolderName(name))
        return makeFolder(fullPath);
    if (host.IsStopping())
        return eOutcome_Stopped;
    CTargetFile target(fullPath, bIgnoreWriteErrors);
    if (!target.Open())
        return failTarget(target);
    const uint64_t size = zip.GetEntrySize(index);
    const uint64_t count = static_cast<uint64_t>(zip.GetCount());
    CCrcEntrySink checked(target);
    CWatchedSink watched(checked, host, [&](uint64_t written) {
        progress(static_cast<uint64_t>(index), count, written, size);
    });
    const bool extracted = zip.ExtractEntryTo(index, watched) == ZIP_S_OK &&
                           checked.GetCount() == size && checked.GetCrc() == zip.GetEntryCrc(index);
    return finishTarget(target, extracted, L"pkg unpack error : " + source);
}

CPackageUnpacker::EOutcome CPackageUnpacker::unpackRar(const std::wstring& source) {
    CRarReader reader;
    if (!reader.OpenArchive(CFileReadStream::Open(source).release()) || reader.GetEntries().empty())
        return fail(1, L"pkg(rar) file error or empty : " + source);
    const std::vector<RarEntry> entries = reader.GetEntries();
    const uint64_t count = entries.size();
    const std::wstring badText = L"pkg(rar) unpack error : " + source;
    for (uint64_t done = 0;; ++done) {
        progress(done, count, 0, 0);
        if (host.IsStopping())
            return eOutcome_Stopped;
        // The listing names the entries ahead of their data; past its end
        // only the end of the archive may follow.
        if (done >= count) {
            CNoBytesSink none;
            return reader.ExtractNextTo(none) && reader.GetCurrentName().empty() ? eOutcome_Done
                                                                                 : fail(1, badText);
        }
        const RarEntry& entry = entries[done];
        host.SetCurrentName(entry.name);
        if (isSkippedKind(entry.kind)) {
            // Still decoded: a solid archive's later entries need it.
            CDiscardEntrySink discarded;
            if (!reader.ExtractNextTo(discarded) || reader.GetCurrentName() != entry.name)
                return fail(1, badText);
            host.OnEntrySkipped(entry.name, entry.kind);
            continue;
        }
        std::wstring fullPath;
        if (!resolveEntry(entry.name, fullPath))
            return eOutcome_Failed;
        if (isFolderName(entry.name)) {
            CNoBytesSink none;
            if (!reader.ExtractNextTo(none) || reader.GetCurrentName() != entry.name)
                return fail(1, badText);
            if (makeFolder(fullPath) != eOutcome_Done)
                return eOutcome_Failed;
            continue;
        }
        CTargetFile target(fullPath, bIgnoreWriteErrors);
        if (!target.Open())
            return failTarget(target);
        CWatchedSink watched(target, host, [&](uint64_t written) {
            progress(done, count, written, entry.unpackedSize);
        });
        const bool extracted =
            reader.ExtractNextTo(watched) && reader.GetCurrentName() == entry.name;
        const EOutcome outcome = finishTarget(target, extracted, badText);
        if (outcome != eOutcome_Done)
            return outcome;
    }
}

CPackageUnpacker::EOutcome CPackageUnpacker::CopyPlainFile(const std::wstring& source,
                                                           const std::wstring& target) {
    std::wstring fullPath;
    std::wstring relative;
    if (checkInstallPath(target, EPathKind::File, relative) != eInstallPath_Ok)
        return fail(1, L"unpacker: unsafe target name : " + target);
    fullPath = sInstallFolder + L'\\' + relative;
    const std::unique_ptr<CFileReadStream> stream = CFileReadStream::Open(source);
    if (!stream)
        return fail(1, L"pkg/bin file can not be open " + source);
    CTargetFile file(fullPath, bIgnoreWriteErrors);
    if (!file.Open())
        return failTarget(file);
    const uint64_t size = stream->GetSize();
    CWatchedSink watched(file, host, [&](uint64_t written) { progress(0, 1, written, size); });
    std::vector<uint8_t> piece(kEntryChunkSize);
    bool copied = true;
    for (uint64_t left = size; copied && left > 0;) {
        const int n = static_cast<int>(std::min<uint64_t>(left, piece.size()));
        const int64_t before = stream->Tell();
        copied = stream->Read(piece.data(), n) && stream->Tell() - before == n &&
                 watched.Write(piece.data(), static_cast<size_t>(n));
        left -= n;
    }
    return finishTarget(file, copied, L"pkg/bin file can not be open " + source);
}

bool CPackageUnpacker::resolveEntry(const std::string& name, std::wstring& fullPath) {
    const std::wstring wideName = wideFromUtf8(name);
    std::wstring relative;
    const EInstallPath verdict = checkInstallPath(wideName, EPathKind::FileOrFolder, relative);
    if (verdict != eInstallPath_Ok) {
        fail(1, L"unpacker: unsafe entry name (" + std::wstring(installPathProblem(verdict)) +
                    L") : " + wideName);
        return false;
    }
    fullPath = sInstallFolder + L'\\' + relative;
    return true;
}

CPackageUnpacker::EOutcome CPackageUnpacker::makeFolder(const std::wstring& fullPath) {
    DWORD error = ERROR_SUCCESS;
    if (createFolderPath(fullPath, &error) || bIgnoreWriteErrors)
        return eOutcome_Done;
    return fail(2, L"unpacker: file can't be create : " + fullPath, error);
}

CPackageUnpacker::EOutcome CPackageUnpacker::finishTarget(CTargetFile& target, bool extracted,
                                                          const std::wstring& badText) {
    if (host.IsStopping())
        return eOutcome_Stopped;
    if (target.GetFailure() != CTargetFile::eFailure_None)
        return failTarget(target);
    if (!extracted)
        return fail(1, badText);
    return target.Commit() ? eOutcome_Done : failTarget(target);
}

CPackageUnpacker::EOutcome CPackageUnpacker::failTarget(const CTargetFile& target) {
    const wchar_t* text = target.GetFailure() == CTargetFile::eFailure_Write
                              ? L"unpacker: file can't be write : "
                              : L"unpacker: file can't be create : ";
    return fail(2, text + target.GetPath(), target.GetErrorCode());
}

CPackageUnpacker::EOutcome CPackageUnpacker::fail(int result, const std::wstring& text,
                                                  uint32_t code) {
    nResult = result;
    sStatusText = text;
    nStatusCode = code;
    return eOutcome_Failed;
}

void CPackageUnpacker::progress(uint64_t entriesDone, uint64_t entryCount, uint64_t written,
                                uint64_t size) {
    if (throttle.Due(::GetTickCount()))
        host.OnUnpackProgress(
            packageProgress(nProcessedBytes, nItemSize, entriesDone, entryCount, written, size));
}
