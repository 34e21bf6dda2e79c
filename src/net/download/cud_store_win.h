// CUD.dat on disk: read shared for reading, written anew with others still
// allowed to read (another launcher or the game client may be reading it).
#pragma once

#include "net/download/cud_store.h"

class CCudFileStore : public ICudStore {
public:
    ECudReadResult ReadCud(const std::wstring& path, std::vector<uint8_t>& bytes) override;
    ECudWriteResult WriteCud(const std::wstring& path, const uint8_t* bytes,
                             unsigned count) override;
};
