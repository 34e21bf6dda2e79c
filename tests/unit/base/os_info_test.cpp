#include "base/os_info.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

constexpr uint8_t kWorkstation = 1;
constexpr uint8_t kDomainController = 2;
constexpr uint8_t kServer = 3;
constexpr uint16_t kX86 = 0;
constexpr uint16_t kItanium = 6;
constexpr uint16_t kX64 = 9;
constexpr uint16_t kArm64 = 12;

constexpr uint16_t kEnterprise = 0x0002;
constexpr uint16_t kDatacenter = 0x0080;
constexpr uint16_t kPersonal = 0x0200;
constexpr uint16_t kBlade = 0x0400;
constexpr uint16_t kStorage = 0x2000;
constexpr uint16_t kCompute = 0x4000;
constexpr uint16_t kHomeServer = 0x8000;

constexpr int64_t kNoEdition = -1;

struct DescribeCase {
    uint32_t major;
    uint32_t minor;
    uint32_t build;
    uint8_t productType;
    uint16_t suite;
    uint16_t arch;
    const wchar_t* servicePack;
    int64_t edition;
    bool serverR2;
    const wchar_t* text;
    bool is64Bit;
};

OsVersionRecord recordOf(const DescribeCase& c) {
    OsVersionRecord r;
    r.nMajorVersion = c.major;
    r.nMinorVersion = c.minor;
    r.nBuildNumber = c.build;
    r.nPlatformId = 2;
    r.sServicePack = c.servicePack;
    r.nSuiteMask = c.suite;
    r.nProductType = c.productType;
    r.nProcessorArchitecture = c.arch;
    r.bServerR2 = c.serverR2;
    if (c.edition != kNoEdition)
        r.nEdition = static_cast<uint32_t>(c.edition);
    return r;
}

std::string narrow(const std::wstring& w) {
    return std::string(w.begin(), w.end());
}

