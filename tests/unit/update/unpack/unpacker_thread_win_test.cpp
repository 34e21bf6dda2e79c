#include "update/unpack/unpacker_thread_win.h"

#include "base/crc32.h"
#include "base/file_io_win.h"
#include "base/folder_tree_win.h"
#include "base/scoped_handle_win.h"
#include "base/windows_win.h"
#include "rar_writer.h"
#include "support/files_win.h"
#include "support/message_window_win.h"
#include "zip_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// A fresh folder under the temporary folder, removed with all it holds.
class CScratchFolder {
public:
    CScratchFolder() {
        wchar_t base[MAX_PATH + 1] = {};
        ::GetTempPathW(MAX_PATH, base);
        path = std::wstring(base) + L"unpack-test-" + std::to_wstring(::GetCurrentProcessId()) +
               L"-" + std::to_wstring(counter++);
        deleteFolderTree(path);
        ::CreateDirectoryW(path.c_str(), nullptr);
    }
    CScratchFolder(const CScratchFolder&) = delete;
    CScratchFolder& operator=(const CScratchFolder&) = delete;
    ~CScratchFolder() { deleteFolderTree(path); }
    std::wstring path;

private:
    static inline int counter = 0;
};

// Collects what the unpacker posts to a message-only window.
class CResultWindow : public testwin::CMessageWindow {
public:
    // Collects messages until a result arrives (or a generous safety limit
    // passes); then `quietMs` more to catch anything posted after it.
    void pump(unsigned quietMs = 0, bool untilResult = true) {
        const DWORD start = ::GetTickCount();
        DWORD resultAt = 0;
        for (;;) {
            MSG msg;
            while (::PeekMessageW(&msg, get(), 0, 0, PM_REMOVE)) {
                if (msg.message == eWindowsMessage_UnpackProgress)
                    progress.push_back(static_cast<uint64_t>(msg.lParam));
                if (msg.message == eWindowsMessage_PartsMeasured)
                    measured.push_back(static_cast<unsigned>(msg.lParam));
                if (msg.message == eWindowsMessage_PartWritten)
                    ++written;
                if (msg.message == eWindowsMessage_UnpackResult) {
                    results.push_back(static_cast<int>(msg.lParam));
                    resultAt = ::GetTickCount();
                }
            }
            const DWORD now = ::GetTickCount();
            if ((!untilResult || !results.empty()) &&
                now - (resultAt ? resultAt : start) >= quietMs)
                return;
            if (now - start > 60000)
                return;
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }

    // Pumps until a measurement is reported (or the safety limit passes).
    void pumpUntilMeasured() {
        for (int i = 0; i < 6000 && measured.empty(); ++i)
            pump(10, false);
    }

    std::vector<uint64_t> progress;
    std::vector<int> results;
    std::vector<unsigned> measured;
    int written = 0;
};

Bytes pattern(size_t count, uint8_t seed) {
    Bytes bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>(seed + (i % 251) + (i >> 12));
    return bytes;
}

Bytes zipOf(const std::vector<ZipWriterEntry>& entries) {
    Bytes out;
    std::string error;
    EXPECT_TRUE(writeZip(entries, out, error)) << error;
    return out;
}

Bytes rarOf(const std::vector<RarWriterEntry>& entries) {
    Bytes out;
    std::string error;
    EXPECT_TRUE(writeStoredRar(entries, kRarFixedDosTime, out, error)) << error;
    return out;
}

Bytes fileBytes(const std::wstring& path) {
    Bytes bytes;
    readWholeFile(path, bytes);
    return bytes;
}

// Names in `folder` and below that an interrupted write would leave.
std::vector<std::wstring> temporaryFiles(const std::wstring& folder) {
    std::vector<std::wstring> found;
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return found;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            for (const std::wstring& inner : temporaryFiles(folder + L"\\" + name))
                found.push_back(inner);
        } else if (name.size() > 4 && name.substr(name.size() - 4) == L".tmp") {
            found.push_back(folder + L"\\" + name);
        }
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return found;
}

// The unpacker of one test: a temporary folder with "tmp" and "install".
class UnpackerThread : public testing::Test {
protected:
    void SetUp() override {
        install = scratch.path + L"\\game\\install";
        ::CreateDirectoryW((scratch.path + L"\\game").c_str(), nullptr);
        ::CreateDirectoryW(install.c_str(), nullptr);
        ::CreateDirectoryW(tmp().c_str(), nullptr);
    }
    void TearDown() override { EXPECT_TRUE(unpacker.StopAndWait(5000)); }

