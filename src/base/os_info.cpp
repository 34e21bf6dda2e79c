#include "base/os_info.h"

#include <map>

namespace {

constexpr uint32_t kPlatformNt = 2;
constexpr uint8_t kProductWorkstation = 1;
constexpr uint16_t kArchX86 = 0;
constexpr uint16_t kArchItanium = 6;
constexpr uint16_t kArchX64 = 9;

constexpr uint16_t kSuiteEnterprise = 0x0002;
constexpr uint16_t kSuiteDatacenter = 0x0080;
constexpr uint16_t kSuitePersonal = 0x0200;
constexpr uint16_t kSuiteBlade = 0x0400;
constexpr uint16_t kSuiteStorageServer = 0x2000;
constexpr uint16_t kSuiteComputeServer = 0x4000;
constexpr uint16_t kSuiteHomeServer = 0x8000;

// Windows 11 still reports 10.0; its builds start above this one.
constexpr uint32_t kLastWindows10Build = 21995;
constexpr uint32_t kServer2019PreviewBuild = 17677;

bool isWorkstation(const OsVersionRecord& r) {
    return r.nProductType == kProductWorkstation;
}

bool hasSuite(const OsVersionRecord& r, uint16_t suite) {
    return (r.nSuiteMask & suite) != 0;
}

std::wstring windows2000Name(const OsVersionRecord& r) {
    std::wstring name = L"Windows 2000";
    if (isWorkstation(r))
        return name + L" Professional";
    if (hasSuite(r, kSuiteDatacenter))
        return name + L" Datacenter Server";
    if (hasSuite(r, kSuiteEnterprise))
        return name + L" Advanced Server";
    return name + L" Server";
}

std::wstring windowsXpName(const OsVersionRecord& r) {
    return hasSuite(r, kSuitePersonal) ? L"Windows XP Home Edition" : L"Windows XP Professional";
}

std::wstring server2003Product(const OsVersionRecord& r) {
    if (r.bServerR2)
        return L"Windows Server 2003 R2,";
    if (hasSuite(r, kSuiteStorageServer))
        return L"Windows Storage Server 2003";
    if (hasSuite(r, kSuiteHomeServer))
        return L"Windows Home Server";
    if (isWorkstation(r) && r.nProcessorArchitecture == kArchX64)
        return L"Windows XP Professional x64 Edition";
    return L"Windows Server 2003,";
}

std::wstring server2003Edition(const OsVersionRecord& r) {
    const bool datacenter = hasSuite(r, kSuiteDatacenter);
    const bool enterprise = hasSuite(r, kSuiteEnterprise);
    if (r.nProcessorArchitecture == kArchItanium) {
        if (datacenter)
            return L" Datacenter Edition for Itanium-based Systems";
        if (enterprise)
            return L" Enterprise Edition for Itanium-based Systems";
        return L"";
    }
    if (r.nProcessorArchitecture == kArchX64) {
        if (datacenter)
            return L" Datacenter Edition";
        if (enterprise)
            return L" Enterprise Edition";
        return L" Standard Edition";
    }
    if (hasSuite(r, kSuiteComputeServer))
        return L" Compute Cluster Edition";
    if (datacenter)
        return L" Datacenter Edition";
    if (enterprise)
        return L" Enterprise Edition";
    if (hasSuite(r, kSuiteBlade))
        return L" Web Edition";
    return L" Standard Edition";
}

std::wstring windows5_2Name(const OsVersionRecord& r) {
    std::wstring name = server2003Product(r);
    if (!isWorkstation(r))
        name += server2003Edition(r);
    return name;
}

std::wstring windows6Name(const OsVersionRecord& r) {
    const bool workstation = isWorkstation(r);
    switch (r.nMinorVersion) {
    case 0:
        return workstation ? L"Windows Vista" : L"Windows Server 2008";
    case 1:
        return workstation ? L"Windows 7" : L"Windows Server 2008 R2";
    case 2:
        return workstation ? L"Windows 8" : L"Windows Server 2012";
    case 3:
        return workstation ? L"Windows 8.1" : L"Windows Server 2012 R2";
    case 4:
        return L"Windows 10 Technical Preview";
    default:
        return L"";
    }
}

std::wstring windows10Name(const OsVersionRecord& r) {
    if (r.nMinorVersion != 0)
        return L"";
    if (isWorkstation(r))
        return r.nBuildNumber > kLastWindows10Build ? L"Windows 11" : L"Windows 10";
    if (r.nBuildNumber == kServer2019PreviewBuild)
        return L"Windows Server 2019 Preview";
    if (r.nBuildNumber > kServer2019PreviewBuild)
        return L"Windows Server 2019";
    return L"Windows Server 2016";
}

std::wstring editionOf(const OsVersionRecord& r) {
    return r.nEdition ? editionName(*r.nEdition) : std::wstring();
}

// Product name and edition; other major versions have neither.
std::wstring productText(const OsVersionRecord& r) {
    switch (r.nMajorVersion) {
    case 5:
        if (r.nMinorVersion == 0)
            return windows2000Name(r);
        if (r.nMinorVersion == 1)
            return windowsXpName(r);
        if (r.nMinorVersion == 2)
            return windows5_2Name(r);
        return L"";
    case 6:
        return windows6Name(r) + editionOf(r);
    case 10:
        return windows10Name(r) + editionOf(r);
    default:
        return L"";
    }
}

} // namespace

