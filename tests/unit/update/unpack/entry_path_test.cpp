#include "update/unpack/entry_path.h"

#include <gtest/gtest.h>

namespace {

struct PathCase {
    const wchar_t* name;
    EEntryPath verdict;
    const wchar_t* relative; // when accepted
};

const PathCase kCases[] = {
    // Accepted, normalised below the install folder.
    {L"readme.txt", eEntryPath_Ok, L"readme.txt"},
    {L"data/maps/one.bin", eEntryPath_Ok, L"data\\maps\\one.bin"},
    {L"data\\\\maps//one.bin", eEntryPath_Ok, L"data\\maps\\one.bin"},
    {L"data\\maps\\", eEntryPath_Ok, L"data\\maps"},
    {L"./data/./one.bin", eEntryPath_Ok, L"data\\one.bin"},
    {L"..data/one..bin", eEntryPath_Ok, L"..data\\one..bin"},
    {L"CONFIG.xml", eEntryPath_Ok, L"CONFIG.xml"},
    {L"COM10", eEntryPath_Ok, L"COM10"},
    {L"console/nul_bin", eEntryPath_Ok, L"console\\nul_bin"},
    {L"\u00e9t\u00e9/\u30c7\u30fc\u30bf", eEntryPath_Ok, L"\u00e9t\u00e9\\\u30c7\u30fc\u30bf"},
    // Climbing out.
    {L"..\\..\\evil.txt", eEntryPath_ParentStep, L""},
    {L"data/../../evil.txt", eEntryPath_ParentStep, L""},
    {L"data/..", eEntryPath_ParentStep, L""},
    {L"data/.../evil.txt", eEntryPath_ParentStep, L""},
    {L"data/.. /evil.txt", eEntryPath_ParentStep, L""},
    {L"data/. ./evil.txt", eEntryPath_Ok, L"data\\evil.txt"},
    // Roots, drives, devices, streams.
    {L"\\Windows\\evil.dll", eEntryPath_Absolute, L""},
    {L"/etc/passwd", eEntryPath_Absolute, L""},
    {L"\\\\server\\share\\evil.txt", eEntryPath_Absolute, L""},
    {L"\\\\?\\C:\\evil.txt", eEntryPath_Absolute, L""},
    {L"C:\\evil.txt", eEntryPath_Drive, L""},
    {L"C:evil.txt", eEntryPath_Drive, L""},
    {L"data/file.txt:hidden", eEntryPath_Drive, L""},
    {L"CON", eEntryPath_Device, L""},
    {L"data/nul.txt", eEntryPath_Device, L""},
    {L"Com1", eEntryPath_Device, L""},
    {L"lpt9.log", eEntryPath_Device, L""},
    {L"AUX .txt", eEntryPath_Device, L""},
    {L"prn", eEntryPath_Device, L""},
    {L"CONIN$", eEntryPath_Device, L""},
    {L"COM\u00b9", eEntryPath_Device, L""},
    // Characters Windows refuses or reads as wildcards.
    {L"what?.txt", eEntryPath_BadCharacter, L""},
    {L"a*b", eEntryPath_BadCharacter, L""},
    {L"pipe|name", eEntryPath_BadCharacter, L""},
    {L"quote\".txt", eEntryPath_BadCharacter, L""},
    {L"tab\there", eEntryPath_BadCharacter, L""},
    // Nothing to write.
    {L"", eEntryPath_Empty, L""},
    {L"./", eEntryPath_Empty, L""},
    {L"data//.", eEntryPath_Ok, L"data"},
};

TEST(EntryPath, TableOfNames) {
    for (const PathCase& c : kCases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - kCases));
        std::wstring relative = L"left over";
        EXPECT_EQ(checkEntryPath(c.name, relative), c.verdict);
        EXPECT_EQ(relative, c.relative);
    }
}

TEST(EntryPath, EmbeddedZeroIsRefused) {
    std::wstring relative;
    EXPECT_EQ(checkEntryPath(std::wstring(L"ok.txt\0..\\..\\x", 14), relative),
              eEntryPath_BadCharacter);
}

TEST(EntryPath, EveryRefusalHasItsOwnText) {
    const std::wstring parent = entryPathProblem(eEntryPath_ParentStep);
    EXPECT_NE(parent, entryPathProblem(eEntryPath_Device));
    EXPECT_NE(parent.find(L".."), std::wstring::npos);
}

} // namespace
