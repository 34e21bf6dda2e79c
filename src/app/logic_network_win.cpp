// The logic's network: write rights, the transport and the downloader, the
// manifest request and what arrives for it, and the checker's start.
#include "app/logic_win.h"

#include "app/config/install_folder_win.h"
#include "app/stamp/own_launcher_win.h"
#include "base/file_io_win.h"
#include "base/log/run_log_win.h"
#include "base/scoped_handle_win.h"
#include "base/utf8_text.h"
#include "net/download/downloader_win.h"
#include "net/net_transport_win.h"
#include "update/checker/folder_ownership.h"
#include "update/flow/retry_rules.h"
#include "update/manifest/manifest_file.h"
#include "update/manifest/manifest_receive.h"
#include "update/manifest/manifest_text.h"

namespace {

constexpr const char* kManifestArchive = "update.rxml";
constexpr unsigned kTransportWaitMs = 5000;

// Whether a file can be created in `folder` (it is removed again at once).
bool canWriteInto(const std::wstring& folder) {
    CFile file(::CreateFileW((folder + L"\\launcher-write-test.tmp").c_str(), GENERIC_WRITE, 0,
                             nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return file.isOpen();
}

} // namespace

bool CLogic::checkWriteRights() {
    if (nRunMode != rmUpdate && nRunMode != rmDownload)
        return true;
    clearVirtualStore(sInstallFolder, pLog);
    if (canWriteInto(sInstallFolder))
        return true;
    if (!bGuest) {
        stepNotAvailable(L"Elevated assistant");
        return false;
    }
    askUser(70, eMsgReason_Fatal, EBoxButtons::Ok, EBoxStyle::Error);
    return false;
}

bool CLogic::startNetwork() {
    if (bUseServer && !bNetStarted) {
        setProgressText(getLangString(18));
        transport = std::make_unique<NetEx::CNetTransport>();
        auto params = std::make_unique<NetEx::SNetOpenParams>();
        params->userAgent = "Mozilla/5.0 (Trident/7.0; rv:11.0)";
        if (transport->Start(kTransportWaitMs) && transport->Open(std::move(params))) {
            log(L"Net transport successfully initialized");
            if (config.bLogHttp) {
                auto logSettings = std::make_unique<NetEx::SNetLogSettings>();
                logSettings->enabled = 1;
                logSettings->folder = utf8FromWide(folderOfPath(ownModulePath())) + "\\";
                transport->SetLogSettings(std::move(logSettings));
            }
            downloader = std::make_unique<NetEx::CDownloader>(transport.get());
            downloader->SetName("CLogic thread");
            downloader->SetNotify(this);
            downloader->SetLog(pLog);
            downloader->SetWindow(dialog.Handle());
            downloader->SetLanguageCode(language.sCode);
            log(L"Downloader successfully initialized");
            useSelectedServer();
            bNetStarted = true;
        }
        if (!bNetStarted) {
            askUser(71, eMsgReason_Fatal, EBoxButtons::Ok, EBoxStyle::Error);
            return true;
        }
    }
    if (bNetStarted)
        requestManifest();
    return true;
}

void CLogic::stopNetwork() {
    if (!bNetStarted)
        return;
    logBoundedWait(L"Downloader uninit .. ",
                   [this] { return downloader->Detach(kTransportWaitMs); });
    downloader->DiscardPendingMessages();
    logBoundedWait(L"Net transport shutdown .. ", [this] {
        transport->PostQuit();
        return transport->Wait(kTransportWaitMs);
    });
    downloader.reset();
    transport.reset();
    bNetStarted = false;
}

void CLogic::requestManifest() {
    downloader->DownloadUpdateXml((sUpdatePath + kManifestArchive).c_str());
}

void CLogic::OnUpdateXmlReceived(CBuffer* body) {
    std::string text;
    std::string error;
    if (!extractManifestText(body->GetData(), body->GetLength(), text, error)) {
        log(wideFromUtf8(error));
        ladder.EndAttempts();
        OnNetError(NetEx::eDownload_UpdateXml, 0, 0, utf8FromWide(getLangString(21)));
        return;
    }
    sManifestText = std::move(text);
    log(L"update.rxml Received");
    selector.AcceptCustomUrl();
    log(L"--- start Update.xml ---");
    log(wideFromUtf8(sManifestText));
    log(L"--- end Update.xml ---");
    sOldManifestText.clear();
    if (nRunMode == rmUpdate) {
        log(L"Load old update.xml");
        loadManifestFile(sInstallFolder, sOldManifestText);
    }
    startCheckThread();
}

void CLogic::startCheckThread() {
    log(L"Start check thread");
    CheckThreadSettings s;
    s.check.platform = nPlatform;
    s.check.launcherName = fileNameOfPath(ownModulePath());
    s.check.language = language.sCode;
    s.check.protectedNames.insert(std::begin(kLauncherWorkFiles), std::end(kLauncherWorkFiles));
    s.check.protectedFolders = {kTempFolder};
    s.sInstallFolder = sInstallFolder;
    s.sManifestText = sManifestText;
    if (bFastMode && !sOldManifestText.empty()) {
        log(L"Init check thread (fast mode)");
        s.sOldManifestText = sOldManifestText;
        s.check.bQuickCheck = true;
        s.check.bIsUpdate = true;
    } else {
        log(L"Init check thread");
        // Without the silent download there is no other launcher to share the
        // folder with: this run does the whole update and may clean up.
        s.check.bCanDelete = true;
        log(L"bCanDelete = true");
        const bool silentLeftovers = fileExists(sInstallFolder + L"\\silent.dat");
        if (!silentLeftovers)
            s.sOldManifestText = sOldManifestText;
        s.check.bIsUpdate = nRunMode == rmUpdate;
    }
    s.ownLauncher = describeOwnLauncher();
    if (!checker.StartCheck(dialog.Handle(), std::move(s)))
        askUser(21, eMsgReason_Fatal, EBoxButtons::Ok, EBoxStyle::Normal);
}

void CLogic::OnCUDFileReceived(CBuffer* body) {
    selector.AcceptCustomUrl();
    std::string xml;
    body->ToString(xml);
    const bool serversChanged = selector.ApplyIncomingCud(xml.c_str());
    if (serversChanged)
        selector.SaveCudFile(false);
    carryOut(ladder.OnServerData(serversChanged));
}

// The system update package and the terms text belong to the install
// steps, which this version does not offer.
void CLogic::OnKBFileProgress(unsigned, unsigned) {}

void CLogic::OnKBFileReceived(CBuffer*) {
    stepNotAvailable(L"System update package");
}

void CLogic::OnLicenseReceived(CBuffer*) {
    stepNotAvailable(L"Terms of use");
}
