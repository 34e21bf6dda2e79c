// The process-wide in-memory file store filled from the embedded RAR archive
// (configuration, theme, language tables, fonts), and the shared holder that
// keeps it alive while anyone uses it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

// Shares one T per process: the first holder creates it, every holder counts
// once, the last one destroyed deletes it. Holders may be created and
// destroyed on any thread; using the T itself follows T's own contract.
template <class T>
class singleton_ptr {
public:
    singleton_ptr() {
        const std::lock_guard<std::mutex> guard(lock);
        if (holders++ == 0)
            instance = new T();
        object = instance;
    }
    singleton_ptr(const singleton_ptr&) = delete;
    singleton_ptr& operator=(const singleton_ptr&) = delete;
    ~singleton_ptr() {
        const std::lock_guard<std::mutex> guard(lock);
        if (--holders == 0) {
            delete instance;
            instance = nullptr;
        }
    }

    T* get() const { return object; }
    T* operator->() const { return object; }
    T& operator*() const { return *object; }

private:
    T* object = nullptr;
    static inline std::mutex lock;
    static inline T* instance = nullptr;
    static inline size_t holders = 0;
};

// Paths are narrow, components separated by '\\', as stored in the archive;
// directories are not stored. No locking: one thread at a time (in practice
// the GUI thread).
class CArchiveHelperRar {
public:
    // Replaces the whole store with the files of the RAR archive in
    // data[0, length) (the bytes are copied). False for null or empty data,
    // an archive that cannot be opened, or a file that fails to extract: the
    // files extracted before that failure stay in the store.
    bool LoadArchive(const void* data, unsigned length);

    // Looks `path` up after normalising it (a leading '\\' is dropped, a ".."
    // component removes the one before it); the comparison is exact and
    // case-sensitive. On success *data receives a new[] array the caller
    // delete[]s (an array already in *data is delete[]d first) and *length
    // its size. False, with *data and *length untouched, when absent.
    bool GetFile(const char* path, uint8_t** data, int* length) const;

    size_t GetFileCount() const { return files.size(); }
    // Why the last LoadArchive failed, for the log.
    const std::string& GetLastErrorText() const { return sLastError; }

private:
    std::map<std::string, std::vector<uint8_t>> files;
    std::string sLastError;
};

// The lookup key for `path` (exposed for tests).
std::string normaliseArchivePath(const std::string& path);
