#include "base/os_info_win.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string narrow(const std::wstring& w) {
    return std::string(w.begin(), w.end());
}

// The test session sets Wine's reported version to Windows 10 on x86_64;
// a 32-bit build under WoW64 must still report the 64-bit machine.
TEST(OsInfoWin, DescribesTheRunningSystem) {
    COsInfo info;
    EXPECT_EQ(info.description(), kUnknownOsText);

    ASSERT_TRUE(info.Describe());
    const std::wstring& text = info.description();
    SCOPED_TRACE(narrow(text));
    EXPECT_EQ(text.rfind(L"Microsoft Windows 10", 0), 0u);
    EXPECT_NE(text.find(L"(Build " + std::to_wstring(info.version().dwBuildNumber) + L")"),
              std::wstring::npos);
    EXPECT_NE(text.find(L", 64-bit"), std::wstring::npos);
    EXPECT_TRUE(info.is64BitSystem());
    EXPECT_EQ(info.version().dwMajorVersion, 10u);
}

} // namespace
