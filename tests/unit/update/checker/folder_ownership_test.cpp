#include "update/checker/folder_ownership.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr auto F = EFolderEntryKind::File;
constexpr auto D = EFolderEntryKind::Folder;
constexpr auto L = EFolderEntryKind::Link;

struct OwnershipCase {
    const char* name;
    std::wstring ownFileName;
    std::vector<FolderEntry> listing;
    bool bOurs;
    bool bHoldsClient;
    std::vector<std::wstring> foreignNames;
};

const OwnershipCase kCases[] = {
    {"EmptyFolder", L"Launcher.exe", {}, true, false, {}},
    {"FreshPortableCopyAndThisRunsLog",
     L"Launcher.exe",
     {{L"Launcher.exe", F}, {L"guest.dat", F}, {L"20250620_111827.Launcher.exe.log", F}},
     true,
     false,
     {}},
    {"RenamedLauncherWithTheWorkFilesOfAFailedFirstRun",
     L"Skyreach Setup.exe",
     {{L"Skyreach Setup.exe", F},
      {L"GUEST.DAT", F},
      {L"CUD.dat", F},
      {L"CIF.dat", F},
      {L"20250620_111827_3.Skyreach Setup.exe.log", F},
      {L"4242.update-server.log", F},
      {L"4242.update-server.log.001", F},
      {L"update.xml.123-1.tmp", F}},
     true,
     false,
     {}},
    {"SelfUpdateRelayTemporaryCopyBesideLauncherExe",
     L"Launcher.tmp.exe",
     {{L"Launcher.tmp.exe", F},
      {L"Launcher.exe", F},
      {L"guest.dat", F},
      {L"20250620_111827.Launcher.exe.log", F},
      {L"20250620_111828.Launcher.tmp.exe.log", F}},
     true,
     false,
     {}},
    {"InterruptedDownloadsInTmpAndAnEmptyExt",
     L"Launcher.exe",
     {{L"Launcher.exe", F},
      {L"tmp", D},
      {L"ext", D},
      {L"tmp\\0A1B2C3D.17825792", F},
      {L"tmp\\1.0.0.2.Launcher.exe.4096", F}},
     true,
     false,
     {}},
    {"ADesktop",
     L"Launcher.exe",
     {{L"Launcher.exe", F},
      {L"guest.dat", F},
      {L"holiday.jpg", F},
      {L"Documents", D},
      {L"desktop.ini", F}},
     false,
     false,
     {L"holiday.jpg", L"Documents", L"desktop.ini"}},
    {"AUsersTmpAndExtAreNotOursToEmpty",
     L"Launcher.exe",
     {{L"Launcher.exe", F},
      {L"tmp", D},
      {L"ext", D},
      {L"tmp\\notes.txt", F},
      {L"tmp\\0A1B2C3D.17825792", F},
      {L"tmp\\photos", D},
      {L"ext\\tool.exe", F}},
     false,
     false,
     {L"tmp\\notes.txt", L"tmp\\photos", L"ext\\tool.exe"}},
    {"LinksAreNeverOursWorkFolderNamesIncluded",
     L"Launcher.exe",
     {{L"Launcher.exe", F}, {L"tmp", L}, {L"Games", L}, {L"guest.dat", L}},
     false,
     false,
     {L"tmp", L"Games", L"guest.dat"}},
    {"NamesThatOnlyLookLikeTheLaunchers",
     L"Launcher.exe",
     {{L"Launcher.exe", F},
      {L"Launcher.exe.log", F},
      {L"notes.log", F},
      {L"20250620_111827.Other.exe.log", F},
      {L"2025062_1111827.Launcher.exe.log", F},
      {L"guest.dat.bak", F},
      {L"tmp.zip", F},
      {L"update.xml", D},
      {L"tmp\\0A1B2C3D", F},
      {L"tmp\\0A1B2C3G.12", F}},
     false,
     false,
     {L"Launcher.exe.log", L"notes.log", L"20250620_111827.Other.exe.log",
      L"2025062_1111827.Launcher.exe.log", L"guest.dat.bak", L"tmp.zip", L"update.xml",
      L"tmp\\0A1B2C3D", L"tmp\\0A1B2C3G.12"}},
    {"AnInstalledClientStrangersIncluded",
     L"Launcher.exe",
     {{L"Launcher.exe", F}, {L"Update.XML", F}, {L"bin", D}, {L"stranger.dll", F}, {L"saves", L}},
     true,
     true,
     {}},
};

void PrintTo(const OwnershipCase& c, std::ostream* out) {
    *out << c.name;
}

class FolderOwnershipTest : public testing::TestWithParam<OwnershipCase> {};

TEST_P(FolderOwnershipTest, Verdict) {
    const OwnershipCase& c = GetParam();
    const FolderOwnership verdict = judgeInstallFolder(c.listing, c.ownFileName);
    EXPECT_EQ(verdict.bOurs, c.bOurs);
    EXPECT_EQ(verdict.bHoldsClient, c.bHoldsClient);
    EXPECT_EQ(verdict.foreignNames, c.foreignNames);
}

INSTANTIATE_TEST_SUITE_P(FolderOwnership, FolderOwnershipTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<OwnershipCase>& param) {
                             return std::string(param.param.name);
                         });

} // namespace
