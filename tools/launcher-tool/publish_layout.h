// The package layout that launcher-tool publish reads: a line-based text
// file. '#' starts a comment line; tokens are separated by blanks and may be
// quoted with '"' (no escapes); key=value tokens may be quoted as a whole or
// after the '='.
//
//   modification TEXT                 release marker (root "modification")
//   client-version TEXT               root "clientVersion"
//   launcher version=A.B.C.D (file=PATH | size=N [crc=N]) [url=URL]
//                                     file= is copied as Launcher.exe and its
//                                     size and launcher checksum computed
//   pack NAME.pkg TYPE [platform=32|64]
//                                     TYPE: full, ext, int, add
//     add PATH                        a file, or every file below a folder
//     rest                            every file no other package lists
//     info LANG name=TEXT exec=TEXT [cmdl=TEXT] [help=TEXT] [sel=0|1]
//                                     application of an ext or int package
//   increment NAME.pkg from=FOLDER [platform=32|64]
//                                     every published file that is missing
//                                     from or differs in the old client FOLDER
//   ignore VALUE                      "*\name", "*\*.ext" or a relative path
//
// `add`, `rest` and `info` belong to the pack above them. Paths are relative
// to the client folder with '\' or '/'; file= and from= are relative to the
// layout file's folder. Pure parsing; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct LayoutInfo {
    std::string lang;
    std::string name;
    std::string exec;
    std::string cmdl;
    std::string help;
    bool sel = true;
};

struct LayoutPack {
    std::string file;
    std::string type;              // full, ext, int, add or increment
    int platform = 0;              // 0, 32 or 64
    std::vector<std::string> adds; // '\\'-separated
    bool rest = false;
    std::vector<LayoutInfo> infos;
    std::string from; // increments: the old client folder
};

struct LayoutLauncher {
    std::string version;
    std::string file;
    std::optional<uint64_t> size;
    std::optional<uint32_t> crc;
    std::string url;
};

struct PublishLayout {
    std::string modification;
    std::string clientVersion;
    std::optional<LayoutLauncher> launcher;
    std::vector<LayoutPack> packs;
    std::vector<std::string> ignores;
};

// False with `error` naming the line for an unknown keyword, a missing or
// malformed value, a package name that is not a plain "*.pkg" file name, a
// duplicate package, or an add/rest/info outside a pack.
bool parsePublishLayout(std::string_view text, PublishLayout& layout, std::string& error);

// Splits a line into tokens (quotes removed). False for an unclosed quote.
bool splitLayoutTokens(std::string_view line, std::vector<std::string>& tokens);
