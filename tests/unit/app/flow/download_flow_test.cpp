// The download flow driven by scripts of events, as the logic would: each
// answer is carried out on paper (a request is remembered for the answer
// that follows, a retry asks the flow for the front package again) over an
// in-memory part store that counts sizes and takes a CRC per file.
#include "app/flow/download_flow.h"

#include "update/manifest/manifest_text.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr uint64_t kMiB = uint64_t{1} << 20;
constexpr uint64_t kGiB = kMiB << 10;
const std::wstring kFolder = L"C:\\game";

// A package of the queue, and what an earlier run left of it in tmp\.
struct SPackage {
    const char* name;
    uint64_t size;
    uint64_t onDisk = 0;
    bool diskDamaged = false; // the file left has another CRC
    bool corrupt = false;     // its first download arrives with another CRC
};

struct SRecord {
    uint64_t size = 0;
    uint32_t crc = 0;
    bool completed = false;
    bool writeFailed = false;
};

// The store's calls as trace words, with the packages' names for paths.
class CFakeStore : public IPartStore {
public:
    explicit CFakeStore(std::vector<std::string>& trace) : trace(trace) {}

    bool MeasureParts(std::vector<std::wstring> paths, unsigned request) override {
        for (const std::wstring& path : paths)
            if (records.count(path) == 0)
                records[path] = disk.count(path) != 0 ? disk[path] : SRecord{};
        lastRequest = request;
        return true;
    }
    bool AddFilePart(const std::wstring& path, CBuffer*, unsigned length,
                     std::optional<uint64_t> offset) override {
        SRecord& record = records[path];
        if (record.completed || record.writeFailed || (offset && *offset != record.size))
            return false;
        record.size += length;
        if (length > 0)
            record.crc = corrupt.count(path) != 0 ? ~crcOf[path] : crcOf[path];
        pending += length;
        return true;
    }
    bool GetFileCrc(const std::wstring& path, uint32_t* crc, uint64_t* size) override {
        const auto found = records.find(path);
        if (found == records.end())
            return false;
        if (crc != nullptr)
            *crc = found->second.crc;
        *size = found->second.size;
        return true;
    }
    bool HasWriteFailed(const std::wstring& path) override { return records[path].writeFailed; }
    uint64_t GetPendingBytes() override { return pending; }
    void SetFileCompleted(const std::wstring& path) override { records[path].completed = true; }
    void DiscardFile(const std::wstring& path) override {
        trace.push_back("discard:" + nameOf[path]);
        records[path] = SRecord{};
        disk.erase(path);
        corrupt.erase(path);
    }
    void QueuePackage(const std::wstring& path) override {
        trace.push_back("unpack:" + nameOf[path]);
    }
    void FinishRun() override { trace.push_back("finish"); }

    std::vector<std::string>& trace;
    std::map<std::wstring, SRecord> records;
    std::map<std::wstring, SRecord> disk; // files earlier runs left
    std::map<std::wstring, uint32_t> crcOf;
    std::map<std::wstring, std::string> nameOf;
    std::set<std::wstring> corrupt;
    uint64_t pending = 0;
    unsigned lastRequest = 0;
};

class CFlowRun : public IDownloadFlowOwner {
public:
    CFlowRun(const std::vector<SPackage>& packages, bool progressFromZero) {
        SFlowRun run;
        run.installFolder = kFolder;
        run.bProgressFromZero = progressFromZero;
        for (size_t i = 0; i < packages.size(); ++i) {
            const SPackage& package = packages[i];
            const uint32_t crc = 0xA0 + static_cast<uint32_t>(i);
            run.packages.push_back({package.name, crc, package.size});
            run.nBytesTotal += package.size;
            DownloadItem item;
            item.crc = crc;
            item.size = package.size;
            const std::wstring path = tempFileName(kFolder, item, std::string());
            store.nameOf[path] = package.name;
            store.crcOf[path] = crc;
            sizeOf[package.name] = package.size;
            if (package.corrupt)
                store.corrupt.insert(path);
            if (package.onDisk > 0)
                store.disk[path] = {package.onDisk, package.diskDamaged ? ~crc : crc};
        }
        flow.TakeQueue(std::move(run));
    }

    // The trace of the events of `script` (separated by spaces), joined by
    // spaces.
    std::string run(const std::string& script) {
        std::istringstream events(script);
        for (std::string event; events >> event;)
            play(event);
        std::string joined;
        for (const std::string& word : trace)
            joined += (joined.empty() ? "" : " ") + word;
        return joined;
    }

    void LogFlow(const std::wstring& line) override { lines.push_back(utf8FromWide(line)); }
    void ShowFlowProgress() override { ++progressShown; }

