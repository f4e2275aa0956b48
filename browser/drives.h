// The drives of the tree on a system without drive letters: the mounted
// volumes a user keeps files on (read by the platform layer), each shown with
// its root path and the kind of drive it stands for.
#pragma once

#include <string>
#include <vector>

#include "platform/volumes.h"

namespace vekdc {

enum class DriveKind { Removable, HardDisk, Remote, CdRom, Other };

struct DriveEntry {
    std::string root;  // the mount point, e.g. "/" or "/media/usb"
    DriveKind kind;
};

// "REMOVABLE", "HARD-DISK", "REMOTE", "CD-ROM" or "ETC-DRIVE".
const char* drive_kind_name(DriveKind kind);
// "<root> (<kind name>)", the label of a drive item.
std::string drive_label(const DriveEntry& drive);

// The drives among the mounts: "/" always, then mounts under /media,
// /run/media and /mnt, network mounts and removable devices anywhere, except
// system and pseudo mounts. A mount point mounted over keeps its last entry.
std::vector<DriveEntry> drives_from_mounts(const std::vector<platform::Volume>& mounts);

// The drives of this machine (see platform::mounted_volumes).
std::vector<DriveEntry> list_drives();

}  // namespace vekdc
