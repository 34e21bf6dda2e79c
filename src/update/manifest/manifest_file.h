// "update.xml" in the install folder: the manifest of the last update, kept
// so the next run can compare against it. Reading and writing the file;
// the logic adds the log lines. Any thread, one call per file at a time.
#pragma once

#include <cstdint>
#include <string>

inline constexpr const wchar_t* kManifestFileName = L"update.xml";

// The largest manifest text: unpacked from the server's archive (zip or
// RAR alike) and read back from the install folder, so a damaged or foreign
// file cannot make us allocate without bound.
inline constexpr uint64_t kMaxManifestFileSize = 64u << 20;

// Reads the whole "update.xml" of `installFolder` into `text`. False, with
// `text` empty, when the file is missing, is not a regular file, cannot be
// read or is larger than kMaxManifestFileSize. An empty file reads as true
// with an empty text.
bool loadManifestFile(const std::wstring& installFolder, std::string& text);

// Stores `text` as "update.xml" of `installFolder`: written completely into
// a new temporary file beside it, then renamed over the old one, so a crash
// at any point leaves either the old or the new manifest, never a part of
// one. Writes nothing and returns false unless shouldSaveManifest agrees.
// False when any step fails; the temporary file is removed then and the old
// manifest is left as it was.
bool saveManifestFile(const std::wstring& installFolder, const std::string& text);
