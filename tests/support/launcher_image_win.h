// The Launcher.exe under test (LAUNCHER_EXE_PATH) as bytes, for tests that
// run, stamp or rebrand copies of it.
#pragma once

#include "base/file_io_win.h"

#include <gtest/gtest.h>

#include <cstring>
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

} // namespace testwin
