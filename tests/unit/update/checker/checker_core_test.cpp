#include "update/checker/checker_core.h"

#include "base/crc32.h"
#include "unit/update/checker/fake_install_files.h"
#include "update/checker/checker_records.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr uint64_t MB = 1000000;

std::string fileXml(const std::string& path, const std::string& content) {
    return "<FILE file=\"" + path + "\" crc=\"" +
           std::to_string(Crc32(content.data(), static_cast<unsigned>(content.size()))) +
           "\" size=\"" + std::to_string(content.size()) + "\"/>";
}

std::string packXml(const std::string& type, const std::string& file, uint64_t size,
                    const std::string& files, const std::string& extra = "") {
    return "<PACK type=\"" + type + "\" file=\"" + file + "\" crc=\"7\" size=\"" +
           std::to_string(size) + "\"" + extra + ">" + files + "</PACK>";
}

std::string manifestXml(const std::string& packs, const std::string& root = "") {
    return "<update modification=\"r1\" clientVersion=\"1.2.3\"" + root + ">" + packs + "</update>";
}

class CheckerCoreTest : public ::testing::Test {
protected:
    CFakeInstallFiles disk;
    CheckerControl control;
    CCheckerCore checker{disk, control};

    void run(const std::string& newText, const std::string& oldText = "") {
        std::string error;
        ASSERT_TRUE(checker.parseDocuments(newText, oldText, error)) << error;
        checker.buildDownloadList();
    }

    std::vector<std::wstring> queued() const {
        std::vector<std::wstring> names;
        for (const QueuedPackage& item : checker.queue)
            names.push_back(std::wstring(item.name.begin(), item.name.end()));
        return names;
    }
};

struct IncrementCase {
    const char* what;
    std::string increments;
    std::vector<std::wstring> expected;
};

TEST_F(CheckerCoreTest, IncrementsReplacePackagesOnlyWhenTheyCoverEverythingAndCostLess) {
    const std::string both = fileXml("a.bin", "A") + fileXml("b.bin", "B");
    const std::vector<IncrementCase> cases = {
        {"50 MB increment instead of 40 + 30 MB",
         packXml("increment", "i50.pkg", 50 * MB, both),
         {L"i50.pkg"}},
        {"80 MB increment is not used",
         packXml("increment", "i80.pkg", 80 * MB, both),
         {L"a.pkg", L"b.pkg"}},
        {"equal to the sum is used", packXml("increment", "i70.pkg", 70 * MB, both), {L"i70.pkg"}},
        {"lacking one path is never used",
         packXml("increment", "i1.pkg", 1 * MB, fileXml("a.bin", "A")),
         {L"a.pkg", L"b.pkg"}},
        {"the smallest usable, the first on a tie",
         packXml("increment", "i60.pkg", 60 * MB, both) +
             packXml("increment", "i55a.pkg", 55 * MB, both) +
             packXml("increment", "i55b.pkg", 55 * MB, both),
         {L"i55a.pkg"}},
        {"a billion bytes or more never qualify",
         packXml("increment", "ibig.pkg", 1000000000, both),
         {L"a.pkg", L"b.pkg"}},
    };
    for (const IncrementCase& c : cases) {
        CFakeInstallFiles empty;
        CCheckerCore fresh(empty, control);
        std::string error;
        const std::string xml =
            manifestXml(packXml("full", "a.pkg", 40 * MB, fileXml("a.bin", "A")) +
                        packXml("full", "b.pkg", 30 * MB, fileXml("b.bin", "B")) + c.increments);
        ASSERT_TRUE(fresh.parseDocuments(xml, "", error)) << error;
        fresh.buildDownloadList();
        std::vector<std::wstring> names;
        for (const QueuedPackage& item : fresh.queue)
            names.push_back(std::wstring(item.name.begin(), item.name.end()));
        EXPECT_EQ(names, c.expected) << c.what;
    }
}