    std::vector<std::string> trace;
    CFakeStore store{trace};
    CDownloadFlow flow{store, *this};
    std::vector<std::string> lines;
    int progressShown = 0;

private:
    // measure: the store measures tmp\ and answers. part: the whole answer
    // to the request (a range ends at begin + length inclusive, so length + 1
    // bytes unless the file ends first); part:N an answer of N bytes;
    // broken:N a transfer that broke after N bytes; written: the writer
    // caught up; diskfail: a write failed and the records restart from the
    // disk; resend: a retry of the ladder; ?: the progress as
    // [receivedKb/totalKb].
    void play(const std::string& event) {
        const size_t colon = event.find(':');
        const std::string verb = event.substr(0, colon);
        const unsigned count = colon == std::string::npos
                                   ? 0
                                   : static_cast<unsigned>(std::stoul(event.substr(colon + 1)));
        if (verb == "measure") {
            ASSERT_TRUE(flow.MeasureResumeParts());
            const EMeasuredParts measured = flow.OnPartsMeasured(store.lastRequest);
            if (measured == EMeasuredParts::eNothing)
                trace.push_back("nothing");
            else if (measured == EMeasuredParts::eDownload)
                carryOut(flow.Next());
        } else if (verb == "part") {
            const uint64_t whole =
                std::min(asked.length + uint64_t{1}, sizeOf[asked.name] - asked.begin);
            carryOut(flow.OnPartReceived(
                nullptr, colon == std::string::npos ? static_cast<unsigned>(whole) : count, false));
        } else if (verb == "broken") {
            carryOut(flow.OnPartReceived(nullptr, count, true));
        } else if (verb == "written") {
            store.pending = 0;
            carryOut(flow.OnPartWritten());
        } else if (verb == "diskfail") {
            store.pending = 0;
            for (auto& [path, record] : store.records)
                record = {store.disk.count(path) != 0 ? store.disk[path].size : 0, 0, false, true};
        } else if (verb == "resend") {
            carryOut(flow.ResendPart());
        } else if (verb == "?") {
            const ProgressView view = flow.Progress();
            trace.push_back("[" + std::to_string(static_cast<uint64_t>(view.receivedKb)) + "/" +
                            std::to_string(static_cast<uint64_t>(view.totalKb)) + "]");
        } else {
            ADD_FAILURE() << "unknown event " << event;
        }
    }

    void carryOut(const SFlowAction& action) {
        switch (action.step) {
        case EFlowStep::eNone:
            break;
        case EFlowStep::eRequest:
            asked = action;
            trace.push_back("get:" + action.name + "@" + std::to_string(action.begin) + "+" +
                            std::to_string(action.length));
            break;
        case EFlowStep::eWaitForWriter:
            trace.push_back("wait");
            break;
        case EFlowStep::eRetryPart:
            // The ladder's first retry goes on at once.
            trace.push_back("retry");
            carryOut(flow.ResendPart());
            break;
        case EFlowStep::eEmptyPart:
            trace.push_back("empty");
            break;
        case EFlowStep::eFileError:
            trace.push_back("file-error:" + store.nameOf[action.path]);
            break;
        case EFlowStep::eBadPackage:
            trace.push_back("box40");
            break;
        }
    }

    SFlowAction asked;
    std::map<std::string, uint64_t> sizeOf;
};

struct SFlowCase {
    const char* title;
    std::vector<SPackage> packages;
    bool progressFromZero;
    const char* script;
    const char* trace;
};

void PrintTo(const SFlowCase& flowCase, std::ostream* out) {
    *out << flowCase.title;
}

class DownloadFlowScripts : public testing::TestWithParam<SFlowCase> {};

TEST_P(DownloadFlowScripts, CarriesOutTheScript) {
    const SFlowCase& flowCase = GetParam();
    CFlowRun run(flowCase.packages, flowCase.progressFromZero);
    EXPECT_EQ(run.run(flowCase.script), flowCase.trace);
}

