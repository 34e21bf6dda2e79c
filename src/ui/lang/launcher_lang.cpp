#include "ui/lang/launcher_lang.h"

#include "base/utf8_text.h"

#include <optional>
#include <utility>

namespace {

constexpr size_t kLengthFieldSize = 4;

// Closes the stream on every way out of load.
class CStreamCloser {
public:
    explicit CStreamCloser(ISimpleReadStream& s) : stream(s) {}
    CStreamCloser(const CStreamCloser&) = delete;
    CStreamCloser& operator=(const CStreamCloser&) = delete;
    ~CStreamCloser() { stream.Close(); }

private:
    ISimpleReadStream& stream;
};

// Bytes between the position and the end; the position is kept.
std::optional<size_t> remainingBytes(ISimpleReadStream& stream) {
    const int64_t position = stream.Tell();
    if (position < 0 || !stream.Seek(0, eSeekOrigin_End))
        return std::nullopt;
    const int64_t end = stream.Tell();
    if (!stream.Seek(position, eSeekOrigin_Begin) || end < position)
        return std::nullopt;
    return static_cast<size_t>(end - position);
}

// Read() succeeds on a short read, so the position tells whether all came.
bool readExact(ISimpleReadStream& stream, void* dest, size_t count) {
    if (count == 0)
        return true;
    const int64_t before = stream.Tell();
    if (!stream.Read(dest, static_cast<int>(count)))
        return false;
    return static_cast<size_t>(stream.Tell() - before) == count;
}

bool readU32(ISimpleReadStream& stream, uint32_t& value) {
    uint8_t bytes[4] = {};
    if (!readExact(stream, bytes, sizeof(bytes)))
        return false;
    value = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
            static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    return true;
}

bool readEntries(ISimpleReadStream& stream, uint32_t count, std::vector<std::string>& out) {
    const std::optional<size_t> remaining = remainingBytes(stream);
    // Every entry needs at least its length field.
    if (!remaining || count > *remaining / kLengthFieldSize)
        return false;
    out.reserve(count);
    size_t left = *remaining;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t length = 0;
        if (!readU32(stream, length))
            return false;
        left -= kLengthFieldSize;
        if (length > left)
            return false;
        std::string text(length, '\0');
        if (!readExact(stream, text.data(), length))
            return false;
        left -= length;
        out.push_back(std::move(text));
    }
    return true;
}

} // namespace

CLauncherLang::CLauncherLang(std::string longName, std::string code, std::string localeName, int id)
    : sLongName(std::move(longName)), sCode(std::move(code)), sLocaleName(std::move(localeName)),
      nId(id) {}

bool CLauncherLang::load(ISimpleReadStream& stream) {
    const CStreamCloser closer(stream);
    entries.clear();
    uint32_t count = 0;
    uint32_t reserved = 0;
    if (!readU32(stream, count) || !readU32(stream, reserved) || reserved != 0 || count == 0)
        return false;
    std::vector<std::string> loaded;
    if (!readEntries(stream, count, loaded))
        return false;
    entries = std::move(loaded);
    return true;
}

std::string_view CLauncherLang::entry(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= entries.size())
        return {};
    return entries[static_cast<size_t>(index)];
}

std::wstring CLauncherLang::text(int index) const {
    return wideFromUtf8(entry(index));
}
