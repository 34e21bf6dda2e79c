// A server that answers package ranges with the whole package, under the
// real Launcher.exe: nothing wrong reaches the disk, the run goes through
// the retry ladder to its box, and the Retry after the server is fixed
// completes the install. The launcher's peak memory is printed beside that
// of a normal run of the same release.
#include "support/process_memory_win.h"
#include "support/update_run_fixture_win.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace testwin;

// About 40 MB: three ranges of 16 MiB.
constexpr size_t kBigFileSize = 40u << 20;
constexpr size_t kFirstRange = (16u << 20) + 1;
const char kBigPath[] = "/skyreach/live/big.pkg";

std::vector<SClientFile> releaseFiles() {
    return {{"bin/game.exe", noiseBytes(300000, 1)},
            {"client.cfg", "release=1\n"},
            {"data/big.bin", noiseBytes(kBigFileSize, 4)}};
}

const char kLayout[] = "modification ranges\n"
                       "client-version 1.0.0.1\n"
                       "pack core.pkg full\n"
                       "  add bin\n"
                       "  add client.cfg\n"
                       "pack big.pkg full\n"
                       "  add data\n";

// The temporary file of big.pkg: "<CRC>.<size>".
std::string tempFileOf(const std::wstring& installFolder, size_t packageSize) {
    const std::string suffix = "." + std::to_string(packageSize);
    for (const auto& [name, size] : tempFileSizes(installFolder)) {
        if (narrowPath(name).ends_with(suffix))
            return readText(installFolder + L"\\tmp\\" + name);
    }
    return {};
}

double megabytes(uint64_t bytes) {
    return static_cast<double>(bytes) / (1 << 20);
}

class UpdateRunRanges : public UpdateRunFixture {
protected:
    // One run with its peak memory sampled from start to end.
    SLauncherRun measuredRun(SPeakMemory& peak,
                             const CMessageBoxWatcher::AnswerPolicy& answer = {}) {
        CPeakMemorySampler sampler;
        SLauncherRun r = run(answer, [&](DWORD pid) { sampler.start(pid); });
        peak = sampler.stop();
        return r;
    }
};

TEST_F(UpdateRunRanges, WholePackageAnswersInstallNothingWrongAndRetryCompletesOnceFixed) {
    const SRelease release = publishLayout(L"client", releaseFiles(), kLayout);
    const std::string& big = release.files.at("big.pkg");
    ASSERT_GT(big.size(), 2 * kFirstRange);
    startServer(R"({"rules": [{"path": "*.pkg", "ignore_range": true}]})");
    makeInstallFolder({liveUrl()});

    // When the ladder ends in its box: what is on disk, then the server is
    // fixed and the box answered Retry.
    std::string heldAtBox;
    bool unpackedAtBox = true;
    bool fixed = false;
    SPeakMemory faultyPeak;
    const SLauncherRun r = measuredRun(faultyPeak, [&](const SeenBox& box) {
        if (!offers(box, IDRETRY))
            return IDOK;
        heldAtBox = tempFileOf(install, big.size());
        unpackedAtBox = std::filesystem::exists(install + L"\\data\\big.bin");
        fixed = server.configure(R"({"rules": []})");
        return IDRETRY;
    });
    expectCompleted(r, release);
    EXPECT_TRUE(fixed);
    ASSERT_EQ(r.boxes.size(), 1u) << r.log;
    EXPECT_EQ(r.boxes[0].buttons, (std::vector<int>{IDRETRY, IDCANCEL}));
    // Only the asked first range of the whole answer was kept; the whole
    // answers at later offsets left nothing behind.
    EXPECT_EQ(heldAtBox.size(), kFirstRange);
    EXPECT_TRUE(heldAtBox == big.substr(0, kFirstRange)) << "garbage in the temporary file";
    EXPECT_FALSE(unpackedAtBox);
    EXPECT_TRUE(inOrder(
        r.log,
        {"CDownloader::DownloadUpdate: the server ignored the range (status 200), its first "
         "16777217 bytes kept",
         "filePartReceived: file: big.pkg (part size: 16777217)",
         "CDownloader: answer refused: /skyreach/live/big.pkg?1.0.0.1, status 200, "
         "Content-Range: none, asked from byte 16777217",
         "Network error, Request: big.pkg", "continue downloading attempt #5", "attempts run out",
         "Selecting update URL: list depleted", "continue downloading attempt #1",
         "big.pkg?1.0.0.1 (begin: 16777217, ", "Finish unpack thread .. OK"}));
    const auto requests = server.entries(kBigPath, 3);
    ASSERT_GE(requests.size(), 3u);
    EXPECT_EQ(requests[0].status, 200);
    EXPECT_EQ(requests[1].status, 200);
    EXPECT_EQ(requests[1].range, "bytes=16777217-33554433");

    // The same release in a second folder from a server that does ranges.
    install = work / L"site\\games\\normal";
    makeInstallFolder({liveUrl()});
    SPeakMemory normalPeak;
    expectCompleted(measuredRun(normalPeak), release);

    std::printf("launcher peak memory, MiB: whole-package answers: working set %.1f, private "
                "%.1f; normal run: working set %.1f, private %.1f\n",
                megabytes(faultyPeak.workingSet), megabytes(faultyPeak.committed),
                megabytes(normalPeak.workingSet), megabytes(normalPeak.committed));
}

} // namespace