    std::wstring tmp() const { return install + L"\\tmp"; }

    // Delivers `bytes` in `parts` parts, as the downloader would.
    std::wstring download(const std::wstring& name, const Bytes& bytes, size_t parts = 3) {
        const std::wstring path = tmp() + L"\\" + name;
        const size_t step = bytes.size() / parts + 1;
        for (size_t at = 0; at < bytes.size(); at += step) {
            CBuffer part;
            const size_t n = std::min(step, bytes.size() - at);
            part.Append(bytes.data() + at, static_cast<unsigned>(n));
            EXPECT_TRUE(unpacker.AddFilePart(path.c_str(), &part, static_cast<unsigned>(n)));
        }
        EXPECT_TRUE(unpacker.SetFileCompleted(path.c_str()));
        return path;
    }

    void begin(bool ignoreWriteErrors = false, bool unpackEnabled = true) {
        ASSERT_TRUE(unpacker.BeginRun({install, window.get(), ignoreWriteErrors, unpackEnabled}));
    }

    CScratchFolder scratch;
    std::wstring install;
    CResultWindow window;
    CUnpackerThread unpacker;
};

TEST_F(UnpackerThread, ZipAndRarPackagesAndAPlainFileAreInstalled) {
    const Bytes text = pattern(200000, 1);
    const Bytes zip =
        zipOf({{"data/", {}}, {"data/maps/one.txt", text}, {"root.bin", pattern(70, 9)}});
    const Bytes rar = rarOf({{"empty", true, {}}, {"bin\\tool.dll", false, pattern(5000, 3)}});
    const Bytes exe = pattern(30000, 7);
    ::CreateDirectoryW((install + L"\\data").c_str(), nullptr);
    writeWholeFile(install + L"\\root.bin", "old", 3);

    begin();
    unpacker.QueuePackage(download(L"0000000A.1", zip).c_str());
    unpacker.QueuePackage(download(L"0000000B.2", rar).c_str());
    const std::wstring exePath = download(L"Launcher.exe", exe, 4);
    unpacker.QueueFile(exePath.c_str(), L"Launcher.tmp.exe");
    unpacker.FinishRun();
    window.pump(300);

    ASSERT_EQ(window.results, std::vector<int>{0}) << unpacker.GetStatusText();
    EXPECT_EQ(fileBytes(install + L"\\data\\maps\\one.txt"), text);
    EXPECT_EQ(fileBytes(install + L"\\root.bin"), pattern(70, 9));
    EXPECT_TRUE(folderExists(install + L"\\empty"));
    EXPECT_EQ(fileBytes(install + L"\\bin\\tool.dll"), pattern(5000, 3));
    EXPECT_EQ(fileBytes(install + L"\\Launcher.tmp.exe"), exe);
    EXPECT_EQ(temporaryFiles(install), std::vector<std::wstring>{});
    ASSERT_FALSE(window.progress.empty());
    EXPECT_EQ(window.progress.back(), zip.size() + rar.size() + exe.size());
    EXPECT_EQ(unpacker.GetUnpackProgress(), window.progress.back());

    uint8_t* assembled = nullptr;
    unsigned length = 0;
    ASSERT_TRUE(unpacker.AssembleFile(exePath.c_str(), &assembled, &length));
    EXPECT_EQ(Bytes(assembled, assembled + length), exe);
    delete[] assembled;
    CBuffer late;
    late.Append("x", 1);
    EXPECT_FALSE(unpacker.AddFilePart(exePath.c_str(), &late, 1)) << "the file was completed";
}

struct FailureCase {
    const char* what;
    Bytes package;
    bool makeTargetAFolder;
    bool ignoreWriteErrors;
    int result;
    const wchar_t* statusPrefix;
};

std::vector<FailureCase> failureCases() {
    Bytes badZip = zipOf({{"keep.txt", pattern(40, 5)}, {"a.txt", pattern(300, 6)}});
    badZip[badZip.size() / 2] ^= 0x55; // inside the data: a CRC or inflate error
    Bytes badRar = rarOf({{"a.txt", false, pattern(300, 6)}});
    badRar[badRar.size() - 40] ^= 0x55; // stored data: the CRC check fails
    const Bytes good = zipOf({{"a.txt", pattern(300, 6)}});
    return {
        {"damaged zip", badZip, false, false, 1, L"pkg unpack error : "},
        {"not an archive", pattern(1000, 1), false, false, 1, L"pkg file error or empty : "},
        {"damaged rar", badRar, false, false, 1, L"pkg(rar) unpack error : "},
        {"target is a folder", good, true, false, 2, L"unpacker: file can't be create : "},
        {"target is a folder, errors ignored", good, true, true, 0, L""},
    };
}

