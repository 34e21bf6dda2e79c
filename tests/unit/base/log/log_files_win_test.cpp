#include "base/log/file_version_win.h"
#include "base/log/log_files_win.h"
#include "base/log/run_log_win.h"

#include "support/temp_folder_win.h"
#include "unit/base/log/log_test_files_win.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

namespace {

using logtest::exists;
using logtest::readFileBytes;
using logtest::writeFileBytes;

SYSTEMTIME startTime() {
    SYSTEMTIME t{};
    t.wYear = 2025;
    t.wMonth = 6;
    t.wDay = 20;
    t.wHour = 11;
    t.wMinute = 18;
    t.wSecond = 27;
    return t;
}

class ChooseLogFileName : public ::testing::Test {
protected:
    testwin::CTempFolder temp;
    const std::wstring first = temp / L"20250620_111827.Launcher.exe.log";
};

TEST_F(ChooseLogFileName, FirstFreeCandidate) {
    EXPECT_EQ(chooseLogFileName(temp.path(), L"Launcher.exe", startTime()), first);
    EXPECT_EQ(chooseLogFileName(temp.path() + L"\\", L"Launcher.exe", startTime()), first);
    ASSERT_TRUE(writeFileBytes(first, "taken"));
    EXPECT_EQ(chooseLogFileName(temp.path(), L"Launcher.exe", startTime()),
              temp / L"20250620_111827_1.Launcher.exe.log");
}

TEST_F(ChooseLogFileName, TwoStartsInOneSecondDifferBySuffix) {
    CLogImplW firstRun;
    ASSERT_TRUE(
        firstRun.open(chooseLogFileName(temp.path(), L"Launcher.exe", startTime()).c_str()));
    CLogImplW secondRun;
    const std::wstring second = chooseLogFileName(temp.path(), L"Launcher.exe", startTime());
    EXPECT_EQ(second, temp / L"20250620_111827_1.Launcher.exe.log");
    EXPECT_TRUE(secondRun.open(second.c_str()));
}

TEST_F(ChooseLogFileName, AllTakenGivesTheLastCandidate) {
    ASSERT_TRUE(writeFileBytes(first, ""));
    for (int i = 1; i < 100; ++i) {
        const std::wstring name =
            temp / (L"20250620_111827_" + std::to_wstring(i) + L".Launcher.exe.log");
        ASSERT_TRUE(writeFileBytes(name, ""));
    }
    EXPECT_EQ(chooseLogFileName(temp.path(), L"Launcher.exe", startTime()),
              temp / L"20250620_111827_99.Launcher.exe.log");
}

TEST(ChooseLogFileNameWithoutFolder, OwnNameWithLogAppended) {
    EXPECT_EQ(chooseLogFileName(L"", L"Launcher.exe", startTime()), L"Launcher.exe.log");
}

class MigrateOldLogs : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(::CreateDirectoryW((temp / L"logs").c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryW(client.c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryW((temp / L"logs\\20250101_000000.other").c_str(), nullptr));
        ASSERT_TRUE(writeFileBytes(temp / L"Launcher.exe.log", "previous run"));
    }

    testwin::CTempFolder temp;
    const std::wstring client = temp / L"logs\\20250620_111827.client";
};

TEST_F(MigrateOldLogs, MovesLogsIntoTheNewestDatedFolder) {
    ASSERT_TRUE(writeFileBytes(temp / L"notes.txt", "not a log"));
    ASSERT_TRUE(::CreateDirectoryW((temp / L"folder.log").c_str(), nullptr));
    migrateOldLogs(temp.path());
    EXPECT_EQ(readFileBytes(client + L"\\client.Launcher.exe.log"), "previous run");
    EXPECT_FALSE(exists(temp / L"Launcher.exe.log"));
    EXPECT_TRUE(exists(temp / L"notes.txt"));
    EXPECT_TRUE(exists(temp / L"folder.log"));
    EXPECT_FALSE(exists(temp / L"logs\\20250101_000000.other\\other.Launcher.exe.log"));
}

TEST_F(MigrateOldLogs, TakenNameGetsANumber) {
    ASSERT_TRUE(writeFileBytes(client + L"\\client.Launcher.exe.log", "earlier"));
    migrateOldLogs(temp.path() + L"\\");
    EXPECT_EQ(readFileBytes(client + L"\\client.Launcher.exe.log"), "earlier");
    EXPECT_EQ(readFileBytes(client + L"\\client.Launcher.exe(1).log"), "previous run");
}

TEST_F(MigrateOldLogs, FileStaysWhenAllNamesAreTaken) {
    ASSERT_TRUE(writeFileBytes(client + L"\\client.Launcher.exe.log", ""));
    for (int i = 1; i < 100; ++i) {
        const std::wstring name =
            client + L"\\client.Launcher.exe(" + std::to_wstring(i) + L").log";
        ASSERT_TRUE(writeFileBytes(name, ""));
    }
    migrateOldLogs(temp.path());
    EXPECT_EQ(readFileBytes(temp / L"Launcher.exe.log"), "previous run");
}

TEST(MigrateOldLogsWithoutDatedFolder, LeavesEverything) {
    testwin::CTempFolder temp;
    ASSERT_TRUE(::CreateDirectoryW((temp / L"logs").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((temp / L"logs\\archive").c_str(), nullptr));
    ASSERT_TRUE(writeFileBytes(temp / L"logs\\20250620_111827.file", "a file, not a folder"));
    ASSERT_TRUE(writeFileBytes(temp / L"Launcher.exe.log", "stays"));
    migrateOldLogs(temp.path());
    EXPECT_EQ(readFileBytes(temp / L"Launcher.exe.log"), "stays");
}

std::wstring kernel32Path() {
    wchar_t path[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameW(::GetModuleHandleW(L"kernel32.dll"), path, MAX_PATH);
    return std::wstring(path, n);
}

TEST(GetFileVersion, SystemDllHasFourNumbers) {
    const std::string version = getFileVersion(kernel32Path());
    EXPECT_TRUE(std::regex_match(version, std::regex(R"(\d+\.\d+\.\d+\.\d+)"))) << version;
}

TEST(GetFileVersion, EmptyWithoutVersionBlock) {
    testwin::CTempFolder temp;
    ASSERT_TRUE(writeFileBytes(temp / L"plain.txt", "no version here"));
    EXPECT_EQ(getFileVersion(temp / L"plain.txt"), "");
    EXPECT_EQ(getFileVersion(temp / L"missing.dll"), "");
}

} // namespace
