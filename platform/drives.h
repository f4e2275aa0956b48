// The drives the tree of the desktop window lists: on Windows the drive
// letters in use, elsewhere the mounted volumes a user keeps files on. Each
// has its root path and the kind of drive it stands for.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vekdc::platform {

enum class DriveKind { Removable, HardDisk, Remote, CdRom, Other };

struct Drive {
    std::string root;  // "C:\" on Windows; the mount point ("/", "/media/usb") elsewhere
    DriveKind kind;
};

// The drives of this machine, in the system's order: on Windows the letters
// from A to Z whose type is known (GetDriveTypeW); elsewhere "/" always, then
// the mounts under /media, /run/media and /mnt, network mounts and removable
// devices anywhere, except system and pseudo mounts (see drives_from_mounts).
std::vector<Drive> list_drives();

#ifndef _WIN32
struct Volume {
    std::string device;
    std::string mount_point;
    std::string fs_type;
    bool removable = false;  // the kernel marks the device (or its disk) removable
};

// Parses a mount table in the format of /proc/mounts (device, mount point,
// type, options, two numbers; blanks inside fields escaped as \040 etc.).
// The removable flags stay false.
std::vector<Volume> parse_mount_table(std::string_view text);

// Whether a block device (e.g. "/dev/sdb1") is marked removable by the kernel.
bool is_removable_device(const std::string& device);

// The volumes mounted now, in mount order, with their removable flags: read
// from the table named by the environment variable VEKDC_MOUNT_TABLE when
// set, else from /proc/self/mounts.
std::vector<Volume> mounted_volumes();

// The drives among the mounts: "/" always, then mounts under /media,
// /run/media and /mnt, network mounts and removable devices anywhere, except
// system and pseudo mounts. A mount point mounted over keeps its last entry.
std::vector<Drive> drives_from_mounts(const std::vector<Volume>& mounts);
#endif

}  // namespace vekdc::platform