TEST_F(UnpackerThread, FailuresReportAndLeaveOldTargetsUntouched) {
    for (const FailureCase& c : failureCases()) {
        SCOPED_TRACE(c.what);
        CScratchFolder folder;
        install = folder.path;
        ::CreateDirectoryW(tmp().c_str(), nullptr);
        if (c.makeTargetAFolder)
            ::CreateDirectoryW((install + L"\\a.txt").c_str(), nullptr);
        else
            writeWholeFile(install + L"\\a.txt", "old contents", 12);
        ASSERT_TRUE(unpacker.StopAndWait(5000));
        CResultWindow messages;
        ASSERT_TRUE(unpacker.BeginRun({install, messages.get(), c.ignoreWriteErrors, true}));
        const std::wstring source = download(L"package.pkg", c.package);
        unpacker.QueuePackage(source.c_str());
        unpacker.FinishRun();
        messages.pump(200);

        ASSERT_EQ(messages.results, std::vector<int>{c.result});
        const std::wstring status = unpacker.GetStatusText();
        EXPECT_EQ(status.rfind(c.statusPrefix, 0), 0u) << std::string(status.begin(), status.end());
        if (!c.makeTargetAFolder) {
            const Bytes old = {'o', 'l', 'd', ' ', 'c', 'o', 'n', 't', 'e', 'n', 't', 's'};
            EXPECT_EQ(fileBytes(install + L"\\a.txt"), old);
        }
        EXPECT_EQ(temporaryFiles(install), std::vector<std::wstring>{});
        if (c.result != 0) {
            CBuffer part;
            part.Append("x", 1);
            EXPECT_FALSE(unpacker.AddFilePart(L"other", &part, 1)) << "a failed run stops";
        }
    }
}

TEST_F(UnpackerThread, LockedTargetCountsAsWrittenOnlyWithTheSameBytes) {
    const Bytes wanted = pattern(4000, 8);
    const struct {
        const char* what;
        Bytes onDisk;
        int result;
    } cases[] = {{"same bytes", wanted, 0}, {"other bytes", pattern(4000, 9), 2}};
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring target = install + L"\\locked.dll";
        writeWholeFile(target, c.onDisk.data(), static_cast<DWORD>(c.onDisk.size()));
        // Like a running program's image: readable, not replaceable.
        CFile lock(::CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(lock.isOpen());
        ASSERT_TRUE(unpacker.StopAndWait(5000));
        CResultWindow messages;
        ASSERT_TRUE(unpacker.BeginRun({install, messages.get(), false, true}));
        const std::wstring source = download(L"locked." + std::to_wstring(index++), wanted);
        unpacker.QueueFile(source.c_str(), L"locked.dll");
        unpacker.FinishRun();
        messages.pump(200);

        ASSERT_EQ(messages.results, std::vector<int>{c.result});
        if (c.result == 2) {
            EXPECT_EQ(unpacker.GetStatusText().rfind(L"unpacker: file can't be create : ", 0), 0u);
        }
        lock.close();
        EXPECT_EQ(fileBytes(target), c.onDisk);
        EXPECT_EQ(temporaryFiles(install), std::vector<std::wstring>{});
    }
}

TEST_F(UnpackerThread, EntriesClimbingOutOfTheInstallFolderAreRefused) {
    const struct {
        const char* what;
        Bytes package;
    } cases[] = {
        {"zip", zipOf({{"fine.txt", pattern(10, 1)}, {"../../evil.txt", pattern(10, 2)}})},
        {"rar",
         rarOf({{"fine.txt", false, pattern(10, 1)}, {"..\\..\\evil.txt", false, pattern(10, 2)}})},
        {"zip drive", zipOf({{"C:/evil.txt", pattern(10, 2)}})},
        {"rar device", rarOf({{"data\\CON.txt", false, pattern(10, 2)}})},
    };
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(unpacker.StopAndWait(5000));
        CResultWindow messages;
        ASSERT_TRUE(unpacker.BeginRun({install, messages.get(), false, true}));
        const std::wstring source = download(L"evil." + std::to_wstring(index++), c.package);
        unpacker.QueuePackage(source.c_str());
        unpacker.FinishRun();
        messages.pump(200);

        ASSERT_EQ(messages.results, std::vector<int>{1});
        EXPECT_EQ(unpacker.GetStatusText().rfind(L"unpacker: unsafe entry name", 0), 0u);
        EXPECT_FALSE(fileExists(scratch.path + L"\\evil.txt"));
        EXPECT_FALSE(fileExists(install + L"\\..\\evil.txt"));
    }
}

