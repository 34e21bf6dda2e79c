// The Launcher.exe under test (LAUNCHER_EXE_PATH) as bytes, for tests that
// run, stamp or rebrand copies of it.
#pragma once

#include "base/file_io_win.h"
#include "pack_command.h"
#include "rar_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace testwin {

inline std::wstring widen(const char* s) {
    return std::wstring(s, s + strlen(s));
}

inline std::vector<uint8_t> launcherImage() {
    std::vector<uint8_t> image;
    EXPECT_EQ(readWholeFile(widen(LAUNCHER_EXE_PATH), image), 0u);
    return image;
}

inline void writeImage(const std::wstring& path, const std::vector<uint8_t>& image) {
    ASSERT_EQ(writeWholeFile(path, image.data(), static_cast<DWORD>(image.size())), 0u);
}

// The branding this tree packed into Launcher.exe, with `editConfig`
// applied to the text of its config.xml, as a branding resource.
inline std::vector<uint8_t>
brandingWithConfig(const std::function<void(std::string&)>& editConfig) {
    std::vector<RarWriterEntry> entries;
    std::string error;
    EXPECT_TRUE(collectPackEntries(LAUNCHER_BINARY_DIR "/src/branding", entries, error)) << error;
    for (RarWriterEntry& entry : entries) {
        if (entry.name != "config.xml")
            continue;
        std::string text(entry.data.begin(), entry.data.end());
        editConfig(text);
        entry.data.assign(text.begin(), text.end());
    }
    std::vector<uint8_t> archive;
    EXPECT_TRUE(writeStoredRar(entries, kRarFixedDosTime, archive, error)) << error;
    return archive;
}

// Writes Launcher.exe with `branding` as its branding resource to `path`.
inline bool writeRebrandedLauncher(const std::wstring& path, const std::vector<uint8_t>& branding) {
    const std::vector<uint8_t> image = launcherImage();
    if (writeWholeFile(path, image.data(), static_cast<DWORD>(image.size())) != ERROR_SUCCESS)
        return false;
    HANDLE update = ::BeginUpdateResourceW(path.c_str(), FALSE);
    if (update == nullptr)
        return false;
    const bool replaced = ::UpdateResourceW(
        update, L"ZIP", MAKEINTRESOURCEW(130), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
        const_cast<uint8_t*>(branding.data()), static_cast<DWORD>(branding.size()));
    return ::EndUpdateResourceW(update, !replaced) && replaced;
}

} // namespace testwin