const DescribeCase kCases[] = {
    // Windows 2000 and XP never carry a bitness suffix, not even on x64.
    {5, 0, 2195, kWorkstation, 0, kX86, L"Service Pack 4", kNoEdition, false,
     L"Microsoft Windows 2000 Professional Service Pack 4 (Build 2195)", false},
    {5, 0, 2195, kServer, kDatacenter | kEnterprise, kX86, L"", kNoEdition, false,
     L"Microsoft Windows 2000 Datacenter Server (Build 2195)", false},
    {5, 0, 2195, kDomainController, kEnterprise, kX86, L"", kNoEdition, false,
     L"Microsoft Windows 2000 Advanced Server (Build 2195)", false},
    {5, 0, 2195, kServer, 0, kX86, L"", kNoEdition, false,
     L"Microsoft Windows 2000 Server (Build 2195)", false},
    {5, 1, 2600, kWorkstation, kPersonal, kX86, L"Service Pack 3", kNoEdition, false,
     L"Microsoft Windows XP Home Edition Service Pack 3 (Build 2600)", false},
    {5, 1, 2600, kWorkstation, 0, kX64, L"", 1, false,
     L"Microsoft Windows XP Professional (Build 2600)", false},
    // 5.2: the product, then the server edition by processor and suite.
    {5, 2, 3790, kServer, kEnterprise, kX86, L"Service Pack 2", kNoEdition, true,
     L"Microsoft Windows Server 2003 R2, Enterprise Edition Service Pack 2 (Build 3790)", false},
    {5, 2, 3790, kServer, kStorage, kX86, L"", kNoEdition, false,
     L"Microsoft Windows Storage Server 2003 Standard Edition (Build 3790)", false},
    {5, 2, 3790, kServer, kHomeServer, kX86, L"", kNoEdition, false,
     L"Microsoft Windows Home Server Standard Edition (Build 3790)", false},
    {5, 2, 3790, kWorkstation, 0, kX64, L"Service Pack 2", kNoEdition, false,
     L"Microsoft Windows XP Professional x64 Edition Service Pack 2 (Build 3790)", false},
    {5, 2, 3790, kServer, kDatacenter, kItanium, L"", kNoEdition, false,
     L"Microsoft Windows Server 2003, Datacenter Edition for Itanium-based Systems (Build 3790)",
     false},
    {5, 2, 3790, kServer, kEnterprise, kItanium, L"", kNoEdition, false,
     L"Microsoft Windows Server 2003, Enterprise Edition for Itanium-based Systems (Build 3790)",
     false},
    {5, 2, 3790, kServer, 0, kItanium, L"", kNoEdition, false,
     L"Microsoft Windows Server 2003, (Build 3790)", false},
    {5, 2, 3790, kServer, kDatacenter | kEnterprise, kX64, L"", kNoEdition, false,
     L"Microsoft Windows Server 2003, Datacenter Edition (Build 3790)", false},
    {5, 2, 3790, kServer, kEnterprise, kX64, L"", kNoEdition, false,
     L"Microsoft Windows Server 2003, Enterprise Edition (Build 3790)", false},
    {5, 2, 3790, kServer, kCompute | kBlade, kX64, L"", kNoEdition, false,
     L"Microsoft Windows Server 2003, Standard Edition (Build 3790)", false},
    {5, 2, 3790, kServer, kCompute | kDatacenter, kX86, L"", kNoEdition, false,
     L"Microsoft Windows Server 2003, Compute Cluster Edition (Build 3790)", false},
    {5, 2, 3790, kServer, kDatacenter | kEnterprise | kBlade, kX86, L"", kNoEdition, false,
     L"Microsoft Windows Server 2003, Datacenter Edition (Build 3790)", false},
    {5, 2, 3790, kServer, kEnterprise | kBlade, kX86, L"", kNoEdition, false,
     L"Microsoft Windows Server 2003, Enterprise Edition (Build 3790)", false},
    {5, 2, 3790, kServer, kBlade, kX86, L"", kNoEdition, false,
     L"Microsoft Windows Server 2003, Web Edition (Build 3790)", false},
    {5, 2, 3790, kServer, 0, kX86, L"", kNoEdition, false,
     L"Microsoft Windows Server 2003, Standard Edition (Build 3790)", false},
    // 6.x: name by product type, then the edition before the service pack.
    {6, 0, 6002, kWorkstation, 0, kX86, L"Service Pack 2", 1, false,
     L"Microsoft Windows Vista Ultimate Edition Service Pack 2 (Build 6002), 32-bit", false},
    {6, 0, 6002, kServer, 0, kX64, L"", 8, false,
     L"Microsoft Windows Server 2008 Datacenter Edition (Build 6002), 64-bit", true},
    {6, 1, 7601, kWorkstation, 0, kX64, L"Service Pack 1", 48, false,
     L"Microsoft Windows 7 Professional Service Pack 1 (Build 7601), 64-bit", true},
    {6, 1, 7601, kDomainController, 0, kItanium, L"", 15, false,
     L"Microsoft Windows Server 2008 R2 Enterprise Edition for Itanium-based Systems (Build 7601)",
     false},
    {6, 2, 9200, kWorkstation, 0, kX64, L"", kNoEdition, false,
     L"Microsoft Windows 8 (Build 9200), 64-bit", true},
    {6, 2, 9200, kServer, 0, kX64, L"", 13, false,
     L"Microsoft Windows Server 2012 Standard Edition (core installation) (Build 9200), 64-bit",
     true},
    {6, 3, 9600, kWorkstation, 0, kX86, L"", 101, false,
     L"Microsoft Windows 8.1 Home (Build 9600), 32-bit", false},
    {6, 3, 9600, kServer, 0, kX64, L"", 0x1C, false,
     L"Microsoft Windows Server 2012 R2 (Build 9600), 64-bit", true},
    {6, 4, 9841, kServer, 0, kX64, L"", 4, false,
     L"Microsoft Windows 10 Technical Preview Enterprise Edition (Build 9841), 64-bit", true},
    {6, 5, 1, kWorkstation, 0, kArm64, L"", 101, false, L"Microsoft  Home (Build 1)", false},
    // 10.0: Windows 11 and the server generations by build number.
    {10, 0, 22000, kWorkstation, 0, kX64, L"", 48, false,
     L"Microsoft Windows 11 Professional (Build 22000), 64-bit", true},
    {10, 0, 21996, kWorkstation, 0, kX86, L"", kNoEdition, false,
     L"Microsoft Windows 11 (Build 21996), 32-bit", false},
    {10, 0, 21995, kWorkstation, 0, kX64, L"", 0x1C, false,
     L"Microsoft Windows 10 (Build 21995), 64-bit", true},
    {10, 0, 19045, kWorkstation, 0, kX86, L"", 121, false,
     L"Microsoft Windows 10 Education (Build 19045), 32-bit", false},
    {10, 0, 17677, kServer, 0, kX64, L"", 8, false,
     L"Microsoft Windows Server 2019 Preview Datacenter Edition (Build 17677), 64-bit", true},
    {10, 0, 17763, kServer, 0, kX64, L"", 7, false,
     L"Microsoft Windows Server 2019 Standard Edition (Build 17763), 64-bit", true},
    {10, 0, 17676, kServer, 0, kX64, L"", 72, false,
     L"Microsoft Windows Server 2016 Enterprise Evaluation (Build 17676), 64-bit", true},
    {10, 1, 30000, kWorkstation, 0, kX64, L"", 125, false,
     L"Microsoft  Enterprise 2015 LTSB (Build 30000), 64-bit", true},
    // Major versions without a name table still get build and bitness.
    {11, 0, 100, kWorkstation, 0, kX64, L"", 48, false, L"Microsoft  (Build 100), 64-bit", true},
};

