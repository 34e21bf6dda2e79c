// Whether the launcher's folder is the client's: decided in init, before
// anything of the client is written there, and explained in run when it is
// not, instead of the update.
#include "app/logic_win.h"

#include "base/file_io_win.h"
#include "base/log/run_log_win.h"
#include "ui/lang/lang_format.h"
#include "update/checker/folder_listing_win.h"
#include "update/checker/folder_ownership.h"
#include "update/flow/retry_rules.h"

#include <algorithm>

namespace {

// "This folder already holds other files..." with the product's name as the
// name of a new folder.
constexpr int kLangForeignFolder = 120;
// A desktop can hold thousands of files: the log names the first ones.
constexpr size_t kLoggedForeignNames = 20;

} // namespace

bool CLogic::checkFolderIsOurs() {
    const std::wstring ownPath = ownModulePath();
    const std::wstring folder = folderOfPath(ownPath);
    log(L"Install folder check: " + folder);
    std::vector<FolderEntry> listing;
    FolderOwnership verdict;
    if (listFolderForOwnership(folder, listing))
        verdict = judgeInstallFolder(listing, fileNameOfPath(ownPath));
    else
        log(L"  .. cannot be listed");
    if (verdict.bOurs) {
        log(verdict.bHoldsClient ? L"  .. holds the client" : L"  .. holds only the launcher");
        return true;
    }
    bForeignFolder = true;
    log(L"Install folder holds other files: nothing is installed or deleted there");
    const size_t shown = std::min(verdict.foreignNames.size(), kLoggedForeignNames);
    for (size_t i = 0; i < shown; ++i)
        log(L"  " + verdict.foreignNames[i]);
    if (verdict.foreignNames.size() > shown)
        log(L"  .. and " + std::to_wstring(verdict.foreignNames.size() - shown) + L" more");
    log(L"Move the launcher into an empty folder of its own, for example a new folder named \"" +
        sFullNameW + L"\", and start it there");
    return false;
}

void CLogic::refuseForeignFolder() {
    showMessageBox(formatLangText(getLangString(kLangForeignFolder), {LangArg(sFullNameW)}),
                   eMsgReason_Fatal, EBoxButtons::Ok, EBoxStyle::Error);
}
