// The branded launcher configuration ("config.xml" of the embedded
// archive): parsed once at start, kept for the whole run, read by key path.
#pragma once

#include <tinyxml2.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class CLauncherConfig {
public:
    // Parses the document and reads what the start needs before anything
    // else: the product's registry path (required) and the log switches.
    // False with a reason in `error` when the document is unusable.
    bool parse(const uint8_t* bytes, size_t size, std::string& error);

    // The theme path: the first theme with a "path" is the default, a theme
    // whose name equals `registryChoice` overrides it. nullopt: no theme.
    std::optional<std::string> chooseThemePath(const std::string& registryChoice) const;

    const tinyxml2::XMLElement* root() const { return doc.RootElement(); }
    const tinyxml2::XMLElement* common() const;

    uint32_t nConfigCrc = 0; // CRC-32 of the bytes as stored
    std::string sRegPath;
    bool bLogLauncher = false;
    bool bLogHttp = false;
    bool bMultiRun = false;

private:
    tinyxml2::XMLDocument doc;
};

struct MigrationEntry {
    std::string shortName;
    std::string fullName;
    std::string regPath;
    std::string iconName;
};

// The rest of the configuration, read by init.
struct LaunchSettings {
    std::string sWindowClassName;
    std::string sShortName;
    std::string sFullName;
    std::string sIconName;
    std::string sLicensePath = "/client/license";
    std::string sClientProcess;
    std::string sClientCommand; // process, and a blank and the arguments when there are any
    std::string sConfigUpdatePath;
    std::vector<MigrationEntry> migrations;
    bool bSkipIconsPage = false;
    bool bAuto = false;
    std::string sPromoUrl; // opened once when the configuration switched automatic mode on
    bool bSilentDownload = true;
    bool bProgressFromZero = false;
    bool bIconCreateDesktop = true;
    bool bIconCreatePrograms = true;
    bool bIconCreateProgramsFolder = false;
};

// Reads the init keys. `autoFromCommandLine` keeps the configuration's
// automatic mode unread; the OS version decides the desktop-shortcut
// default. Returns the error text init raises for a missing required key,
// or an empty text.
std::string readLaunchSettings(const CLauncherConfig& config, bool autoFromCommandLine, int osMajor,
                               int osMinor, LaunchSettings& out);
