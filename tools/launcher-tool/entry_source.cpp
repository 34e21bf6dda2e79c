#include "entry_source.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace {

constexpr const char* kSinkRefused = "cannot write the archive";

} // namespace

bool CMemoryEntrySource::CopyTo(IEntrySink& sink, std::string&) {
    for (size_t done = 0; done < data.size();) {
        const size_t piece = std::min(data.size() - done, kSourceBlockSize);
        if (!sink.Write(data.data() + done, piece))
            return false;
        done += piece;
    }
    return true;
}

bool CFileEntrySource::Open(const std::string& filePath, std::string& error) {
    path = filePath;
    std::error_code ec;
    nSize = std::filesystem::file_size(path, ec);
    if (ec) {
        error = path + ": " + ec.message();
        return false;
    }
    return true;
}

bool CFileEntrySource::CopyTo(IEntrySink& sink, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    std::vector<char> block(kSourceBlockSize);
    uint64_t total = 0;
    // One byte past the announced size is asked for, so a file that grew
    // is seen too.
    while (total <= nSize) {
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        const auto got = static_cast<size_t>(in.gcount());
        if (got == 0)
            break;
        total += got;
        if (total <= nSize && !sink.Write(reinterpret_cast<const uint8_t*>(block.data()), got))
            return false;
    }
    if (in.bad()) {
        error = "cannot read " + path;
        return false;
    }
    if (total != nSize) {
        error = path + " changed while it was being packed";
        return false;
    }
    return true;
}

bool crcOfSource(IEntrySource& source, IEntrySink& sink, uint32_t& crc, std::string& error) {
    CCrcEntrySink counted(sink);
    if (!source.CopyTo(counted, error)) {
        if (error.empty())
            error = kSinkRefused;
        return false;
    }
    crc = counted.GetCrc();
    return true;
}

bool copySourceChecked(IEntrySource& source, uint32_t crc, IEntrySink& sink, std::string& error) {
    uint32_t again = 0;
    if (!crcOfSource(source, sink, again, error))
        return false;
    if (again != crc) {
        error = "an entry's bytes changed while it was being packed";
        return false;
    }
    return true;
}
