// launcher-tool: the studio's tool for publishing and personalising the
// launcher.
//   stamp SOURCE.exe COPY.exe TYPE=VALUE...   write values into a copy
//   stamp --show FILE.exe                     print the stamped values
//   crc FILE.exe [--variant 0|1]              the launcher checksum
//   publish CLIENT LAYOUT OUT                 an update-server tree
//   verify INSTALL MANIFEST                   compare an install with it
#include "image_file.h"
#include "lso_command.h"
#include "pack_command.h"
#include "publish_command.h"
#include "stamp_writer.h"
#include "verify_command.h"

#include "app/stamp/pe_resources.h"
#include "app/stamp/stamp_slots.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: launcher-tool stamp SOURCE.exe COPY.exe TYPE=VALUE...\n"
                 "       launcher-tool stamp --show FILE.exe\n"
                 "       launcher-tool crc FILE.exe [--variant 0|1]\n"
                 "       launcher-tool pack FOLDER OUT.rar\n"
                 "       launcher-tool lso TABLE.txt OUT.lso | lso --dump IN.lso\n"
                 "       launcher-tool publish CLIENT_FOLDER LAYOUT.txt OUT_FOLDER\n"
                 "       launcher-tool verify INSTALL_FOLDER update.xml|update.rxml\n"
                 "                            [--platform 32|64] [--lang CODE] [--app EXEC]...\n"
                 "slot types: SERVER_URL (may repeat), UPDATE_PATH, LANGUAGE, AFFILIATE_ID,\n"
                 "            REFERRER_ID, PROMOCODE\n"
                 "publish layout (one statement a line, '#' comments, \"quotes\" for blanks):\n"
                 "  modification TEXT | client-version TEXT | ignore *\\NAME|*\\*.EXT|PATH\n"
                 "  launcher version=A.B.C.D (file=Launcher.exe | size=N [crc=N]) [url=URL]\n"
                 "  pack NAME.pkg full|ext|int|add [platform=32|64]\n"
                 "    add PATH | rest | info LANG name=.. exec=.. [cmdl=..] [help=..] [sel=0|1]\n"
                 "  increment NAME.pkg from=OLD_CLIENT_FOLDER [platform=32|64]\n"
                 "verify exit code: 0 nothing differs, 1 files differ, are extra or broken,\n"
                 "                  2 bad arguments or unreadable manifest\n");
    return 2;
}

int fail(const std::string& message) {
    std::fprintf(stderr, "launcher-tool: %s\n", message.c_str());
    return 1;
}

int showCommand(const std::string& path) {
    std::vector<uint8_t> image;
    std::string error;
    if (!readImageFile(path, image, error))
        return fail(error);
    const std::vector<std::string> lines = showStamps(image, error);
    if (!error.empty())
        return fail(path + ": " + error);
    for (const std::string& line : lines)
        std::printf("%s\n", line.c_str());
    return 0;
}

int stampCommand(const std::vector<std::string>& args) {
    if (args.size() == 2 && args[0] == "--show")
        return showCommand(args[1]);
    if (args.size() < 3)
        return usage();
    StampValues values;
    for (size_t i = 2; i < args.size(); ++i) {
        const size_t eq = args[i].find('=');
        if (eq == std::string::npos)
            return fail("expected TYPE=VALUE, got " + args[i]);
        values[args[i].substr(0, eq)].push_back(args[i].substr(eq + 1));
    }
    std::vector<uint8_t> image;
    std::string error;
    if (!readImageFile(args[0], image, error))
        return fail(error);
    error = stampImage(image, values);
    if (!error.empty())
        return fail(args[0] + ": " + error + "; nothing written");
    if (!writeImageFile(args[1], image, error))
        return fail(error);
    return 0;
}

int crcCommand(const std::vector<std::string>& args) {
    if (args.empty() || args.size() == 2 || args.size() > 3)
        return usage();
    int variant = 0;
    if (args.size() == 3) {
        if (args[1] != "--variant" || (args[2] != "0" && args[2] != "1"))
            return usage();
        variant = args[2] == "1" ? 1 : 0;
    }
    std::vector<uint8_t> image;
    std::string error;
    if (!readImageFile(args[0], image, error))
        return fail(error);
    if (!isPeImage(image.data(), image.size()))
        return fail(args[0] + ": not a PE executable");
    // The slot sizes come from the image's own resources, as the running
    // launcher takes them from its module.
    const StampSlotSize slotSize = [&](const StampSlot& slot) -> std::optional<size_t> {
        const auto r =
            findPeResource(image.data(), image.size(), slot.type, static_cast<uint16_t>(slot.id));
        return r ? std::optional<size_t>(r->size) : std::nullopt;
    };
    std::printf("%u\n", computeLauncherCrcOfImage(image.data(), image.size(), variant, slotSize));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return usage();
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "stamp")
        return stampCommand(args);
    if (command == "pack")
        return packCommand(args);
    if (command == "crc")
        return crcCommand(args);
    if (command == "lso")
        return lsoCommand(args);
    if (command == "publish")
        return publishCommand(args);
    if (command == "verify")
        return verifyCommand(args);
    return usage();
}
