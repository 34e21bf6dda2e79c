// libFuzzer target: any bytes as a captured HTTP response head. The head is
// parsed at once and, from a fresh parser, in two steps (first half, then the
// whole); both ways must agree. Every result must point into the parsed bytes,
// and the Content-Length lookups must name the first such header.
//
// The parsing library is not built with AddressSanitizer, so the bytes are
// placed right before a page that cannot be read: a read past their end
// faults wherever it happens.
#include "net/download/download_rules.h"
#include "net/pico_http_parser.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include <sys/mman.h>
#include <unistd.h>

namespace {

using NetEx::CPicoHttpParser;

// Captured heads are a few hundred bytes.
constexpr size_t kMaxHead = 64 * 1024;

// A block whose end touches an unreadable page; lives for the whole run.
class CGuardedBlock {
public:
    CGuardedBlock() {
        const auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        room = (kMaxHead + page - 1) / page * page;
        void* mapped =
            mmap(nullptr, room + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED ||
            mprotect(static_cast<char*>(mapped) + room, page, PROT_NONE) != 0)
            __builtin_trap();
        base = static_cast<char*>(mapped);
    }
    CGuardedBlock(const CGuardedBlock&) = delete;
    CGuardedBlock& operator=(const CGuardedBlock&) = delete;

    // Copies `size` (<= kMaxHead) bytes so that they end at the guard page.
    const char* place(const char* bytes, size_t size) {
        char* at = base + room - size;
        std::copy_n(bytes, size, at);
        return at;
    }

private:
    char* base = nullptr;
    size_t room = 0;
};

bool inside(const char* begin, const char* end, const char* p, size_t length) {
    return p >= begin && p <= end && length <= static_cast<size_t>(end - p);
}

bool isContentLength(const phr_header& header) {
    constexpr std::string_view kName = "content-length";
    if (header.name == nullptr || header.name_len != kName.size())
        return false;
    for (size_t i = 0; i < kName.size(); ++i) {
        const char c = header.name[i];
        const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != kName[i])
            return false;
    }
    return true;
}

// What a result says, independent of where its bytes lie.
void checkResult(const CPicoHttpParser& parser, const char* data, int length) {
    if (parser.GetResult() != CPicoHttpParser::eParsed) {
        if (parser.GetHeaderCount() != 0 || parser.GetStatus() != 0 ||
            !parser.GetReason().empty() || parser.GetHeadBytes() != 0 ||
            parser.FindContentLength() != nullptr)
            __builtin_trap();
        return;
    }
    const int headBytes = parser.GetHeadBytes();
    if (headBytes <= 0 || headBytes > length || parser.GetMinorVersion() < 0 ||
        parser.GetMinorVersion() > 9 || parser.GetStatus() < 0 || parser.GetStatus() > 999 ||
        parser.GetHeaderCount() < 0 ||
        parser.GetHeaderCount() > static_cast<int>(CPicoHttpParser::kMaxHeaders))
        __builtin_trap();
    const char* end = data + headBytes;
    const std::string_view reason = parser.GetReason();
    if (!reason.empty() && !inside(data, end, reason.data(), reason.size()))
        __builtin_trap();
    const phr_header* firstContentLength = nullptr;
    for (int i = 0; i < parser.GetHeaderCount(); ++i) {
        const phr_header& header = parser.GetHeader(i);
        if ((header.name != nullptr && !inside(data, end, header.name, header.name_len)) ||
            !inside(data, end, header.value, header.value_len))
            __builtin_trap();
        if (firstContentLength == nullptr && isContentLength(header))
            firstContentLength = &header;
    }
    if (parser.FindContentLength() != firstContentLength)
        __builtin_trap();
}

// Offsets into each one's own bytes must match.
void checkSame(const CPicoHttpParser& a, const char* dataA, const CPicoHttpParser& b,
               const char* dataB) {
    if (a.GetResult() != b.GetResult() || a.GetHeadBytes() != b.GetHeadBytes() ||
        a.GetMinorVersion() != b.GetMinorVersion() || a.GetStatus() != b.GetStatus() ||
        a.GetReason() != b.GetReason() || a.GetHeaderCount() != b.GetHeaderCount())
        __builtin_trap();
    for (int i = 0; i < a.GetHeaderCount(); ++i) {
        const phr_header& x = a.GetHeader(i);
        const phr_header& y = b.GetHeader(i);
        if ((x.name == nullptr) != (y.name == nullptr) || x.name_len != y.name_len ||
            (x.name != nullptr && x.name - dataA != y.name - dataB) ||
            x.value - dataA != y.value - dataB || x.value_len != y.value_len)
            __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static CGuardedBlock wholeBlock;
    static CGuardedBlock halfBlock;
    if (size > kMaxHead)
        return 0;
    const char* head = wholeBlock.place(reinterpret_cast<const char*>(data), size);
    const int length = static_cast<int>(size);

    CPicoHttpParser whole;
    whole.ParseResponse(head, length);
    checkResult(whole, head, length);

    const int half = length / 2;
    const char* firstHalf = halfBlock.place(head, static_cast<size_t>(half));
    CPicoHttpParser stepwise;
    stepwise.ParseResponse(firstHalf, half);
    checkResult(stepwise, firstHalf, half);
    if (stepwise.GetResult() == CPicoHttpParser::eParsed) {
        checkSame(stepwise, firstHalf, whole, head);
    } else if (stepwise.GetResult() == CPicoHttpParser::eIncomplete) {
        // Resuming only skips the search for the blank line in bytes already
        // seen; it must not change what is read.
        stepwise.ParseResponse(head, length);
        checkResult(stepwise, head, length);
        if (stepwise.GetResult() == CPicoHttpParser::eParsed ||
            whole.GetResult() == CPicoHttpParser::eParsed)
            checkSame(stepwise, head, whole, head);
    }

    // The downloader's size comes only from a parsed Content-Length.
    const unsigned fileSize = NetEx::fileSizeFromHead(std::string_view(head, size));
    if (fileSize != NetEx::kFileSizeUnknown &&
        (whole.FindContentLength() == nullptr || fileSize == NetEx::kFileSizeNotProbed))
        __builtin_trap();
    return 0;
}
