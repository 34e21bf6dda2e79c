#include "update/unpack/part_writer_win.h"

#include "base/crc32.h"

CPartWriter::CPartWriter(CCriticalSection& lock, CFilePartStore& parts, IPartFiles& files)
    : storeLock(lock), store(parts), disk(files),
      hWakeEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    name = "part writer";
}

CPartWriter::~CPartWriter() {
    Stop(INFINITE);
}

bool CPartWriter::Begin(HWND hwnd) {
    if (hThread || !hWakeEvent)
        return false;
    target = hwnd;
    stopRequested = false;
    // Parts added while no writer ran wait for this one.
    ::SetEvent(hWakeEvent.get());
    return Start();
}

void CPartWriter::Wake() {
    ::SetEvent(hWakeEvent.get());
}

bool CPartWriter::Stop(unsigned milliseconds) {
    stopRequested = true;
    ::SetEvent(hWakeEvent.get());
    return Wait(milliseconds);
}

void CPartWriter::Run() {
    while (::WaitForSingleObject(hWakeEvent.get(), INFINITE) == WAIT_OBJECT_0 && !stopRequested) {
        while (!stopRequested && writeOldestPart()) {
            if (target)
                ::PostMessageW(target, eWindowsMessage_PartWritten, 0, 0);
        }
    }
}

bool CPartWriter::writeOldestPart() {
    CLockGuard writing(writeLock);
    SPartToWrite part;
    {
        CLockGuard guard(storeLock);
        if (!store.NextPartToWrite(part)) {
            // Under the store's lock: a part added after this look sets the
            // event again.
            ::ResetEvent(hWakeEvent.get());
            return false;
        }
    }
    if (disk.Append(part.path, part.bytes, part.length)) {
        const uint32_t crc = Crc32Continue(part.bytes, part.length, part.crcBefore);
        CLockGuard guard(storeLock);
        store.PartWritten(part, crc);
        return true;
    }
    uint32_t crc = 0;
    uint64_t size = 0;
    if (!disk.Measure(part.path, crc, size)) {
        crc = 0;
        size = 0;
    }
    CLockGuard guard(storeLock);
    store.PartFailed(part, crc, size);
    return true;
}