TEST_F(UnpackerThread, StopDuringALargeEntryEndsInTimeAndWritesNothing) {
    Bytes big(96u << 20, 0x20);
    const Bytes zip = zipOf({{"big.bin", std::move(big)}});
    begin();
    const std::wstring source = download(L"big.pkg", zip, 2);
    unpacker.QueuePackage(source.c_str());
    for (int i = 0; i < 6000 && window.progress.empty(); ++i)
        window.pump(10, false);
    ASSERT_FALSE(window.progress.empty()) << "the unpacking did not start";

    EXPECT_TRUE(unpacker.StopAndWait(1000)) << "the thread had to be terminated";
    window.pump(100, false);
    EXPECT_EQ(window.results, std::vector<int>{}) << "a stop is quiet";
    EXPECT_FALSE(fileExists(install + L"\\big.bin"));
    EXPECT_EQ(temporaryFiles(install), std::vector<std::wstring>{});
}

TEST_F(UnpackerThread, PartsFlushedAtShutdownResumeWithTheSameCrcAndSize) {
    const std::wstring path = tmp() + L"\\0000BEEF.9000";
    const Bytes bytes = pattern(9000, 4);
    uint32_t crc = 0;
    uint64_t size = 0;
    {
        CUnpackerThread first;
        for (size_t at = 0; at < 6000; at += 2000) {
            CBuffer part;
            part.Append(bytes.data() + at, 2000);
            ASSERT_TRUE(first.AddFilePart(path.c_str(), &part, 2000));
        }
        ASSERT_TRUE(first.GetFileCrc(path.c_str(), &crc, &size));
        EXPECT_FALSE(fileExists(path)) << "small parts wait in memory";
        first.StopAndWait();
        CBuffer late;
        late.Append("x", 1);
        EXPECT_FALSE(first.AddFilePart(path.c_str(), &late, 1)) << "refused while stopping";
    }
    EXPECT_EQ(fileBytes(path), Bytes(bytes.begin(), bytes.begin() + 6000));

    CUnpackerThread next;
    ASSERT_TRUE(next.AddFilePart(path.c_str(), nullptr, 0));
    uint32_t resumedCrc = 0;
    uint64_t resumedSize = 0;
    ASSERT_TRUE(next.GetFileCrc(path.c_str(), &resumedCrc, &resumedSize));
    EXPECT_EQ(resumedSize, size);
    EXPECT_EQ(resumedCrc, crc);
    CBuffer rest;
    rest.Append(bytes.data() + 6000, 3000);
    ASSERT_TRUE(next.AddFilePart(path.c_str(), &rest, 3000));
    ASSERT_TRUE(next.GetFileCrc(path.c_str(), &resumedCrc, &resumedSize));
    EXPECT_EQ(resumedCrc, Crc32(bytes.data(), static_cast<unsigned>(bytes.size())));
}

// While the run goes, the writer puts every part on disk without a flush and
// announces each one; a part that does not start where the record ends is
// refused, so a range asked for before a change can never land at the
// wrong offset.
TEST_F(UnpackerThread, WriterAppendsPartsInOrderAndRefusesAPartAtAnotherOffset) {
    const std::wstring path = tmp() + L"\\0000BEEF.9000";
    const Bytes bytes = pattern(9000, 4);
    begin();
    for (size_t at = 0; at < bytes.size(); at += 3000) {
        CBuffer part;
        part.Append(bytes.data() + at, 3000);
        ASSERT_TRUE(unpacker.AddFilePart(path.c_str(), &part, 3000, at));
    }
    CBuffer stale;
    stale.Append("x", 1);
    EXPECT_FALSE(unpacker.AddFilePart(path.c_str(), &stale, 1, 6000));
    EXPECT_EQ(stale.GetLength(), 1u);
    for (int i = 0; i < 6000 && window.written < 3; ++i)
        window.pump(10, false);
    EXPECT_EQ(window.written, 3);
    EXPECT_EQ(unpacker.GetPendingBytes(), 0u);
    EXPECT_EQ(fileBytes(path), bytes);
    EXPECT_FALSE(unpacker.HasWriteFailed(path.c_str()));
    uint32_t crc = 0;
    uint64_t size = 0;
    ASSERT_TRUE(unpacker.GetFileCrc(path.c_str(), &crc, &size));
    EXPECT_EQ(crc, Crc32(bytes.data(), static_cast<unsigned>(bytes.size())));

    // Dropped, then deleted: nothing of the old download comes back.
    unpacker.DropFileParts(path.c_str());
    ASSERT_TRUE(::DeleteFileW(path.c_str()));
    CBuffer fresh;
    fresh.Append(bytes.data(), 10);
    ASSERT_TRUE(unpacker.AddFilePart(path.c_str(), &fresh, 10, 0));
    EXPECT_TRUE(unpacker.StopAndWait(5000));
    EXPECT_EQ(fileBytes(path), Bytes(bytes.begin(), bytes.begin() + 10));
}

