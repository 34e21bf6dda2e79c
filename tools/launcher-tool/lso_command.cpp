#include "lso_command.h"

#include "image_file.h"
#include "lso_text.h"

#include <cstdio>
#include <string_view>

namespace {

int lsoUsage() {
    std::fprintf(stderr, "usage: launcher-tool lso TABLE.txt OUT.lso\n"
                         "       launcher-tool lso --dump IN.lso\n");
    return 2;
}

int lsoFail(const std::string& message) {
    std::fprintf(stderr, "launcher-tool lso: %s\n", message.c_str());
    return 1;
}

int compileTable(const std::string& source, const std::string& target) {
    std::vector<uint8_t> bytes;
    std::string error;
    if (!readImageFile(source, bytes, error))
        return lsoFail(error);
    std::vector<std::string> entries;
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (!parseLsoText(text, entries, error))
        return lsoFail(source + ": " + error + "; nothing written");
    if (!writeImageFile(target, encodeLso(entries), error))
        return lsoFail(error);
    return 0;
}

int dumpTable(const std::string& source) {
    std::vector<uint8_t> bytes;
    std::string error;
    if (!readImageFile(source, bytes, error))
        return lsoFail(error);
    std::vector<std::string> entries;
    std::string text;
    if (!decodeLso(bytes, entries, error) || !formatLsoText(entries, text, error))
        return lsoFail(source + ": " + error);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}

} // namespace

int lsoCommand(const std::vector<std::string>& args) {
    if (args.size() != 2)
        return lsoUsage();
    if (args[0] == "--dump")
        return dumpTable(args[1]);
    return compileTable(args[0], args[1]);
}