const SFlowCase kFlowCases[] = {
    {"fresh queue in 16 MiB ranges; a whole range waits for its write",
     {{"a.pkg", 40 * kMiB}, {"b.pkg", 1000}},
     false,
     "measure ? part written part written ? part part ? written",
     "get:a.pkg@0+16777216 [0/40960] retry wait get:a.pkg@16777217+16777216 retry wait "
     "get:a.pkg@33554434+8388606 [32768/40960] unpack:a.pkg get:b.pkg@0+1000 unpack:b.pkg finish "
     "[40960/40960]"},
    {"resume at the measured part's exact byte, counted as received",
     {{"a.pkg", 20 * kMiB, 5000000}},
     false,
     "measure ? part",
     "get:a.pkg@5000000+15971520 [4882/20480] unpack:a.pkg finish"},
    {"resume with progress from zero: the kept bytes leave the total",
     {{"a.pkg", 20 * kMiB, 5000000}},
     true,
     "measure ? part ?",
     "get:a.pkg@5000000+15971520 [0/15597] unpack:a.pkg finish [15597/15597]"},
    {"parts longer than the package or whole with another CRC are discarded",
     {{"a.pkg", 1000, 1500}, {"b.pkg", 3000, 3000, true}},
     false,
     "measure part part",
     "discard:a.pkg discard:b.pkg get:a.pkg@0+1000 unpack:a.pkg get:b.pkg@0+3000 unpack:b.pkg "
     "finish"},
    {"a whole matching part is unpacked without a request",
     {{"a.pkg", 4096, 4096}, {"b.pkg", 2048}},
     false,
     "measure ? part",
     "unpack:a.pkg get:b.pkg@0+2048 [4/6] unpack:b.pkg finish"},
    {"only whole parts: the run finishes without a request",
     {{"a.pkg", 4096, 4096}},
     false,
     "measure",
     "unpack:a.pkg finish"},
    {"an empty queue downloads nothing", {}, false, "measure", "nothing"},
    {"a short answer and a broken one: each retry starts at the record's size",
     {{"a.pkg", 1000}},
     false,
     "measure part:300 broken:200 resend part",
     "get:a.pkg@0+1000 retry get:a.pkg@300+700 get:a.pkg@500+500 unpack:a.pkg finish"},
    {"a damaged package goes to the queue's end and comes again from byte 0",
     {{"a.pkg", 10240, 0, false, true}, {"b.pkg", 2048}},
     false,
     "measure part ? resend part part ?",
     "get:a.pkg@0+10240 discard:a.pkg box40 [0/12] get:b.pkg@0+2048 unpack:b.pkg "
     "get:a.pkg@0+10240 unpack:a.pkg finish [12/12]"},
    {"a failed write refuses the next range by its offset: file error",
     {{"a.pkg", 40 * kMiB}},
     false,
     "measure part diskfail written part",
     "get:a.pkg@0+16777216 retry wait get:a.pkg@16777217+16777216 file-error:a.pkg"},
    {"a 5 GiB package: ranges and progress past 4 GiB",
     {{"a.pkg", 5 * kGiB, 4 * kGiB + 100}},
     false,
     "measure ? part written ?",
     "get:a.pkg@4294967396+16777216 [4194304/5242880] retry wait get:a.pkg@4311744613+16777216 "
     "[4210688/5242880]"},
    {"answers that carry nothing, and one that no longer follows the record",
     {{"a.pkg", 1000}},
     false,
     "measure part:0 broken:0 broken:200 broken:100 written resend",
     "get:a.pkg@0+1000 empty get:a.pkg@200+800"},
};

INSTANTIATE_TEST_SUITE_P(Cases, DownloadFlowScripts, testing::ValuesIn(kFlowCases));

TEST(DownloadFlow, LogsWhatHappensToAPackage) {
    CFlowRun run({{"a.pkg", 1000, 1500}, {"b.pkg", 2000, 0, false, true}}, false);
    run.run("measure part:1000 part:2000");
    const std::vector<std::string> expected = {
        "Add task for unpacker: a.pkg",
        "  .. from tmp file: C:\\game\\tmp\\000000A0.1000",
        "    .. warning: crc or size is not correct, file will be added to download queue",
        "filePartReceived: file: a.pkg (part size: 1000)",
        "Add task for unpacker: a.pkg",
        "  .. from received file: C:\\game\\tmp\\000000A0.1000",
        "filePartReceived: file: b.pkg (part size: 2000)",
        "Add task for unpacker: b.pkg",
        "  .. from received file: C:\\game\\tmp\\000000A1.2000",
        "    .. warning: crc or size is not correct, file will be added to download queue",
    };
    EXPECT_EQ(run.lines, expected);
    EXPECT_EQ(run.progressShown, 2);
}

TEST(DownloadFlow, IgnoresTheAnswerToAnOlderMeasurement) {
    CFlowRun run({{"a.pkg", 1000}}, false);
    ASSERT_TRUE(run.flow.MeasureResumeParts());
    ASSERT_TRUE(run.flow.MeasureResumeParts());
    EXPECT_EQ(run.flow.OnPartsMeasured(run.store.lastRequest - 1), EMeasuredParts::eStale);
    EXPECT_EQ(run.flow.OnPartsMeasured(run.store.lastRequest), EMeasuredParts::eDownload);
}

} // namespace
