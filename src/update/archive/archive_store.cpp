#include "update/archive/archive_store.h"

#include "base/buffer.h"
#include "base/mem_read_stream.h"
#include "update/archive/rar_reader.h"

#include <climits>
#include <cstring>

bool CArchiveHelperRar::LoadArchive(const void* data, unsigned length) {
    sLastError.clear();
    if (!data || length == 0 || length > static_cast<unsigned>(INT_MAX)) {
        sLastError = "no archive data";
        return false;
    }
    files.clear();
    CRarReader reader;
    if (!reader.OpenArchive(new CSimpleMemReadStream(data, static_cast<int>(length)))) {
        sLastError = reader.GetLastErrorText();
        return false;
    }
    for (;;) {
        if (!reader.ExtractNext()) {
            sLastError = reader.GetLastErrorText();
            return false;
        }
        const std::string& name = reader.GetCurrentName();
        if (name.empty())
            return true;
        // A link's bytes are its target's name, not a file.
        if (name.back() == '\\' || reader.GetCurrentHeader().kind() != EEntryKind::File)
            continue;
        CBuffer& out = reader.GetOutput();
        const uint8_t* bytes = out.GetData();
        files[name].assign(bytes, bytes + out.GetLength());
    }
}

bool CArchiveHelperRar::GetFile(const char* path, uint8_t** data, int* length) const {
    if (!path || !data || !length)
        return false;
    const auto found = files.find(normaliseArchivePath(path));
    if (found == files.end())
        return false;
    const std::vector<uint8_t>& bytes = found->second;
    delete[] * data;
    *data = new uint8_t[bytes.size()];
    if (!bytes.empty())
        std::memcpy(*data, bytes.data(), bytes.size());
    *length = static_cast<int>(bytes.size());
    return true;
}

std::string normaliseArchivePath(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    if (!path.empty() && path[0] == '\\')
        start = 1;
    while (start <= path.size()) {
        size_t stop = path.find('\\', start);
        if (stop == std::string::npos)
            stop = path.size();
        std::string part = path.substr(start, stop - start);
        // ".." at the top has nothing to remove and is dropped.
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else {
            parts.push_back(std::move(part));
        }
        start = stop + 1;
    }
    std::string key;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i)
            key += '\\';
        key += parts[i];
    }
    return key;
}
