// The mounted volumes of this machine: what the drive tree lists, with the
// facts it classifies them by (file system type, removable device).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vekdc::platform {

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

}  // namespace vekdc::platform