TEST_F(CheckerCoreTest, ComparesDiskFilesAndQueuesKnownPackagesInNameOrder) {
    disk.add(L"Bin\\Game.exe", "game");
    disk.add(L"data\\level.dat", "old level");
    checker.settings.selectedApps = {L"tool.exe"};
    run(manifestXml(
        packXml("full", "z.pkg", 10, fileXml("bin\\game.exe", "game")) +
        packXml("full", "b.pkg", 20, fileXml("data\\level.dat", "new level")) +
        packXml("int", "a.pkg", 30, fileXml("data\\missing.dat", "m")) +
        packXml("ext", "tool.pkg", 40,
                "<INFO lang=\"\"><EXEC>tool.exe</EXEC></INFO>" + fileXml("tool.exe", "t")) +
        packXml("ext", "other.pkg", 50,
                "<INFO lang=\"\"><EXEC>other.exe</EXEC></INFO>" + fileXml("other.exe", "o")) +
        "<PACK type=\"Full\" file=\"none.pkg\">" + fileXml("none.txt", "n") + "</PACK>" +
        "<PACK type=\"full\" platform=\"64\" file=\"ghost.pkg\">" + fileXml("ghost", "g") +
        "</PACK>"));
    std::vector<std::wstring> differing;
    for (const DifferingFile& file : checker.differing)
        differing.push_back(file.path);
    EXPECT_EQ(differing, (std::vector<std::wstring>{L"data\\level.dat", L"data\\missing.dat",
                                                    L"ghost", L"tool.exe"}));
    // ghost.pkg differs but is queued like the rest; a.pkg before b.pkg.
    EXPECT_EQ(queued(), (std::vector<std::wstring>{L"a.pkg", L"b.pkg", L"ghost.pkg", L"tool.pkg"}));
    EXPECT_EQ(checker.nBytesTotal, 30u + 20u + 0u + 40u);
    EXPECT_FALSE(checker.bCanRun); // no previous manifest
}

TEST_F(CheckerCoreTest, PackageMissingFromThePackTableIsNotQueued) {
    const std::string xml = manifestXml(packXml("full", "a.pkg", 5, fileXml("x", "x")));
    std::string error;
    ASSERT_TRUE(checker.parseDocuments(xml, "", error));
    checker.manifest.packs.clear();
    checker.buildDownloadList();
    EXPECT_EQ(checker.differing.size(), 1u);
    EXPECT_TRUE(checker.queue.empty());
    EXPECT_EQ(checker.nBytesTotal, 0u);
}

TEST_F(CheckerCoreTest, DamagedPathsAreNeverOpenedNorCleanedUp) {
    disk.add(L"ok.txt", "ok");
    disk.add(L"stranger.dll", "x");
    checker.settings.bCanDelete = true;
    run(manifestXml(packXml("full", "a.pkg", 5,
                            fileXml("..\\outside.dll", "x") + fileXml("C:\\win.ini", "x") +
                                fileXml("COM1", "x") + fileXml("a\\..\\..\\x", "x") +
                                fileXml("bin\\nul.txt", "x") + fileXml("ok.txt", "ok"))));
    checker.runCleanup(false);
    EXPECT_EQ(disk.opened, (std::vector<std::wstring>{L"ok.txt"}));
    EXPECT_EQ(disk.removedFiles, (std::vector<std::wstring>{L"stranger.dll"}));
    EXPECT_EQ(checker.manifest.brokenPaths.size(), 5u);
    EXPECT_TRUE(checker.queue.empty());
}

struct QuickCase {
    const char* what;
    std::string oldRoot;
    std::string diskContent;
    bool quick;
    bool canRun;
    std::wstring blockers;
};

