#include "update/checker/checker_records.h"

#include <gtest/gtest.h>

namespace {

TEST(CheckerRecords, AddPkgNamesFromWholeRecordsOnly) {
    std::vector<uint8_t> bytes = encodeAddPkg({L"hd.pkg", L"voice.pkg", std::wstring(70, L'x')});
    ASSERT_EQ(bytes.size(), 3 * kAddPkgRecordSize);
    EXPECT_EQ(parseAddPkg(bytes.data(), bytes.size()),
              (std::set<std::wstring>{L"hd.pkg", L"voice.pkg", std::wstring(63, L'x')}));
    for (const size_t size : {size_t{130}, size_t{127}, size_t{1}})
        EXPECT_TRUE(parseAddPkg(bytes.data(), size).empty()) << size;
    EXPECT_TRUE(parseAddPkg(nullptr, 0).empty());
    // A record without a terminator ends at the record's end.
    std::vector<uint8_t> full(kAddPkgRecordSize, 'a');
    EXPECT_EQ(parseAddPkg(full.data(), full.size()).begin()->size(), kAddPkgRecordSize / 2);
}

TEST(CheckerRecords, AppListRecords) {
    const std::vector<AppListRecord> records = {{L"Editor", L"tools\\ed.exe"}, {L"", L"x"}};
    const std::vector<uint8_t> bytes = encodeAppList(records);
    ASSERT_EQ(bytes.size(), 2 * kAppListRecordSize);
    ASSERT_EQ(kAppListRecordSize, 652u);
    const auto parsed = parseAppList(bytes.data(), bytes.size());
    ASSERT_TRUE(parsed);
    ASSERT_EQ(parsed->size(), 2u);
    EXPECT_EQ((*parsed)[0].name, L"Editor");
    EXPECT_EQ((*parsed)[0].path, L"tools\\ed.exe");
    EXPECT_FALSE(parseAppList(bytes.data(), bytes.size() - 1));
    EXPECT_TRUE(parseAppList(nullptr, 0)->empty());
}

TEST(CheckerRecords, ShortcutChangesDeleteFirstThenCreate) {
    const std::vector<AppListRecord> installed = {{L"Old Tool", L"old.exe"},
                                                  {L"Editor", L"ed.exe"},
                                                  {L"", L"nameless.exe"},
                                                  {L"Case", L"VIEW.exe"}};
    const std::vector<IntApp> apps = {{L"p", L"ed.exe", L"Editor"},
                                      {L"p", L"view.exe", L"Viewer"},
                                      {L"p", std::wstring(300, L'e'), std::wstring(80, L'n')}};
    const auto changes = listShortcutChanges(installed, apps);
    ASSERT_EQ(changes.size(), 4u);
    EXPECT_EQ(changes[0].Name, L"Old Tool");
    EXPECT_EQ(changes[0].Action, 0);
    EXPECT_EQ(changes[1].Exec, L"VIEW.exe"); // exact comparison
    EXPECT_EQ(changes[1].Action, 0);
    EXPECT_EQ(changes[2].Name, L"Viewer");
    EXPECT_EQ(changes[2].Action, 1);
    EXPECT_EQ(changes[3].Name.size(), kShortcutNameChars);
    EXPECT_EQ(changes[3].Exec.size(), kShortcutExecChars);
}

} // namespace
