// The text of "update.xml" for a published release: attributes and elements
// in a fixed order, so the same release always gives the same bytes. Pure;
// any thread.
#pragma once

#include "publish_layout.h"

#include <cstdint>
#include <string>
#include <vector>

struct PublishedFile {
    std::string path; // '\\'-separated, as in the client folder
    uint32_t crc = 0; // as the launcher computes it (0xFFFFFFFF when empty)
    uint64_t size = 0;
};

struct PublishedPack {
    std::string file;
    std::string type;
    int platform = 0;
    uint32_t crc = 0;
    uint64_t size = 0;
    std::vector<LayoutInfo> infos;
    std::vector<PublishedFile> files;
};

struct PublishedLauncher {
    std::string version;
    uint64_t size = 0;
    std::optional<uint32_t> crc;
    std::string url;
};

struct PublishedRelease {
    std::string modification;
    std::string clientVersion;
    std::optional<PublishedLauncher> launcher;
    std::vector<PublishedPack> packs;
    std::vector<std::string> ignores;
};

std::string writeManifestXml(const PublishedRelease& release);

// Text with &, <, >, " and control characters written as references.
std::string escapeXml(const std::string& text);
