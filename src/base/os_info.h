// The one-line description of the running Windows that goes into the run
// log, built from plain version data so every branch can be tested without
// the system. COsInfo (os_info_win.h) reads the data from the system.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

inline constexpr const wchar_t* kUnknownOsText = L"Unknown operating system";

// Values as the system reports them (the meaning of each number is the
// system's own: platform 2 is NT, product type 1 a workstation, architecture
// 0 x86, 6 Itanium, 9 x64).
struct OsVersionRecord {
    uint32_t nMajorVersion = 0;
    uint32_t nMinorVersion = 0;
    uint32_t nBuildNumber = 0;
    uint32_t nPlatformId = 0;
    std::wstring sServicePack;
    uint16_t nSuiteMask = 0;
    uint8_t nProductType = 0;
    // Of the machine, not of the process: a 32-bit process on 64-bit
    // Windows records x64.
    uint16_t nProcessorArchitecture = 0;
    bool bServerR2 = false;
    // GetProductInfo's product type; empty when the system has no such call.
    std::optional<uint32_t> nEdition;
};

struct OsDescription {
    // False when the record is not an NT system of version 5 or later; the
    // text is then kUnknownOsText.
    bool known = false;
    std::wstring text = kUnknownOsText;
    bool is64Bit = false;
};

// Builds the description: vendor, product name, edition, service pack,
// build number and, from version 6 on, the bitness.
OsDescription describeOs(const OsVersionRecord& record);

// The edition text for a GetProductInfo product type (with its leading
// space); empty for types without a name.
std::wstring editionName(uint32_t productType);
