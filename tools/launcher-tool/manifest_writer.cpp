#include "manifest_writer.h"

#include <cstdio>

namespace {

std::string attribute(const char* name, const std::string& value) {
    return std::string(" ") + name + "=\"" + escapeXml(value) + "\"";
}

std::string element(const char* name, const std::string& text) {
    return std::string("<") + name + ">" + escapeXml(text) + "</" + name + ">";
}

void writeInfo(const LayoutInfo& info, const std::string& type, std::string& out) {
    out += "    <INFO" + attribute("lang", info.lang);
    if (type == "ext")
        out += attribute("sel", info.sel ? "true" : "false");
    out += ">" + element("NAME", info.name) + element("EXEC", info.exec);
    if (type == "ext")
        out += element("CMDL", info.cmdl) + element("HELP", info.help);
    out += "</INFO>\n";
}

void writePack(const PublishedPack& pack, std::string& out) {
    out += "  <PACK" + attribute("type", pack.type);
    if (pack.platform != 0)
        out += attribute("platform", std::to_string(pack.platform));
    out += attribute("file", pack.file) + attribute("crc", std::to_string(pack.crc)) +
           attribute("size", std::to_string(pack.size)) + ">\n";
    // The launcher reads file entries from the first FILE on: INFO first.
    for (const LayoutInfo& info : pack.infos)
        writeInfo(info, pack.type, out);
    for (const PublishedFile& file : pack.files)
        out += "    <FILE" + attribute("file", file.path) +
               attribute("crc", std::to_string(file.crc)) +
               attribute("size", std::to_string(file.size)) + "/>\n";
    out += "  </PACK>\n";
}

} // namespace

std::string escapeXml(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char reference[8];
                std::snprintf(reference, sizeof reference, "&#%d;", c);
                out += reference;
            } else {
                out += c;
            }
        }
    }
    return out;
}

std::string writeManifestXml(const PublishedRelease& release) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<update";
    out += attribute("modification", release.modification);
    out += attribute("clientVersion", release.clientVersion);
    if (release.launcher) {
        out += attribute("launcherVersion", release.launcher->version);
        out += attribute("launcherSize", std::to_string(release.launcher->size));
        if (release.launcher->crc)
            out += attribute("launcherCRC", std::to_string(*release.launcher->crc));
        if (!release.launcher->url.empty())
            out += attribute("launcherUrl", release.launcher->url);
    }
    out += ">\n";
    for (const PublishedPack& pack : release.packs)
        writePack(pack, out);
    if (!release.ignores.empty()) {
        out += "  <IGNORE>\n";
        for (const std::string& value : release.ignores)
            out += "    <FILE" + attribute("file", value) + "/>\n";
        out += "  </IGNORE>\n";
    }
    out += "</update>\n";
    return out;
}
