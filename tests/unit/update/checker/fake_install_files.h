// An install folder in memory for the checker's tests: paths compare without
// regard to ASCII case, as on Windows; folders exist while something is in
// them; links are listed but cannot be opened. Large files are made up as
// they are read, and every read can be watched.
#pragma once

#include "update/checker/install_files.h"
#include "update/manifest/manifest_text.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

class CFakeInstallFiles : public IInstallFiles {
public:
    void add(const std::wstring& path, const std::string& bytes) {
        files[lowerWide(path)] = {path, std::vector<uint8_t>(bytes.begin(), bytes.end())};
    }
    // `size` bytes that are never held: each read makes its piece.
    void addGenerated(const std::wstring& path, uint64_t size) {
        files[lowerWide(path)] = {path, {}, size};
    }
    void addLink(const std::wstring& path) { links.insert(path); }
    bool has(const std::wstring& path) const { return files.count(lowerWide(path)) != 0; }

    std::unique_ptr<IReadFile> OpenFile(const std::wstring& path, uint32_t& systemError) override {
        opened.push_back(path);
        const auto it = files.find(lowerWide(path));
        if (it == files.end()) {
            systemError = 2; // ERROR_FILE_NOT_FOUND
            return nullptr;
        }
        if (it->second.generatedSize)
            return std::make_unique<CGeneratedReader>(*this, it->second.path,
                                                      it->second.generatedSize);
        return std::make_unique<CReader>(it->second.bytes);
    }

    bool ListFolder(const std::wstring& folder, std::vector<FolderEntry>& entries) override {
        entries.clear();
        const std::wstring prefix = folder.empty() ? L"" : folder + L"\\";
        std::set<std::wstring> folders;
        auto visit = [&](const std::wstring& path, EFolderEntryKind kind) {
            if (lowerWide(path).rfind(lowerWide(prefix), 0) != 0)
                return;
            const std::wstring rest = path.substr(prefix.size());
            const size_t slash = rest.find(L'\\');
            if (slash == std::wstring::npos)
                entries.push_back({rest, kind});
            else if (folders.insert(rest.substr(0, slash)).second)
                entries.push_back({rest.substr(0, slash), EFolderEntryKind::Folder});
        };
        for (const auto& [key, file] : files)
            visit(file.path, EFolderEntryKind::File);
        for (const std::wstring& link : links)
            visit(link, EFolderEntryKind::Link);
        return true;
    }

    bool RemoveFile(const std::wstring& path) override {
        removedFiles.push_back(path);
        return files.erase(lowerWide(path)) != 0;
    }

    bool RemoveEmptyFolder(const std::wstring& folder) override {
        std::vector<FolderEntry> entries;
        ListFolder(folder, entries);
        if (entries.empty())
            removedFolders.push_back(folder);
        return entries.empty();
    }

    std::vector<std::wstring> opened;
    std::vector<std::wstring> removedFiles;
    std::vector<std::wstring> removedFolders;
    // Called before each read of a generated file with its offset.
    std::function<void(const std::wstring& path, uint64_t offset)> onRead;
    uint64_t generatedBytesRead = 0;

private:
    class CReader : public IReadFile {
    public:
        explicit CReader(const std::vector<uint8_t>& bytes) : bytes(bytes) {}
        int64_t Read(void* dest, uint32_t count) override {
            const size_t n = std::min<size_t>(count, bytes.size() - at);
            if (n)
                std::memcpy(dest, bytes.data() + at, n);
            at += n;
            return static_cast<int64_t>(n);
        }

    private:
        const std::vector<uint8_t>& bytes;
        size_t at = 0;
    };

    class CGeneratedReader : public IReadFile {
    public:
        CGeneratedReader(CFakeInstallFiles& owner, std::wstring path, uint64_t size)
            : owner(owner), path(std::move(path)), size(size) {}
        int64_t Read(void* dest, uint32_t count) override {
            if (owner.onRead)
                owner.onRead(path, at);
            const auto n = static_cast<size_t>(std::min<uint64_t>(count, size - at));
            auto* out = static_cast<uint8_t*>(dest);
            for (size_t i = 0; i < n; ++i)
                out[i] = static_cast<uint8_t>((at + i) * 31 + ((at + i) >> 16));
            at += n;
            owner.generatedBytesRead += n;
            return static_cast<int64_t>(n);
        }

    private:
        CFakeInstallFiles& owner;
        std::wstring path;
        uint64_t size;
        uint64_t at = 0;
    };

    struct File {
        std::wstring path;
        std::vector<uint8_t> bytes;
        uint64_t generatedSize = 0;
    };
    std::map<std::wstring, File> files;
    std::set<std::wstring> links;
};
