// Unpacks one downloaded package (RAR or zip) or copies one downloaded file
// into the install folder, entry by entry, each written while it is
// decompressed (CTargetFile) and checked before it replaces its target.
// Entry names that could reach outside the install folder are refused.
// Runs on the unpacker thread; one item per object.
#pragma once

#include "update/archive/entry_kind.h"
#include "update/unpack/unpack_rules.h"

#include <cstdint>
#include <string>

class CTargetFile;
class CZipFile;

// What the package unpacker needs from the thread that runs it.
class IUnpackHost {
public:
    virtual ~IUnpackHost() = default;
    // Asked between entries and while an entry is written.
    virtual bool IsStopping() = 0;
    // At most once per 55 ms; `value` as posted with the progress message.
    virtual void OnUnpackProgress(uint64_t value) = 0;
    // The archive entry being processed, its name in UTF-8.
    virtual void SetCurrentName(const std::string& name) = 0;
    // A link or special entry that was not written (UTF-8 name).
    virtual void OnEntrySkipped(const std::string& name, EEntryKind kind) = 0;
};

class CPackageUnpacker {
public:
    enum EOutcome { eOutcome_Done, eOutcome_Stopped, eOutcome_Failed };

    // `processedBytes` and `itemSize` are the base and share of the progress
    // values. `host` must outlive the object.
    CPackageUnpacker(IUnpackHost& host, std::wstring installFolder, bool ignoreWriteErrors,
                     uint64_t processedBytes, uint64_t itemSize);

    EOutcome UnpackPackage(const std::wstring& source);
    // `target` is relative to the install folder.
    EOutcome CopyPlainFile(const std::wstring& source, const std::wstring& target);

    // After eOutcome_Failed: the result of the message (1 unreadable or bad
    // package, 2 a target not created or written), the text and system code.
    int GetResult() const { return nResult; }
    const std::wstring& GetStatusText() const { return sStatusText; }
    uint32_t GetStatusCode() const { return nStatusCode; }

private:
    EOutcome unpackZip(const std::wstring& source);
    EOutcome unpackRar(const std::wstring& source);
    // Resolves an entry name below the install folder; fails the package
    // for a name that leaves it.
    bool resolveEntry(const std::string& name, std::wstring& fullPath);
    EOutcome unpackZipEntry(CZipFile& zip, int index, const std::wstring& source);
    EOutcome makeFolder(const std::wstring& fullPath);
    // After an entry's bytes were handed over: stopped, a write failure (2),
    // or a bad entry (1, `badText`); eOutcome_Done when the target is in
    // place.
    EOutcome finishTarget(CTargetFile& target, bool extracted, const std::wstring& badText);
    EOutcome failTarget(const CTargetFile& target);
    EOutcome fail(int result, const std::wstring& text, uint32_t code = 0);
    void progress(uint64_t entriesDone, uint64_t entryCount, uint64_t written, uint64_t size);

    IUnpackHost& host;
    std::wstring sInstallFolder;
    bool bIgnoreWriteErrors;
    uint64_t nProcessedBytes;
    uint64_t nItemSize;
    int nResult = 0;
    std::wstring sStatusText;
    uint32_t nStatusCode = 0;
    CProgressThrottle throttle;
};
