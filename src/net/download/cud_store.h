// Where the URL selector keeps CUD.dat. The selector owns no file handling so
// that it stays portable; the launcher gives it the file store of
// cud_store_win.h, tests an in-memory one.
#pragma once

#include "net/download/document_sizes.h"

#include <cstdint>
#include <string>
#include <vector>

enum class ECudReadResult { eOk, eCannotOpen, eTooLarge };
enum class ECudWriteResult { eOk, eCannotOpen, eShortWrite };

// Called on the selector's (the logic's) thread only.
class ICudStore {
public:
    virtual ~ICudStore() = default;
    // The whole content of `path`. Files over kMaxCudFileBytes are refused
    // without being read (eTooLarge).
    virtual ECudReadResult ReadCud(const std::wstring& path, std::vector<uint8_t>& bytes) = 0;
    // Replaces the file with `count` bytes.
    virtual ECudWriteResult WriteCud(const std::wstring& path, const uint8_t* bytes,
                                     unsigned count) = 0;
};
