#include "update/archive/entry_kind.h"

namespace {

constexpr uint32_t kTypeMask = 0xF000;
constexpr uint32_t kTypeRegular = 0x8000;
constexpr uint32_t kTypeFolder = 0x4000;
constexpr uint32_t kTypeLink = 0xA000;

} // namespace

EEntryKind entryKindFromUnixMode(uint32_t mode) {
    switch (mode & kTypeMask) {
    case 0:
    case kTypeRegular:
        return EEntryKind::File;
    case kTypeFolder:
        return EEntryKind::Folder;
    case kTypeLink:
        return EEntryKind::Link;
    default:
        return EEntryKind::Special;
    }
}

const char* skippedEntryKindText(EEntryKind kind) {
    switch (kind) {
    case EEntryKind::Link:
        return "symbolic link";
    case EEntryKind::Special:
        return "special file";
    default:
        return "entry";
    }
}