TEST_F(CheckerCoreTest, QuickModeComparesWithThePreviousManifest) {
    const std::string packs = packXml("full", "a.pkg", 5, fileXml("a.txt", "same"));
    const std::string root = " modification=\"r1\" clientVersion=\"1.2.3\"";
    const std::vector<QuickCase> cases = {
        {"quick, same release, intact files", root, "same", true, false,
         L"run blocker: [cmd - fast check]"},
        {"full check, same release, intact files", root, "same", false, true, L""},
        {"a changed modification", " modification=\"r0\" clientVersion=\"1.2.3\"", "same", true,
         false, L""},
        {"another minor version", " modification=\"r1\" clientVersion=\"1.3.3\"", "same", true,
         false, L""},
        {"an equal version up to the second dot", " modification=\"r1\" clientVersion=\"1.2.9\"",
         "same", false, true, L""},
        {"a version with one dot", " modification=\"r1\" clientVersion=\"1.2\"", "same", false,
         false, L""},
        {"a damaged file", root, "diff", false, false,
         L"run blocker: [crc mismatch], file = a.txt"},
        {"a missing file", root, "", false, false,
         L"run blocker: [can't open file (GetLastError() = 2) ], file = a.txt"},
    };
    for (const QuickCase& c : cases) {
        CFakeInstallFiles files;
        if (!c.diskContent.empty())
            files.add(L"a.txt", c.diskContent);
        CCheckerCore core(files, control);
        core.settings.bQuickCheck = c.quick;
        std::string error;
        const std::string newXml = manifestXml(packs);
        const std::string oldXml = "<update" + c.oldRoot + ">" + packs + "</update>";
        ASSERT_TRUE(core.parseDocuments(newXml, oldXml, error)) << error;
        core.buildDownloadList();
        EXPECT_EQ(core.bCanRun, c.canRun) << c.what;
        EXPECT_EQ(core.sRunBlockers, c.blockers) << c.what;
    }
}

TEST_F(CheckerCoreTest, QuickModeTakesDifferencesFromTheManifestsNotTheDisk) {
    checker.settings.bQuickCheck = true;
    disk.add(L"a.txt", "v1");
    run(manifestXml(packXml("full", "a.pkg", 5, fileXml("a.txt", "v2") + fileXml("b.txt", "b"))),
        manifestXml(packXml("full", "a.pkg", 5, fileXml("a.txt", "v1") + fileXml("b.txt", "b"))));
    ASSERT_EQ(checker.differing.size(), 1u);
    EXPECT_EQ(checker.differing[0].path, L"a.txt");
    // Only quickCheck read the disk (the previous manifest's a.txt, then b.txt).
    EXPECT_EQ(disk.opened, (std::vector<std::wstring>{L"a.txt", L"b.txt"}));
}

TEST_F(CheckerCoreTest, CompareQuickCheckAndCleanupReadEachFileOnce) {
    disk.add(L"A.txt", "a");
    disk.add(L"b.txt", "b");
    disk.add(L"junk.dll", "x");
    checker.settings.bCanDelete = true;
    const std::string xml =
        manifestXml(packXml("full", "a.pkg", 5, fileXml("a.txt", "a") + fileXml("b.txt", "b")));
    run(xml, xml);
    ASSERT_TRUE(checker.bCanRun);
    checker.runCleanup(false);
    EXPECT_FALSE(disk.has(L"junk.dll"));
    EXPECT_EQ(disk.opened, (std::vector<std::wstring>{L"a.txt", L"b.txt"}));
}

TEST_F(CheckerCoreTest, EmptyOrBrokenPreviousTextTurnsQuickModeOff) {
    for (const std::string& old : {std::string(), std::string("<broken")}) {
        CCheckerCore core(disk, control);
        core.settings.bQuickCheck = true;
        std::string error;
        ASSERT_TRUE(core.parseDocuments(manifestXml(""), old, error));
        EXPECT_FALSE(core.settings.bQuickCheck);
    }
}

TEST_F(CheckerCoreTest, AddPkgRecordsCountOnlyWhenWellFormed) {
    const std::string xml = manifestXml(packXml("add", "hd.pkg", 9, fileXml("hd.bin", "hd")));
    for (const size_t size : {size_t{128}, size_t{130}}) {
        std::vector<uint8_t> bytes = encodeAddPkg({L"hd.pkg"});
        bytes.resize(size);
        CFakeInstallFiles files;
        CCheckerCore core(files, control);
        core.settings.bIsUpdate = true;
        core.useAddPkg(bytes.data(), bytes.size());
        std::string error;
        ASSERT_TRUE(core.parseDocuments(xml, "", error));
        core.buildDownloadList();
        EXPECT_EQ(core.queue.size(), size == 128 ? 1u : 0u) << size;
    }
}

