#include "app/config/install_folder_rules.h"

#include <gtest/gtest.h>

namespace {

TEST(InstallFolderRules, ConfigCrcFile) {
    EXPECT_EQ(configCrcFilePath(L""), L"CIF.dat");
    EXPECT_EQ(configCrcFilePath(L"C:\\Games\\Demo"), L"C:\\Games\\Demo\\CIF.dat");
    const uint32_t crc = 0x11223344;
    EXPECT_EQ(configCrcBytes(crc), (std::vector<uint8_t>{0x44, 0x33, 0x22, 0x11}));
    EXPECT_FALSE(configCrcDiffers({0x44, 0x33, 0x22, 0x11}, crc));
    EXPECT_TRUE(configCrcDiffers({0x44, 0x33, 0x22}, crc)) << "3 bytes count as changed";
    EXPECT_TRUE(configCrcDiffers({0x44, 0x33, 0x22, 0x11, 0}, crc));
    EXPECT_TRUE(configCrcDiffers({}, crc));
}

TEST(InstallFolderRules, VirtualStorePath) {
    const std::wstring local = L"C:\\Users\\p\\AppData\\Local";
    EXPECT_EQ(virtualStorePath(local, L"C:\\Program Files\\Game"),
              L"C:\\Users\\p\\AppData\\Local\\VirtualStore\\Program Files\\Game");
    EXPECT_EQ(virtualStorePath(local, L"C:\\"), std::nullopt);
    EXPECT_EQ(virtualStorePath(local, L"\\\\server\\share\\Game"), std::nullopt);
    EXPECT_EQ(virtualStorePath(local, L"Games\\Demo"), std::nullopt);
    EXPECT_EQ(virtualStorePath(L"", L"C:\\Games"), std::nullopt)
        << "never a path from the drive root";
    for (const wchar_t* climbing :
         {L"C:\\Games\\..\\..\\Windows", L"C:\\..", L"C:\\Games\\.\\x", L"C:\\Games/../../Windows"})
        EXPECT_EQ(virtualStorePath(local, climbing), std::nullopt)
            << "deleting would leave VirtualStore";
    EXPECT_EQ(virtualStorePath(local, L"C:\\Games\\..x\\a.b"),
              L"C:\\Users\\p\\AppData\\Local\\VirtualStore\\Games\\..x\\a.b");
}

TEST(InstallFolderRules, ProposedFolder) {
    InstallFolderChoice c;
    c.ownFolder = L"D:\\Portable";
    c.programFiles = L"C:\\Program Files";
    c.fullName = L"Skyreach";
    EXPECT_EQ(proposeInstallFolderValue(c), L"D:\\Portable") << "not an install run";
    c.installRun = true;
    EXPECT_EQ(proposeInstallFolderValue(c), L"C:\\Program Files\\Skyreach");
    c.firstRegistered = L"C:\\";
    EXPECT_EQ(proposeInstallFolderValue(c), L"C:\\Program Files\\Skyreach");
    c.firstRegistered = L"E:\\Games\\Skyreach";
    EXPECT_EQ(proposeInstallFolderValue(c), L"E:\\Games\\Skyreach");
    c.current = L"F:\\Set";
    EXPECT_EQ(proposeInstallFolderValue(c), L"F:\\Set");
    c.chosen = L"G:\\Chosen";
    EXPECT_EQ(proposeInstallFolderValue(c), L"G:\\Chosen");
    c.previouslyTyped = L"H:\\Typed";
    EXPECT_EQ(proposeInstallFolderValue(c), L"H:\\Typed");

    InstallFolderChoice none;
    none.installRun = true;
    EXPECT_EQ(proposeInstallFolderValue(none), std::nullopt);
}

} // namespace