TEST(OsInfo, DescribesEveryVersionEditionAndArchitecture) {
    for (const DescribeCase& c : kCases) {
        SCOPED_TRACE(narrow(c.text));
        const OsDescription d = describeOs(recordOf(c));
        EXPECT_TRUE(d.known);
        EXPECT_EQ(d.text, c.text);
        EXPECT_EQ(d.is64Bit, c.is64Bit);
    }
}

TEST(OsInfo, OnlyNtFromVersion5IsKnown) {
    struct Unknown {
        uint32_t platform;
        uint32_t major;
    };
    const Unknown kUnknown[] = {{2, 4}, {2, 0}, {1, 5}, {1, 10}, {0, 6}, {3, 10}};
    for (const Unknown& u : kUnknown) {
        SCOPED_TRACE(testing::Message() << "platform " << u.platform << " major " << u.major);
        OsVersionRecord r;
        r.nPlatformId = u.platform;
        r.nMajorVersion = u.major;
        r.nProcessorArchitecture = kX64;
        r.nEdition = 48;
        const OsDescription d = describeOs(r);
        EXPECT_FALSE(d.known);
        EXPECT_EQ(d.text, kUnknownOsText);
        EXPECT_FALSE(d.is64Bit);
    }
}

TEST(OsInfo, EditionNamesFollowTheProductTypeTable) {
    const std::pair<uint32_t, const wchar_t*> kNamed[] = {
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
    for (const auto& [type, text] : kNamed) {
        SCOPED_TRACE(testing::Message() << "product type " << type);
        EXPECT_EQ(editionName(type), text);
    }
    for (uint32_t unnamed :
         {0u, 5u, 16u, 19u, 24u, 26u, 0x1Cu, 47u, 49u, 124u, 127u, 128u, 131u, 0xABCDABCDu}) {
        SCOPED_TRACE(testing::Message() << "product type " << unnamed);
        EXPECT_EQ(editionName(unnamed), L"");
    }
}

} // namespace