TEST_F(CheckerCoreTest, OutdatedLauncherIsABlockerUnlessOnlyAddingPackages) {
    const std::string xml =
        manifestXml("", " launcherVersion=\"1.0.0.2\" launcherSize=\"100\" launcherCRC=\"5\"");
    std::string error;
    ASSERT_TRUE(checker.parseDocuments(xml, "", error));
    EXPECT_TRUE(checker.checkLauncher({"1.0.0.1", 100, [] { return 5u; }}));
    EXPECT_EQ(checker.sRunBlockers, L"run blocker: [new launcher available]");

    CCheckerCore addOnly(disk, control);
    addOnly.settings.bOnlyAddPackages = true;
    ASSERT_TRUE(addOnly.parseDocuments(xml, "", error));
    EXPECT_TRUE(addOnly.checkLauncher({"1.0.0.1", 100, [] { return 5u; }}));
    EXPECT_TRUE(addOnly.sRunBlockers.empty());
}

TEST_F(CheckerCoreTest, StopRequestEndsTheComparisonQuietly) {
    bool stop = false;
    const CheckerControl stoppable{[&] { return stop; }, {}};
    CCheckerCore core(disk, stoppable);
    std::string error;
    ASSERT_TRUE(core.parseDocuments(
        manifestXml(packXml("full", "a.pkg", 1, fileXml("a", "a") + fileXml("b", "b"))), "",
        error));
    stop = true;
    core.buildDownloadList();
    EXPECT_TRUE(core.differing.empty());
    EXPECT_TRUE(disk.opened.empty());
}

// A stop while a large file is read ends the read within a block; the
// partial digest is never taken for the file's CRC: nothing is queued,
// nothing deleted, and the check reports that it stopped.
struct StopCase {
    const char* what;
    bool quick; // the previous manifest is read, then the disk by quickCheck
};

TEST_F(CheckerCoreTest, StopInTheMiddleOfALargeFileDecidesNothing) {
    constexpr uint64_t kLarge = 64ull * kDigestBlockSize;
    const std::string listed =
        packXml("full", "big.pkg", 9,
                "<FILE file=\"big.bin\" crc=\"1\" size=\"" + std::to_string(kLarge) + "\"/>") +
        packXml("full", "small.pkg", 5, fileXml("small.txt", "s"));
    for (const StopCase c :
         {StopCase{"comparing with the disk", false}, StopCase{"the quick check", true}}) {
        SCOPED_TRACE(c.what);
        CFakeInstallFiles files;
        files.addGenerated(L"big.bin", kLarge);
        files.add(L"small.txt", "changed");
        files.add(L"zz_stranger.dll", "x");
        bool stop = false;
        files.onRead = [&](const std::wstring&, uint64_t offset) {
            stop = offset >= 3 * kDigestBlockSize;
        };
        const CheckerControl stoppable{[&] { return stop; }, {}};
        CCheckerCore core(files, stoppable);
        core.settings.bCanDelete = true;
        core.settings.bQuickCheck = c.quick;
        std::string error;
        const std::string xml = manifestXml(listed);
        ASSERT_TRUE(core.parseDocuments(xml, c.quick ? xml : "", error)) << error;
        EXPECT_FALSE(core.buildDownloadList());
        core.runCleanup(false);
        EXPECT_LE(files.generatedBytesRead, 4 * kDigestBlockSize);
        EXPECT_EQ(core.sStoppedWhileReading, L"big.bin");
        EXPECT_TRUE(core.queue.empty());
        EXPECT_TRUE(core.packages.empty());
        EXPECT_EQ(core.nBytesTotal, 0u);
        EXPECT_FALSE(core.bCanRun);
        EXPECT_TRUE(files.removedFiles.empty());
        EXPECT_TRUE(core.removed.empty());
    }
}

} // namespace
