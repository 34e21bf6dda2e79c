#include "base/os_info_win.h"

#include <cwchar>
#include <iterator>

namespace {

// The two record sizes GetVersionExW accepts; a system that rejects the
// extended one still fills the plain one.
static_assert(sizeof(OSVERSIONINFOEXW) == 284);
static_assert(sizeof(OSVERSIONINFOW) == 276);

using GetNativeSystemInfoFn = void(WINAPI*)(LPSYSTEM_INFO);
using GetProductInfoFn = BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, PDWORD);

// Both calls are newer than the oldest systems described here, so they are
// looked up rather than imported.
template <typename Fn>
Fn kernel32Function(const char* procName) {
    const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
    if (kernel32 == nullptr)
        return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(kernel32, procName)));
}

WORD nativeProcessorArchitecture() {
    SYSTEM_INFO si = {};
    // A 32-bit process on 64-bit Windows must see the machine's
    // architecture, which only GetNativeSystemInfo reports.
    if (const auto native = kernel32Function<GetNativeSystemInfoFn>("GetNativeSystemInfo"))
        native(&si);
    else
        ::GetSystemInfo(&si);
    return si.wProcessorArchitecture;
}

} // namespace

COsInfo::COsInfo() : osvi(), text(kUnknownOsText) {}

bool COsInfo::Describe() {
    osvi = OSVERSIONINFOEXW();
    is64Bit = false;
    text = kUnknownOsText;
    if (!readVersion())
        return false;

    OsVersionRecord record = systemRecord();
    AppendEdition(record);
    const OsDescription description = describeOs(record);
    text = description.text;
    is64Bit = description.is64Bit;
    return description.known;
}

bool COsInfo::readVersion() {
    osvi.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXW);
    if (::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&osvi)))
        return true;
    osvi = OSVERSIONINFOEXW();
    osvi.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
    return ::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&osvi)) != FALSE;
}

OsVersionRecord COsInfo::systemRecord() const {
    OsVersionRecord record;
    record.nMajorVersion = osvi.dwMajorVersion;
    record.nMinorVersion = osvi.dwMinorVersion;
    record.nBuildNumber = osvi.dwBuildNumber;
    record.nPlatformId = osvi.dwPlatformId;
    record.sServicePack.assign(osvi.szCSDVersion,
                               ::wcsnlen(osvi.szCSDVersion, std::size(osvi.szCSDVersion)));
    record.nSuiteMask = osvi.wSuiteMask;
    record.nProductType = osvi.wProductType;
    record.nProcessorArchitecture = nativeProcessorArchitecture();
    record.bServerR2 = ::GetSystemMetrics(SM_SERVERR2) != 0;
    return record;
}

void COsInfo::AppendEdition(OsVersionRecord& record) const {
    if (osvi.dwMajorVersion < 6)
        return;
    const auto getProductInfo = kernel32Function<GetProductInfoFn>("GetProductInfo");
    if (getProductInfo == nullptr)
        return;
    DWORD productType = 0;
    getProductInfo(osvi.dwMajorVersion, osvi.dwMinorVersion, 0, 0, &productType);
    record.nEdition = productType;
}
