#include "update/install_path.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

constexpr EPathKind F = EPathKind::File;
constexpr EPathKind E = EPathKind::FileOrFolder; // an archive entry

struct PathCase {
    const wchar_t* name;
    EPathKind kind;
    EInstallPath verdict;
    const wchar_t* relative; // when accepted
};

const PathCase kCases[] = {
    // Accepted, with '\\' as the separator.
    {L"readme.txt", F, eInstallPath_Ok, L"readme.txt"},
    {L"data/maps/one.bin", F, eInstallPath_Ok, L"data\\maps\\one.bin"},
    {L"data\\maps\\", E, eInstallPath_Ok, L"data\\maps"},
    {L"..data/one..bin", F, eInstallPath_Ok, L"..data\\one..bin"},
    {L" lead/.hidden", F, eInstallPath_Ok, L" lead\\.hidden"},
    {L"CONFIG.xml", F, eInstallPath_Ok, L"CONFIG.xml"},
    {L"COM10", F, eInstallPath_Ok, L"COM10"},
    {L"console/nul_bin", F, eInstallPath_Ok, L"console\\nul_bin"},
    {L"\u00e9t\u00e9/\u30c7\u30fc\u30bf", F, eInstallPath_Ok, L"\u00e9t\u00e9\\\u30c7\u30fc\u30bf"},
    // Climbing out.
    {L"..\\..\\evil.txt", F, eInstallPath_ParentStep, L""},
    {L"a\\..\\..\\x", F, eInstallPath_ParentStep, L""},
    {L"data/..", E, eInstallPath_ParentStep, L""},
    {L"data/.../evil.txt", F, eInstallPath_ParentStep, L""},
    {L"data/.. /evil.txt", F, eInstallPath_ParentStep, L""},
    // Roots, drives, devices, streams.
    {L"\\Windows\\evil.dll", F, eInstallPath_Absolute, L""},
    {L"/etc/passwd", E, eInstallPath_Absolute, L""},
    {L"\\\\server\\share\\evil.txt", F, eInstallPath_Absolute, L""},
    {L"\\\\?\\C:\\evil.txt", F, eInstallPath_Absolute, L""},
    {L"C:\\evil.txt", F, eInstallPath_Drive, L""},
    {L"C:evil.txt", F, eInstallPath_Drive, L""},
    {L"data/file.txt:hidden", F, eInstallPath_Drive, L""},
    {L"file.txt::$DATA", E, eInstallPath_Drive, L""},
    {L"CON", F, eInstallPath_Device, L""},
    {L"COM1", F, eInstallPath_Device, L""},
    {L"data/nul.txt", F, eInstallPath_Device, L""},
    {L"Com1", E, eInstallPath_Device, L""},
    {L"lpt9.log", F, eInstallPath_Device, L""},
    {L"AUX .txt", F, eInstallPath_Device, L""},
    {L"prn/x", E, eInstallPath_Device, L""},
    {L"CONIN$", F, eInstallPath_Device, L""},
    {L"COM\u00b9", F, eInstallPath_Device, L""},
    // Names Windows reads as another file or the folder itself.
    {L"launcher.exe.", F, eInstallPath_TrailingDot, L""},
    {L"launcher.exe ", E, eInstallPath_TrailingDot, L""},
    {L"CON. ", F, eInstallPath_TrailingDot, L""},
    {L"data. /x", F, eInstallPath_TrailingDot, L""},
    {L"data\\\\maps", F, eInstallPath_EmptyStep, L""},
    {L"./data", E, eInstallPath_EmptyStep, L""},
    {L"data/. ./x", F, eInstallPath_EmptyStep, L""},
    {L"data/", F, eInstallPath_EmptyStep, L""},
    {L"data//", E, eInstallPath_EmptyStep, L""},
    // Characters Windows refuses or reads as wildcards.
    {L"what?.txt", F, eInstallPath_BadCharacter, L""},
    {L"a*b", F, eInstallPath_BadCharacter, L""},
    {L"pipe|name", E, eInstallPath_BadCharacter, L""},
    {L"quote\".txt", F, eInstallPath_BadCharacter, L""},
    {L"<x>", F, eInstallPath_BadCharacter, L""},
    {L"tab\there", F, eInstallPath_BadCharacter, L""},
    {L"bell\x07", E, eInstallPath_BadCharacter, L""},
    // Nothing to open.
    {L"", F, eInstallPath_Empty, L""},
    {L"", E, eInstallPath_Empty, L""},
    {L"/", E, eInstallPath_Absolute, L""},
};

TEST(InstallPath, TableOfNames) {
    for (const PathCase& c : kCases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - kCases));
        std::wstring relative = L"left over";
        EXPECT_EQ(checkInstallPath(c.name, c.kind, relative), c.verdict);
        EXPECT_EQ(relative, c.relative);
    }
}

TEST(InstallPath, EmbeddedZeroIsRefused) {
    std::wstring relative;
    EXPECT_EQ(checkInstallPath(std::wstring(L"ok.txt\0..\\..\\x", 14), EPathKind::File, relative),
              eInstallPath_BadCharacter);
}

TEST(InstallPath, EveryRefusalHasItsOwnText) {
    std::set<std::wstring> texts;
    for (int verdict = eInstallPath_Ok; verdict <= eInstallPath_BadCharacter; ++verdict)
        texts.insert(installPathProblem(static_cast<EInstallPath>(verdict)));
    EXPECT_EQ(texts.size(), static_cast<size_t>(eInstallPath_BadCharacter) + 1);
}

} // namespace
