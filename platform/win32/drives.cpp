// The drive letters in use and the type the system gives each.
#include <windows.h>

#include "platform/drives.h"

namespace vekdc::platform {

namespace {

struct TypeKind {
    UINT type;
    DriveKind kind;
};

// DRIVE_UNKNOWN and DRIVE_NO_ROOT_DIR name no drive; any other type (a RAM
// disk, say) is an "other" drive.
constexpr TypeKind kTypes[] = {
    {DRIVE_REMOVABLE, DriveKind::Removable},
    {DRIVE_FIXED, DriveKind::HardDisk},
    {DRIVE_REMOTE, DriveKind::Remote},
    {DRIVE_CDROM, DriveKind::CdRom},
};

}  // namespace

std::vector<Drive> list_drives() {
    std::vector<Drive> drives;
    const DWORD letters = ::GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if ((letters & (DWORD{1} << i)) == 0) {
            continue;
        }
        const wchar_t root[] = {static_cast<wchar_t>(L'A' + i), L':', L'\\', L'\0'};
        const UINT type = ::GetDriveTypeW(root);
        if (type == DRIVE_UNKNOWN || type == DRIVE_NO_ROOT_DIR) {
            continue;
        }
        DriveKind kind = DriveKind::Other;
        for (const TypeKind& entry : kTypes) {
            if (entry.type == type) {
                kind = entry.kind;
            }
        }
        drives.push_back(Drive{std::string{static_cast<char>('A' + i), ':', '\\'}, kind});
    }
    return drives;
}

}  // namespace vekdc::platform
