// The drives of the tree on a system without drive letters: the mounted
// volumes a user keeps files on, each shown with its root path and the kind
// of drive it stands for.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vekdc {

enum class DriveKind { Removable, HardDisk, Remote, CdRom, Other };

struct MountEntry {
    std::string device;
    std::string mount_point;
    std::string fs_type;
};

struct DriveEntry {
    std::string root;  // the mount point, e.g. "/" or "/media/usb"
    DriveKind kind;
};

// "REMOVABLE", "HARD-DISK", "REMOTE", "CD-ROM" or "ETC-DRIVE".
const char* drive_kind_name(DriveKind kind);
// "<root> (<kind name>)", the label of a drive item.
std::string drive_label(const DriveEntry& drive);

// Parses a mount table in the format of /proc/mounts (device, mount point,
// type, options, two numbers; blanks inside fields escaped as \040 etc.).
std::vector<MountEntry> parse_mount_table(std::string_view text);

// The drives among the mounts: "/" always, then mounts under /media,
// /run/media and /mnt, network mounts and removable devices anywhere, except
// system and pseudo mounts. A mount point mounted over keeps its last entry.
std::vector<DriveEntry> drives_from_mounts(
    const std::vector<MountEntry>& mounts,
    const std::function<bool(const std::string& device)>& is_removable);

// Whether a block device (e.g. "/dev/sdb1") is marked removable by the kernel.
bool is_removable_device(const std::string& device);

// The drives of this machine, read from the table named by the environment
// variable VEKDC_MOUNT_TABLE when set, else from /proc/self/mounts.
std::vector<DriveEntry> list_drives();

}  // namespace vekdc
