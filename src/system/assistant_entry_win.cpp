#include "system/assistant_entry_win.h"

#include "base/decimal_handle.h"
#include "base/windows_win.h"

#include <shellapi.h>

#include <memory>

namespace {

struct LocalFreeDeleter {
    void operator()(LPWSTR* p) const { ::LocalFree(p); }
};

bool isAdministratorsMember() {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    if (!::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                    0, 0, 0, 0, 0, &admins))
        return false;
    BOOL member = FALSE;
    if (!::CheckTokenMembership(nullptr, admins, &member))
        member = FALSE;
    ::FreeSid(admins);
    return member != FALSE;
}

} // namespace

void runAssistantEntry(const std::wstring& fullCommandLine) {
    int count = 0;
    std::unique_ptr<LPWSTR, LocalFreeDeleter> args(
        ::CommandLineToArgvW(fullCommandLine.c_str(), &count));
    if (!args || count != 2)
        return;
    const HWND launcher =
        reinterpret_cast<HWND>(static_cast<uintptr_t>(parseDecimalHandle(args.get()[1])));
    if (!isAdministratorsMember()) {
        ::SendNotifyMessageW(launcher, eWindowsMessage_AssistantNoRights, 0, 0);
        return;
    }
    // The elevated work over the launcher's pipe is served by the assistant
    // (not part of this build yet); a member has nothing more to do here.
}
