#include "system/install_folder_list.h"

#include <gtest/gtest.h>

namespace {

TEST(InstallFolderList, NormalisesAndComparesFolders) {
    EXPECT_EQ(CInstallFolderList::normalizeFolder(L"\"C:/Games/Demo//\""), L"C:\\Games\\Demo");
    EXPECT_EQ(CInstallFolderList::normalizeFolder(L"\\"), L"");

    CInstallFolderList list;
    list.setSlot(3, L"C:\\Games\\Demo");
    list.setSlot(7, L"D:\\Other\\");
    EXPECT_EQ(list.findFolder(L"c:/games/DEMO/"), 3);
    EXPECT_EQ(list.findFolder(L"\"D:\\Other\""), 7);
    EXPECT_EQ(list.findFolder(L"C:\\Games"), -1);
    EXPECT_EQ(list.findFolder(L""), -1) << "an empty folder never matches a free slot";
    list.setSlot(10, L"ignored");
    list.setSlot(-1, L"ignored");
    EXPECT_EQ(list.findFolder(L"ignored"), -1);
}

TEST(InstallFolderList, FirstRegisteredFolderNeedsFourCharacters) {
    CInstallFolderList list;
    EXPECT_EQ(list.firstRegisteredFolder(), L"");
    list.setSlot(1, L"C:\\");
    list.setSlot(2, L"C:\\G");
    EXPECT_EQ(list.firstRegisteredFolder(), L"C:\\G");
    EXPECT_EQ(CInstallFolderList::valueName(0), L"Directory");
    EXPECT_EQ(CInstallFolderList::valueName(9), L"Directory9");
}

} // namespace
