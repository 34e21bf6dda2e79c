#include "update/unpack/unpacker_thread_win.h"

#include "base/log/run_log_win.h"
#include "base/utf8_text.h"
#include "update/unpack/file_read_stream_win.h"

#include <memory>

CUnpackerThread::CUnpackerThread()
    : hWakeEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr)), store(partFiles),
      writer(lock, store, partFiles) {}

CUnpackerThread::~CUnpackerThread() {
    StopAndWait();
}

bool CUnpackerThread::AddFilePart(const wchar_t* path, CBuffer* part, unsigned length,
                                  std::optional<uint64_t> offset) {
    CLockGuard guard(lock);
    if (path == nullptr || stopping)
        return false;
    uint64_t held = 0;
    if (offset && store.GetFileCrc(path, nullptr, &held) && held != *offset)
        return false;
    if (!store.AddFilePart(path, part, length))
        return false;
    writer.Wake();
    return true;
}

bool CUnpackerThread::GetFileCrc(const wchar_t* path, uint32_t* crc, uint64_t* size) {
    CLockGuard guard(lock);
    return store.GetFileCrc(path ? path : L"", crc, size);
}

bool CUnpackerThread::HasWriteFailed(const wchar_t* path) {
    CLockGuard guard(lock);
    return path != nullptr && store.HasWriteFailed(path);
}

uint64_t CUnpackerThread::GetPendingBytes() {
    CLockGuard guard(lock);
    return store.PendingBytes();
}

void CUnpackerThread::DropFileParts(const wchar_t* path) {
    CLockGuard writing(writer.WriteLock());
    CLockGuard guard(lock);
    if (path)
        store.DropFileParts(path);
}

bool CUnpackerThread::SetFileCompleted(const wchar_t* path) {
    CLockGuard guard(lock);
    return path != nullptr && store.SetCompleted(path);
}

bool CUnpackerThread::FlushParts() {
    CLockGuard writing(writer.WriteLock());
    CLockGuard guard(lock);
    store.FlushParts();
    return true;
}

bool CUnpackerThread::AssembleFile(const wchar_t* path, uint8_t** data, unsigned* length) {
    if (!path || !data || !length)
        return false;
    uint64_t size = 0;
    if (!checkSource(path, &size) || size > kMaxAssembledSize)
        return false;
    const std::unique_ptr<CFileReadStream> stream = CFileReadStream::Open(path);
    if (!stream || stream->GetSize() != size)
        return false;
    auto bytes = std::make_unique<uint8_t[]>(static_cast<size_t>(size));
    if (size > 0 && (!stream->Read(bytes.get(), static_cast<int>(size)) ||
                     static_cast<uint64_t>(stream->Tell()) != size))
        return false;
    *data = bytes.release();
    *length = static_cast<unsigned>(size);
    return true;
}

bool CUnpackerThread::MeasureParts(std::vector<std::wstring> paths, unsigned request) {
    if (!IsRunning())
        return false;
    CLockGuard guard(lock);
    if (stopping)
        return false;
    measureRequest = SMeasureRequest{std::move(paths), request};
    ::SetEvent(hWakeEvent.get());
    return true;
}

bool CUnpackerThread::measureRequestedParts() {
    SMeasureRequest taken;
    {
        CLockGuard guard(lock);
        if (!measureRequest)
            return true;
        taken = std::move(*measureRequest);
        measureRequest.reset();
    }
    const auto stopRequested = [this] { return IsStopping(); };
    for (const std::wstring& path : taken.paths) {
        {
            CLockGuard guard(lock);
            if (store.HasRecord(path))
                continue;
        }
        // Nothing writes a file without a record: the reading sees it whole.
        uint32_t crc = 0;
        uint64_t size = 0;
        if (!CPartFilesWin::MeasureUnlessStopped(path, crc, size, stopRequested) && IsStopping())
            return false;
        CLockGuard guard(lock);
        store.AdoptMeasuredRecord(path, crc, size);
    }
    post(eWindowsMessage_PartsMeasured, taken.request);
    return true;
}

void CUnpackerThread::QueuePackage(const wchar_t* source) {
    if (source)
        queueItem({source, L"", true});
}

void CUnpackerThread::QueueFile(const wchar_t* source, const wchar_t* target) {
    if (source && target)
        queueItem({source, target, false});
}

void CUnpackerThread::queueItem(SUnpackItem item) {
    CLockGuard guard(lock);
    if (stopping)
        return;
    queue.push_back(std::move(item));
    if (unpackEnabled)
        ::SetEvent(hWakeEvent.get());
}

bool CUnpackerThread::BeginRun(const SUnpackRunSettings& settings) {
    if (IsRunning())
        return false;
    // A thread that ended by itself still holds its handle.
    Wait(INFINITE);
    {
        CLockGuard guard(lock);
        stopping = false;
        finishWhenIdle = false;
        // A failed run leaves its item queued; the new run queues again what
        // it finds complete.
        queue.clear();
        measureRequest.reset();
        processedBytes = 0;
        unpackProgress = 0;
        ignoreWriteErrors = settings.ignoreWriteErrors;
        installFolder = settings.installFolder;
        hwnd = settings.hwnd;
        unpackEnabled = settings.unpackEnabled;
        log = settings.log;
    }
    // A writer left from an earlier run holds nothing: parts were flushed
    // when that run stopped.
    writer.Stop(kWriterStopMs);
    if (!Start())
        return false;
    if (writer.Begin(settings.hwnd))
        return true;
    StopAndWait();
    return false;
}

bool CUnpackerThread::IsRunning() const {
    DWORD code = 0;
    return hThread && ::GetExitCodeThread(hThread.get(), &code) && code == STILL_ACTIVE;
}

