#include "app/config/launcher_config.h"

#include "app/config/config_path.h"
#include "base/crc32.h"

bool CLauncherConfig::parse(const uint8_t* bytes, size_t size, std::string& error) {
    nConfigCrc = Crc32(bytes, static_cast<unsigned>(size));
    if (doc.Parse(reinterpret_cast<const char*>(bytes), size) != tinyxml2::XML_SUCCESS) {
        error = std::string("config.xml: ") + doc.ErrorStr();
        return false;
    }
    if (common() == nullptr) {
        error = "config.xml: no common element";
        return false;
    }
    const auto regPath = readConfigString(common(), "regPath/text()");
    if (!regPath || regPath->empty()) {
        error = "config.xml: no common/regPath";
        return false;
    }
    sRegPath = *regPath;
    bLogLauncher = readConfigBool(common(), "log/logLauncher/@enable").value_or(false);
    bLogHttp = readConfigBool(common(), "log/logHTTP/@enable").value_or(false);
    bMultiRun = readConfigBool(common(), "multiRun/@value").value_or(false);
    return true;
}

const tinyxml2::XMLElement* CLauncherConfig::common() const {
    return root() ? root()->FirstChildElement("common") : nullptr;
}

std::optional<std::string>
CLauncherConfig::chooseThemePath(const std::string& registryChoice) const {
    const tinyxml2::XMLElement* themes = root() ? root()->FirstChildElement("themes") : nullptr;
    std::optional<std::string> chosen;
    const tinyxml2::XMLElement* theme = themes ? themes->FirstChildElement("theme") : nullptr;
    for (; theme != nullptr; theme = theme->NextSiblingElement()) {
        const char* name = theme->Attribute("name");
        const char* path = theme->Attribute("path");
        const bool named = name != nullptr && registryChoice == name;
        if (path != nullptr && (!chosen || named))
            chosen = path;
        if (named)
            break;
    }
    return chosen;
}

namespace {

std::vector<MigrationEntry> readMigrations(const tinyxml2::XMLElement* common) {
    std::vector<MigrationEntry> list;
    const tinyxml2::XMLElement* migrations = common->FirstChildElement("migrations");
    const tinyxml2::XMLElement* first =
        migrations ? migrations->FirstChildElement("migration") : nullptr;
    // The entries are the elements that follow the first "migration".
    for (const tinyxml2::XMLElement* e = first ? first->NextSiblingElement() : nullptr;
         e != nullptr; e = e->NextSiblingElement()) {
        MigrationEntry m;
        const auto shortName = readConfigString(e, "shortName/text()");
        const auto fullName = readConfigString(e, "fullName/text()");
        const auto regPath = readConfigString(e, "regPath/text()");
        if (!shortName || !fullName || !regPath)
            continue;
        list.push_back(
            {*shortName, *fullName, *regPath, readConfigString(e, "iconName/text()").value_or("")});
    }
    return list;
}

void readSwitches(const tinyxml2::XMLElement* common, bool autoFromCommandLine, int osMajor,
                  int osMinor, LaunchSettings& out) {
    out.bSkipIconsPage = readConfigBool(common, "skipIconsPage/@value").value_or(false);
    if (!autoFromCommandLine) {
        out.bAuto = readConfigBool(common, "automaticInstallMode/@enable").value_or(false);
        if (out.bAuto)
            out.sPromoUrl = readConfigString(common, "automaticInstallMode/@promoURL").value_or("");
    }
    const bool automatic = out.bAuto || autoFromCommandLine;
    out.bSilentDownload = readConfigBool(common, "silentDownload/@value").value_or(true);
    out.bProgressFromZero = readConfigBool(common, "progressFromZero/@value").value_or(false);
    out.bIconCreateDesktop = readConfigBool(common, "iconCreateDesctop/@value").value_or(true);
    // Windows 8 and 8.1 start pages: no desktop shortcut unless automatic.
    if (!automatic && osMajor >= 6 && osMinor >= 2)
        out.bIconCreateDesktop = false;
    out.bIconCreatePrograms = readConfigBool(common, "iconCreatePrograms/@value").value_or(true);
    out.bIconCreateProgramsFolder =
        readConfigBool(common, "iconCreateProgramsFolder/@value").value_or(automatic);
}

} // namespace

std::string readLaunchSettings(const CLauncherConfig& config, bool autoFromCommandLine, int osMajor,
                               int osMinor, LaunchSettings& out) {
    const tinyxml2::XMLElement* root = config.root();
    const tinyxml2::XMLElement* common = config.common();
    if (root == nullptr || common == nullptr)
        return "config/launch";
    const auto windowClass = readConfigString(root, "launch/WindowClassName/text()");
    if (!windowClass)
        return "Unable to load window class name";
    out.sWindowClassName = *windowClass;
    const auto shortName = readConfigString(common, "shortName/text()");
    if (!shortName)
        return "Unable to load short clone name";
    out.sShortName = *shortName;
    const auto fullName = readConfigString(common, "fullName/text()");
    if (!fullName)
        return "Unable to load full clone name";
    out.sFullName = *fullName;
    out.sIconName = readConfigString(common, "iconName/text()").value_or("");
    out.sLicensePath = readConfigString(common, "urlLicense/text()").value_or("/client/license");

    const tinyxml2::XMLElement* launch = root->FirstChildElement("launch");
    if (launch == nullptr)
        return "config/launch";
    const auto process = readConfigString(launch, "Process/text()");
    if (!process || process->empty())
        return "Unable load client file name";
    out.sClientProcess = *process;
    const std::string args = readConfigString(launch, "ProcessArgs/text()").value_or("");
    out.sClientCommand = args.empty() ? *process : *process + " " + args;

    out.migrations = readMigrations(common);
    out.sConfigUpdatePath = readConfigString(common, "urlUpdate/text()").value_or("");
    readSwitches(common, autoFromCommandLine, osMajor, osMinor, out);
    return {};
}
