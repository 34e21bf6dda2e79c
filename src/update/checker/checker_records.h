// The launcher's record files the checker reads from the install folder,
// "addpkg.dat" and "applist.dat", and the shortcut changes derived from the
// latter and the manifest's internal applications. Pure; any thread.
#pragma once

#include "update/manifest/manifest_tables.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

// "addpkg.dat": 128-byte records, each a zero-terminated UTF-16LE package
// file name.
inline constexpr size_t kAddPkgRecordSize = 128;
// "applist.dat": name (65 UTF-16LE units), path (260 units), 2 zero bytes.
inline constexpr size_t kAppListNameUnits = 65;
inline constexpr size_t kAppListPathUnits = 260;
inline constexpr size_t kAppListRecordSize = 2 * (kAppListNameUnits + kAppListPathUnits) + 2;

// The package names of "addpkg.dat"; empty when the size is not a multiple
// of the record size (a damaged file counts no package).
std::set<std::wstring> parseAddPkg(const uint8_t* bytes, size_t size);
std::vector<uint8_t> encodeAddPkg(const std::vector<std::wstring>& names);

struct AppListRecord {
    std::wstring name;
    std::wstring path;
};

// nullopt when the size is not a multiple of the record size: the caller
// deletes such a file.
std::optional<std::vector<AppListRecord>> parseAppList(const uint8_t* bytes, size_t size);
std::vector<uint8_t> encodeAppList(const std::vector<AppListRecord>& records);

// One shortcut to create or delete; the same limits as the shortcut records
// sent to the assistant.
inline constexpr size_t kShortcutNameChars = 64;
inline constexpr size_t kShortcutExecChars = 260;

struct ShortcutChange {
    std::wstring Name;
    std::wstring Exec;
    int Action = 0; // 1 create, 0 delete
};

// Deletions first (installed records whose path no internal application has
// as EXEC, in file order, unnamed records skipped), then creations (internal
// applications no record has, in manifest order). Comparison is exact.
std::vector<ShortcutChange> listShortcutChanges(const std::vector<AppListRecord>& installed,
                                                const std::vector<IntApp>& intApps);
