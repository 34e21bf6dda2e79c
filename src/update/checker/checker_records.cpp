#include "update/checker/checker_records.h"

#include "update/manifest/manifest_text.h"

#include <algorithm>

std::set<std::wstring> parseAddPkg(const uint8_t* bytes, size_t size) {
    std::set<std::wstring> names;
    if (!bytes || size % kAddPkgRecordSize != 0)
        return names;
    for (size_t at = 0; at < size; at += kAddPkgRecordSize) {
        std::wstring name = wideFromUtf16Le(bytes + at, kAddPkgRecordSize / 2);
        if (!name.empty())
            names.insert(std::move(name));
    }
    return names;
}

std::vector<uint8_t> encodeAddPkg(const std::vector<std::wstring>& names) {
    std::vector<uint8_t> out;
    for (const std::wstring& name : names)
        appendUtf16Le(name.substr(0, kAddPkgRecordSize / 2 - 1), kAddPkgRecordSize / 2, out);
    return out;
}

std::optional<std::vector<AppListRecord>> parseAppList(const uint8_t* bytes, size_t size) {
    if (size % kAppListRecordSize != 0 || (size && !bytes))
        return std::nullopt;
    std::vector<AppListRecord> records;
    for (size_t at = 0; at < size; at += kAppListRecordSize)
        records.push_back({wideFromUtf16Le(bytes + at, kAppListNameUnits),
                           wideFromUtf16Le(bytes + at + 2 * kAppListNameUnits, kAppListPathUnits)});
    return records;
}

std::vector<uint8_t> encodeAppList(const std::vector<AppListRecord>& records) {
    std::vector<uint8_t> out;
    for (const AppListRecord& record : records) {
        appendUtf16Le(record.name.substr(0, kAppListNameUnits - 1), kAppListNameUnits, out);
        appendUtf16Le(record.path.substr(0, kAppListPathUnits - 1), kAppListPathUnits, out);
        out.push_back(0);
        out.push_back(0);
    }
    return out;
}

std::vector<ShortcutChange> listShortcutChanges(const std::vector<AppListRecord>& installed,
                                                const std::vector<IntApp>& intApps) {
    std::vector<ShortcutChange> changes;
    for (const AppListRecord& record : installed) {
        if (record.name.empty())
            continue;
        const bool kept = std::any_of(intApps.begin(), intApps.end(),
                                      [&](const IntApp& app) { return app.exec == record.path; });
        if (!kept)
            changes.push_back({record.name, record.path, 0});
    }
    for (const IntApp& app : intApps) {
        const bool present =
            std::any_of(installed.begin(), installed.end(),
                        [&](const AppListRecord& record) { return record.path == app.exec; });
        if (!present)
            changes.push_back({app.name.substr(0, kShortcutNameChars),
                               app.exec.substr(0, kShortcutExecChars), 1});
    }
    return changes;
}
