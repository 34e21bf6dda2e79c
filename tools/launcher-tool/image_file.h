// File reads and writes for the tool's commands.
#pragma once

#include "update/archive/entry_sink.h"

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

// False with a message in `error` when the file cannot be read.
bool readImageFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);

// Writes through a temporary file beside `path` and renames it, so a failed
// write never leaves a half-written copy under the final name.
bool writeImageFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);

// The same, written piece by piece: the bytes go to "<path>.part", which
// Commit renames to `path`; without a Commit the temporary file is removed.
class CPartFileSink : public IEntrySink {
public:
    CPartFileSink() = default;
    CPartFileSink(const CPartFileSink&) = delete;
    CPartFileSink& operator=(const CPartFileSink&) = delete;
    ~CPartFileSink() override;

    // False with `error` when the temporary file cannot be created.
    bool Open(const std::string& path, std::string& error);
    bool Write(const uint8_t* bytes, size_t count) override;
    // False with `error` (and nothing under `path`'s name changed) when a
    // write failed or the rename fails.
    bool Commit(std::string& error);

private:
    void discard();

    std::string sPath;
    std::string sTemp;
    std::ofstream out;
};
