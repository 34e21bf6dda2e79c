// CLogic's configuration steps: the branding archive and the documents in
// it (preinit), the keys init reads, the start-up language, the
// configuration checksum, and the proposed install folder.
#include "app/logic_win.h"

#include "app/config/embedded_archive_win.h"
#include "app/config/install_folder_rules.h"
#include "app/config/install_folder_win.h"
#include "app/config/user_settings_win.h"
#include "app/lang/language_win.h"
#include "app/stamp/stamp_resources_win.h"
#include "base/file_io_win.h"
#include "base/log/file_version_win.h"
#include "base/log/run_log_win.h"
#include "base/os_info_win.h"
#include "base/utf8_text.h"
#include "system/install_folder_list_win.h"
#include "ui/lang/lang_locale_win.h"
#include "update/archive/entry_names_win.h"

#include <shellapi.h>

namespace {

// HKEY_CURRENT_USER\<regPath>\Themes, value "Theme": the user's theme.
constexpr wchar_t kThemesKey[] = L"Themes";
constexpr wchar_t kThemeValue[] = L"Theme";

} // namespace

bool CLogic::archiveFile(const std::string& name, std::vector<uint8_t>& bytes) const {
    uint8_t* data = nullptr;
    int length = 0;
    if (!archive->GetFile(name.c_str(), &data, &length))
        return false;
    bytes.assign(data, data + length);
    delete[] data;
    return true;
}

bool CLogic::loadLauncherConfig() {
    installRarNameConversion();
    std::string error;
    std::vector<uint8_t> bytes;
    if (!loadEmbeddedArchive(*archive, error) || !archiveFile("config.xml", bytes) ||
        !config.parse(bytes.data(), bytes.size(), error))
        return false;
    sRegPath = wideFromUtf8(config.sRegPath);

    const std::string choice = readUserSetting(config.sRegPath, kThemesKey, kThemeValue);
    const std::optional<std::string> themePath = config.chooseThemePath(choice);
    if (!themePath)
        return false;
    g_sThemePrefix = *themePath + "\\";

    const ArchiveFileLookup lookup = [this](const std::string& name, std::vector<uint8_t>& out) {
        return archiveFile(name, out);
    };
    if (!loadLanguages(config.common(), lookup, windowsLangLocales(), languages))
        return false;
    g_pLangTable = &languages.table;
    return true;
}

bool CLogic::loadThemeConfig() {
    std::vector<uint8_t> bytes;
    return archiveFile(g_sThemePrefix + "config.xml", bytes) &&
           themeConfig.Parse(reinterpret_cast<const char*>(bytes.data()), bytes.size()) ==
               tinyxml2::XML_SUCCESS;
}

bool CLogic::preinit() {
    return loadLauncherConfig() && loadThemeConfig();
}

void CLogic::readLauncherKeys() {
    COsInfo os;
    os.Describe();
    nPlatform = os.is64BitSystem() ? pp64 : pp32;
    const std::string error =
        readLaunchSettings(config, bAuto, static_cast<int>(os.version().dwMajorVersion),
                           static_cast<int>(os.version().dwMinorVersion), settings);
    if (!error.empty())
        throw error;
    sFullNameW = wideFromUtf8(settings.sFullName);
    if (!bAuto && settings.bAuto) {
        bAuto = true;
        if (!settings.sPromoUrl.empty())
            ::ShellExecuteW(nullptr, L"open", wideFromUtf8(settings.sPromoUrl).c_str(), nullptr,
                            nullptr, SW_SHOWNORMAL);
    }
}

void CLogic::readThemeKeys() {
    const std::string error = readThemeSettings(themeConfig.RootElement(), theme);
    if (!error.empty())
        throw error;
    log(L"Theme: " + wideFromUtf8(g_sThemePrefix));
}

bool CLogic::selectStartLanguage() {
    if (!chooseLanguage(languages, nRunMode, config.sRegPath, pLog, language))
        return false;
    const CLauncherLang* table = languages.table.current();
    log(L"Language: " + wideFromUtf8(language.sCode) + L" (" +
        wideFromUtf8(table ? table->longName() : std::string()) + L")");
    return true;
}

void CLogic::prepareServerData() {
    const std::vector<std::string> stamped = readStampList("SERVER_URL", 132);
    selector.SetLog([this](const std::string& text, bool lineEnd) {
        if (pLog != nullptr)
            pLog->write(wideFromUtf8(text).c_str(), lineEnd);
    });
    sCudPath = sInstallFolder.empty() ? L"CUD.dat" : sInstallFolder + L"\\CUD.dat";
    if (configChanged(sInstallFolder, config.nConfigCrc)) {
        const bool removed = ::DeleteFileW(sCudPath.c_str()) != FALSE;
        log(removed ? L"Configuration changed: CUD.dat removed" : L"Configuration changed");
    }
    const tinyxml2::XMLElement* cud =
        config.root() ? config.root()->FirstChildElement("ClientUpdateData") : nullptr;
    if (!selector.Init(cud, CUrlList(stamped.begin(), stamped.end()), sCudPath, bDebugMode))
        throw std::string("Failed to initialize client update data");
    if (!selector.SelectServerUrl())
        throw std::string("Failed to select server URL");
    sUserAgentHeader =
        "User-Agent: " + selector.Face().id + " " + getFileVersion(ownModulePath()) + "\r\n";
}

bool CLogic::proposeInstallFolder(const std::wstring& chosen) {
    InstallFolderChoice c;
    c.chosen = chosen;
    c.previouslyTyped = sTypedInstallFolder;
    c.current = sInstallFolder;
    c.installRun = nRunMode == rmInstall;
    c.ownFolder = folderOfPath(ownModulePath());
    c.fullName = sFullNameW;
    if (c.installRun && c.chosen.empty() && c.current.empty()) {
        CInstallFolderList registered;
        if (loadFolderList(sRegPath, registered))
            c.firstRegistered = registered.firstRegisteredFolder();
        c.programFiles = programFilesFolder();
    }
    const std::optional<std::wstring> folder = proposeInstallFolderValue(c);
    if (!folder)
        return false;
    sInstallFolder = *folder;
    return true;
}
