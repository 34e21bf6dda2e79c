// One file of the install folder written from an archive entry or a
// downloaded file: the bytes go to a unique temporary file in the target's
// folder and replace the target only on Commit, so a failed or stopped entry
// leaves the old target as it was and no temporary file behind. Owned by the
// unpacker thread, used on it only.
#pragma once

#include "update/archive/entry_sink.h"

#include "base/scoped_handle_win.h"

#include <string>

// Creates `folder` and every missing folder above it. False with the system
// error in *error.
bool createFolderPath(const std::wstring& folder, DWORD* error);

class CTargetFile : public IEntrySink {
public:
    enum EFailure { eFailure_None, eFailure_Create, eFailure_Write };

    // With `ignoreErrors`, a target that cannot be created or written is
    // skipped: the bytes are taken and dropped, and Commit succeeds.
    CTargetFile(std::wstring fullPath, bool ignoreErrors);
    CTargetFile(const CTargetFile&) = delete;
    CTargetFile& operator=(const CTargetFile&) = delete;
    // Deletes the temporary file unless Commit moved it.
    ~CTargetFile() override;

    // Creates the target's folders and the temporary file.
    bool Open();
    bool Write(const uint8_t* bytes, size_t count) override;
    // Replaces the target. A target that cannot be replaced (locked) but
    // already holds the same bytes counts as written.
    bool Commit();

    EFailure GetFailure() const { return failure; }
    DWORD GetErrorCode() const { return nError; }
    const std::wstring& GetPath() const { return sPath; }

private:
    bool failWith(EFailure kind, DWORD error);
    bool targetHoldsSameBytes() const;
    void removeTemporary();

    std::wstring sPath;
    std::wstring sTemporary;
    CFile file;
    bool bIgnoreErrors;
    bool bDiscarding = false;
    EFailure failure = eFailure_None;
    DWORD nError = ERROR_SUCCESS;
};