void CUnpackerThread::FinishRun() {
    CLockGuard guard(lock);
    finishWhenIdle = true;
    if (!unpackEnabled)
        queue.clear();
    ::SetEvent(hWakeEvent.get());
}

bool CUnpackerThread::StopAndWait(unsigned milliseconds) {
    setStopping();
    // The writer finishes the part in hand first. One ended half way holds
    // its write lock forever: nothing more is flushed then, and the next run
    // resumes from what the disk holds.
    if (writer.Stop(kWriterStopMs))
        FlushParts();
    return Wait(milliseconds);
}

void CUnpackerThread::setStopping() {
    CLockGuard guard(lock);
    stopping = true;
    ::SetEvent(hWakeEvent.get());
}

std::wstring CUnpackerThread::GetStatusText() {
    CLockGuard guard(lock);
    return statusText;
}

uint32_t CUnpackerThread::GetStatusCode() {
    CLockGuard guard(lock);
    return statusCode;
}

std::string CUnpackerThread::GetCurrentName() {
    CLockGuard guard(lock);
    return currentName;
}

size_t CUnpackerThread::GetQueueLength() {
    CLockGuard guard(lock);
    return queue.size();
}

void CUnpackerThread::Run() {
    for (;;) {
        if (::WaitForSingleObject(hWakeEvent.get(), INFINITE) != WAIT_OBJECT_0 || IsStopping())
            return;
        SUnpackItem item;
        for (;;) {
            if (!measureRequestedParts())
                return;
            if (!nextItem(item))
                break;
            if (!processItem(item))
                return;
            {
                CLockGuard guard(lock);
                if (!queue.empty())
                    queue.pop_front();
            }
            ::Sleep(0);
        }
        reportIdle();
    }
}

bool CUnpackerThread::nextItem(SUnpackItem& item) {
    CLockGuard guard(lock);
    if (queue.empty() || stopping || !unpackEnabled)
        return false;
    item = queue.front();
    return true;
}

// Completion is reported once per FinishRun; otherwise the thread sleeps
// until the next item or command. An item queued since the last look keeps
// the event set.
void CUnpackerThread::reportIdle() {
    CLockGuard guard(lock);
    if (stopping || measureRequest || (!queue.empty() && unpackEnabled))
        return;
    if (finishWhenIdle) {
        statusText.clear();
        statusCode = 0;
        finishWhenIdle = false;
        post(eWindowsMessage_UnpackResult, 0);
    }
    ::ResetEvent(hWakeEvent.get());
}

// The record must exist and the disk must hold all of its bytes once the
// pending parts are written.
bool CUnpackerThread::checkSource(const std::wstring& source, uint64_t* size) {
    CLockGuard writing(writer.WriteLock());
    CLockGuard guard(lock);
    uint32_t crc = 0;
    if (!store.GetFileCrc(source, &crc, size) || !store.FlushFile(source))
        return false;
    const std::unique_ptr<CFileReadStream> stream = CFileReadStream::Open(source);
    return stream ? stream->GetSize() == *size : *size == 0;
}

bool CUnpackerThread::processItem(const SUnpackItem& item) {
    std::wstring folder;
    bool ignoreErrors = false;
    {
        CLockGuard guard(lock);
        if (stopping)
            return false;
        folder = installFolder;
        ignoreErrors = ignoreWriteErrors;
    }
    uint64_t size = 0;
    if (!checkSource(item.source, &size)) {
        reportUnpackError(L"pkg/bin file can not be open " + item.source, 0, 1);
        return false;
    }
    CPackageUnpacker unpacker(*this, folder, ignoreErrors, processedBytes, size);
    const CPackageUnpacker::EOutcome outcome =
        item.isPackage ? unpacker.UnpackPackage(item.source)
                       : unpacker.CopyPlainFile(item.source, item.target);
    if (outcome == CPackageUnpacker::eOutcome_Stopped)
        return false;
    if (outcome == CPackageUnpacker::eOutcome_Failed) {
        reportUnpackError(unpacker.GetStatusText(), unpacker.GetStatusCode(), unpacker.GetResult());
        return false;
    }
    processedBytes += size;
    reportProgress(processedBytes);
    return true;
}

// Every error ends the run: the thread stops and the parts still in memory
// go to disk, so the next run resumes the downloads.
void CUnpackerThread::reportUnpackError(const std::wstring& text, uint32_t code, int result) {
    setStopping();
    FlushParts();
    CLockGuard guard(lock);
    statusText = text;
    statusCode = code;
    post(eWindowsMessage_UnpackResult, static_cast<uint64_t>(result));
}

void CUnpackerThread::post(unsigned message, uint64_t value) {
    HWND target = nullptr;
    {
        CLockGuard guard(lock);
        target = hwnd;
    }
    if (target)
        ::PostMessageW(target, message, 0, static_cast<LPARAM>(value));
}

bool CUnpackerThread::IsStopping() {
    CLockGuard guard(lock);
    return stopping;
}

void CUnpackerThread::OnUnpackProgress(uint64_t value) {
    reportProgress(value);
}

void CUnpackerThread::reportProgress(uint64_t value) {
    unpackProgress = value;
    post(eWindowsMessage_UnpackProgress, value);
}

void CUnpackerThread::SetCurrentName(const std::string& name) {
    CLockGuard guard(lock);
    currentName = name;
}

void CUnpackerThread::OnEntrySkipped(const std::string& name, EEntryKind kind) {
    CLogImplW* runLog = nullptr;
    {
        CLockGuard guard(lock);
        runLog = log;
    }
    const std::string line =
        std::string("Unpack: skipped ") + skippedEntryKindText(kind) + " " + name;
    if (runLog)
        runLog->write(wideFromUtf8(line).c_str(), true);
}
