#include "update/checker/install_files.h"

#include "unit/update/checker/fake_install_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct SmallFileCase {
    const char* what;
    size_t size;  // of the file on disk
    size_t limit; // maxSize
    bool readable;
};

TEST(ReadSmallFile, ReadsUpToTheLimitAndRefusesMore) {
    // Pieces of 64 KiB: sizes around one piece and around the limit.
    const std::vector<SmallFileCase> cases = {
        {"empty", 0, 10, true},
        {"exactly the limit", 10, 10, true},
        {"one byte over", 11, 10, false},
        {"several pieces", 200000, 200000, true},
        {"far over, more than a piece", 300000, 70000, false},
    };
    for (const SmallFileCase& c : cases) {
        SCOPED_TRACE(c.what);
        CFakeInstallFiles disk;
        std::string content(c.size, '\0');
        for (size_t i = 0; i < content.size(); ++i)
            content[i] = static_cast<char>(i * 7);
        disk.add(L"records.dat", content);
        std::vector<uint8_t> bytes = {1, 2, 3};
        EXPECT_EQ(readSmallFile(disk, L"records.dat", c.limit, bytes), c.readable);
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), c.readable ? content : "");
    }
}

TEST(ReadSmallFile, MissingFileIsNotRead) {
    CFakeInstallFiles disk;
    std::vector<uint8_t> bytes = {1};
    EXPECT_FALSE(readSmallFile(disk, L"records.dat", 100, bytes));
    EXPECT_TRUE(bytes.empty());
}

TEST(DigestFile, StopsBetweenBlocksAndSaysSo) {
    CFakeInstallFiles files;
    files.addGenerated(L"big.bin", 10ull * kDigestBlockSize + 5);
    int reads = 0;
    files.onRead = [&](const std::wstring&, uint64_t) { ++reads; };
    std::vector<uint8_t> block;
    FileDigest digest;
    uint32_t systemError = 0;
    EXPECT_EQ(digestFile(files, L"big.bin", CheckerControl{}, block, digest, systemError),
              EDigest::Ok);
    EXPECT_EQ(digest.size, 10ull * kDigestBlockSize + 5);

    reads = 0;
    const CheckerControl stopAfterTwo{[&] { return reads >= 2; }, {}};
    EXPECT_EQ(digestFile(files, L"big.bin", stopAfterTwo, block, digest, systemError),
              EDigest::Stopped);
    EXPECT_EQ(reads, 2);
    EXPECT_EQ(digestFile(files, L"missing.bin", CheckerControl{}, block, digest, systemError),
              EDigest::Unreadable);
    EXPECT_EQ(systemError, 2u);
}

} // namespace