std::wstring editionName(uint32_t productType) {
    static const std::map<uint32_t, const wchar_t*> kEditions = {
        {1, L" Ultimate Edition"},
        {2, L" Home Basic Edition"},
        {3, L" Home Premium Edition"},
        {4, L" Enterprise Edition"},
        {6, L" Business Edition"},
        {7, L" Standard Edition"},
        {8, L" Datacenter Edition"},
        {9, L" Small Business Server"},
        {10, L" Enterprise Edition"},
        {11, L" Starter Edition"},
        {12, L" Datacenter Edition (core installation)"},
        {13, L" Standard Edition (core installation)"},
        {14, L" Enterprise Edition (core installation)"},
        {15, L" Enterprise Edition for Itanium-based Systems"},
        {17, L" Web Server Edition"},
        {18, L" Cluster Server Edition"},
        {25, L" Small Business Server Premium Edition"},
        {48, L" Professional"},
        {72, L" Enterprise Evaluation"},
        {84, L" Enterprise N Evaluation"},
        {98, L" Home N"},
        {99, L" Home China"},
        {100, L" Home Single Language"},
        {101, L" Home"},
        {121, L" Education"},
        {122, L" Education N"},
        {123, L" IoT Core"},
        {125, L" Enterprise 2015 LTSB"},
        {126, L" Enterprise 2015 LTSB N"},
        {129, L" Enterprise 2015 LTSB Evaluation"},
        {130, L" Enterprise 2015 LTSB N Evaluation"},
    };
    const auto it = kEditions.find(productType);
    return it == kEditions.end() ? std::wstring() : std::wstring(it->second);
}

OsDescription describeOs(const OsVersionRecord& r) {
    OsDescription d;
    if (r.nPlatformId != kPlatformNt || r.nMajorVersion < 5)
        return d;
    d.known = true;
    d.text = L"Microsoft " + productText(r);
    if (!r.sServicePack.empty())
        d.text += L" " + r.sServicePack;
    d.text += L" (Build " + std::to_wstring(r.nBuildNumber) + L")";
    if (r.nMajorVersion > 5) {
        if (r.nProcessorArchitecture == kArchX64) {
            d.text += L", 64-bit";
            d.is64Bit = true;
        } else if (r.nProcessorArchitecture == kArchX86) {
            d.text += L", 32-bit";
        }
    }
    return d;
}