TEST_F(UnpackerThread, DisabledUnpackingOnlyCollectsAndFinishesOnce) {
    begin(false, false);
    const std::wstring source = download(L"later.pkg", zipOf({{"later.txt", pattern(10, 1)}}));
    unpacker.QueuePackage(source.c_str());
    unpacker.FinishRun();
    window.pump(300);
    EXPECT_EQ(window.results, std::vector<int>{0});
    EXPECT_EQ(unpacker.GetQueueLength(), 0u);
    EXPECT_FALSE(fileExists(install + L"\\later.txt"));
    EXPECT_TRUE(unpacker.StopAndWait(5000));
    EXPECT_TRUE(fileExists(source)) << "shutdown writes the download for the next run";
}

TEST_F(UnpackerThread, MeasuredPartsResumeFromTheirExactBytesAndKeepNewerRecords) {
    const std::wstring left = tmp() + L"\\0000BEEF.9000";
    const std::wstring missing = tmp() + L"\\0000CAFE.10";
    const std::wstring held = tmp() + L"\\0000F00D.20";
    const Bytes onDisk = pattern(700000, 6);
    ASSERT_EQ(writeWholeFile(left, onDisk.data(), static_cast<DWORD>(onDisk.size())),
              static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_FALSE(unpacker.MeasureParts({left}, 1)) << "no thread to measure on";
    begin();
    CBuffer part;
    part.Append("0123456789", 10);
    ASSERT_TRUE(unpacker.AddFilePart(held.c_str(), &part, 10));

    ASSERT_TRUE(unpacker.MeasureParts({left, missing, held}, 7));
    window.pumpUntilMeasured();
    EXPECT_EQ(window.measured, std::vector<unsigned>{7});
    uint32_t crc = 0;
    uint64_t size = 0;
    ASSERT_TRUE(unpacker.GetFileCrc(left.c_str(), &crc, &size));
    EXPECT_EQ(size, onDisk.size());
    EXPECT_EQ(crc, Crc32(onDisk.data(), static_cast<unsigned>(onDisk.size())));
    ASSERT_TRUE(unpacker.GetFileCrc(missing.c_str(), &crc, &size));
    EXPECT_EQ(size, 0u);
    ASSERT_TRUE(unpacker.GetFileCrc(held.c_str(), &crc, &size));
    EXPECT_EQ(size, 10u) << "a record made before the measurement stays";

    // The next part continues the measured CRC exactly.
    CBuffer more;
    more.Append("tail", 4);
    ASSERT_TRUE(unpacker.AddFilePart(left.c_str(), &more, 4));
    Bytes whole = onDisk;
    whole.insert(whole.end(), {'t', 'a', 'i', 'l'});
    ASSERT_TRUE(unpacker.GetFileCrc(left.c_str(), &crc, &size));
    EXPECT_EQ(crc, Crc32(whole.data(), static_cast<unsigned>(whole.size())));
}

// A part of gigabytes (sparse: made at once, read at the disk's pace of
// zeros) is still being measured when the stop comes.
TEST_F(UnpackerThread, StopDuringTheMeasurementOfAHugePartEndsInTimeQuietly) {
    const std::wstring huge = tmp() + L"\\0000D00D.99";
    ASSERT_TRUE(testwin::makeSparseFile(huge, 8ull << 30));
    begin();
    ASSERT_TRUE(unpacker.MeasureParts({huge}, 3));
    ::Sleep(200); // well into the file
    EXPECT_TRUE(unpacker.StopAndWait(1000)) << "the thread had to be terminated";
    window.pump(100, false);
    EXPECT_EQ(window.measured, std::vector<unsigned>{}) << "a partial measurement is no answer";
    EXPECT_FALSE(unpacker.GetFileCrc(huge.c_str(), nullptr, nullptr));
    ::DeleteFileW(huge.c_str());
}

} // namespace
