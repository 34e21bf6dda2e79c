#include "base/log/log_file_names.h"

#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

const LogDateTime kStart{2025, 6, 20, 11, 18, 27};

TEST(RunLogNameCandidates, TimeThenSuffixThenOwnName) {
    for (const wchar_t* folder : {L"C:\\Games", L"C:\\Games\\"}) {
        SCOPED_TRACE(folder);
        const std::vector<std::wstring> names =
            runLogNameCandidates(folder, L"Launcher.exe", kStart);
        ASSERT_EQ(names.size(), 100u);
        EXPECT_EQ(names[0], L"C:\\Games\\20250620_111827.Launcher.exe.log");
        EXPECT_EQ(names[1], L"C:\\Games\\20250620_111827_1.Launcher.exe.log");
        EXPECT_EQ(names[99], L"C:\\Games\\20250620_111827_99.Launcher.exe.log");
    }
}

TEST(RunLogNameCandidates, FieldsAreZeroPadded) {
    const std::vector<std::wstring> names =
        runLogNameCandidates(L"D:\\x", L"L.exe", {987, 1, 2, 3, 4, 5});
    EXPECT_EQ(names[0], L"D:\\x\\09870102_030405.L.exe.log");
}

TEST(RunLogNameCandidates, WithoutFolderTheOwnNameGetsLogAppended) {
    EXPECT_EQ(runLogNameCandidates(L"", L"Launcher.exe", kStart),
              std::vector<std::wstring>{L"Launcher.exe.log"});
}

TEST(ParseDatedFolderName, ReadsTheSixFields) {
    const std::optional<LogDateTime> t = parseDatedFolderName(L"20250620_111827.client");
    ASSERT_TRUE(t);
    EXPECT_EQ(t->year, 2025);
    EXPECT_EQ(t->month, 6);
    EXPECT_EQ(t->day, 20);
    EXPECT_EQ(t->hour, 11);
    EXPECT_EQ(t->minute, 18);
    EXPECT_EQ(t->second, 27);
    EXPECT_TRUE(parseDatedFolderName(L"20250620_111827."));
    EXPECT_TRUE(parseDatedFolderName(L"20250620_111827.a.b"));
}

TEST(ParseDatedFolderName, RejectsMalformedNames) {
    const wchar_t* const names[] = {
        L"",
        L"logs",
        L"20250620_111827",     // no dot after the stamp
        L"20250620_111827_1.x", // something else after the stamp
        L"20250620-111827.x",   // wrong separator
        L"2025062_01118270.x",  // separator misplaced
        L"2025a620_111827.x",   // letter
        L"+2025620_111827.x",   // sign
        L" 2025620_111827.x",   // leading blank
        L"20251320_111827.x",   // month 13
        L"20250600_111827.x",   // day 0
        L"20250620_241827.x",   // hour 24
        L"20250620_116027.x",   // minute 60
        L"20250620_111860.x",   // second 60
        L"\x0662\x0660\x0662\x0665\x0660\x0666\x0662\x0660_111827.x", // non-ASCII digits
    };
    for (size_t i = 0; i < std::size(names); ++i)
        EXPECT_FALSE(parseDatedFolderName(names[i])) << "case " << i;
}

TEST(NewestDatedFolder, PicksTheNewestAndIgnoresOthers) {
    const std::vector<std::wstring> names = {L"junk", L"20250101_000000.other",
                                             L"20250620_111827.client", L"20240620_235959.old"};
    EXPECT_EQ(newestDatedFolder(names), std::optional<size_t>(2));
    EXPECT_EQ(newestDatedFolder({L"junk", L"x.y"}), std::nullopt);
    EXPECT_EQ(newestDatedFolder({}), std::nullopt);
}

TEST(NewestDatedFolder, TwoSecondResolutionFirstFoundWinsTies) {
    EXPECT_EQ(newestDatedFolder({L"20250620_111826.a", L"20250620_111827.b"}),
              std::optional<size_t>(0));
    EXPECT_EQ(newestDatedFolder({L"20250620_111827.b", L"20250620_111826.a"}),
              std::optional<size_t>(0));
    EXPECT_EQ(newestDatedFolder({L"20250620_111827.a", L"20250620_111828.b"}),
              std::optional<size_t>(1));
}

TEST(TwoSecondKey, LargerFieldsDominate) {
    const LogDateTime older{2025, 12, 31, 23, 59, 59};
    const LogDateTime newer{2026, 1, 1, 0, 0, 0};
    EXPECT_LT(twoSecondKey(older), twoSecondKey(newer));
    EXPECT_LT(twoSecondKey({2025, 1, 31, 0, 0, 0}), twoSecondKey({2025, 2, 1, 0, 0, 0}));
    EXPECT_LT(twoSecondKey({9998, 12, 31, 23, 59, 59}), twoSecondKey({9999, 1, 1, 0, 0, 0}));
}

TEST(MigrationNames, PrefixBaseAndNumberedAlternatives) {
    const std::wstring prefix = migrationTargetPrefix(L"C:\\L\\logs\\20250620_111827.client");
    EXPECT_EQ(prefix, L"C:\\L\\logs\\20250620_111827.client\\client.");
    const std::wstring base = logBaseName(L"Launcher.exe.log");
    EXPECT_EQ(base, L"Launcher.exe");
    EXPECT_EQ(migrationTargetName(prefix, base, 0),
              L"C:\\L\\logs\\20250620_111827.client\\client.Launcher.exe.log");
    EXPECT_EQ(migrationTargetName(prefix, base, 1),
              L"C:\\L\\logs\\20250620_111827.client\\client.Launcher.exe(1).log");
    EXPECT_EQ(migrationTargetName(L"p.", L"b", 99), L"p.b(99).log");
    EXPECT_EQ(logBaseName(L"noext"), L"noext");
}

TEST(IsLogFileName, EndsInDotLogAnyCase) {
    EXPECT_TRUE(isLogFileName(L"a.log"));
    EXPECT_TRUE(isLogFileName(L"A.LOG"));
    EXPECT_TRUE(isLogFileName(L".log"));
    EXPECT_FALSE(isLogFileName(L"a.log.000"));
    EXPECT_FALSE(isLogFileName(L"log"));
    EXPECT_FALSE(isLogFileName(L"a.logx"));
}

} // namespace
