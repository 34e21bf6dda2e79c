#include "update/manifest/manifest_receive.h"

#include "base/mem_read_stream.h"
#include "update/archive/rar_reader.h"
#include "update/archive/zip_file.h"
#include "update/manifest/manifest_file.h"

#include <climits>
#include <cstring>
#include <memory>

namespace {

bool isRar(const uint8_t* body, size_t size) {
    return size > 3 && std::memcmp(body, "Rar!", 4) == 0;
}

bool extractFromRar(const uint8_t* body, size_t size, std::string& text, std::string& error) {
    CRarReader reader;
    if (!reader.OpenArchive(new CSimpleMemReadStream(body, static_cast<int>(size)))) {
        error = "update.rxml: not a RAR archive: " + reader.GetLastErrorText();
        return false;
    }
    // The same bound as for the zip member: the header's size is the
    // server's word.
    while (reader.ExtractNext(kMaxManifestFileSize)) {
        const std::string& name = reader.GetCurrentName();
        if (name.empty())
            break;
        if (name == kManifestMember) {
            const CBuffer& output = reader.GetOutput();
            text.assign(reinterpret_cast<const char*>(output.GetData()), output.GetLength());
            return true;
        }
    }
    error = reader.GetLastErrorText().empty() ? "update.rxml: no update.xml in the archive"
                                              : "update.rxml: " + reader.GetLastErrorText();
    return false;
}

bool extractFromZip(const uint8_t* body, size_t size, std::string& text, std::string& error) {
    CZipFile zip;
    int index = 0;
    if (zip.OpenZip(std::make_unique<CSimpleMemReadStream>(body, static_cast<int>(size))) !=
            ZIP_S_OK ||
        zip.FindEntry(kManifestMember, &index) != ZIP_S_OK) {
        error = "update.rxml: not a zip archive holding update.xml";
        return false;
    }
    // The central record's size is the server's word: bound it before
    // allocating.
    if (zip.GetEntrySize(index) > kMaxManifestFileSize) {
        error = "update.rxml: update.xml is too large";
        return false;
    }
    std::string bytes(zip.GetEntrySize(index), '\0');
    if (zip.ExtractEntry(index, bytes.data()) != ZIP_S_OK) {
        error = "update.rxml: update.xml does not unpack";
        return false;
    }
    text = std::move(bytes);
    return true;
}

} // namespace

bool extractManifestText(const uint8_t* body, size_t size, std::string& text, std::string& error) {
    text.clear();
    if (!body || size > static_cast<size_t>(INT_MAX)) {
        error = "update.rxml: no body or too large";
        return false;
    }
    return isRar(body, size) ? extractFromRar(body, size, text, error)
                             : extractFromZip(body, size, text, error);
}

bool shouldSaveManifest(const std::wstring& installFolder, const std::string& manifestText) {
    return installFolder.size() >= 4 && !manifestText.empty();
}
