// The drives of a system without drive letters: the mount table, read and
// classified.
#include "platform/drives.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace vekdc::platform {

namespace {

// The table is read with this parser rather than getmntent(3), whose line
// buffer has a fixed size: a long mount point name would be cut.
// "\040" and the other octal escapes of the mount table.
std::string unescape(std::string_view field) {
    std::string result;
    result.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string_view digits = field.substr(i + 1, 3);
            if (std::all_of(digits.begin(), digits.end(),
                            [](char c) { return c >= '0' && c <= '7'; })) {
                result += static_cast<char>(((digits[0] - '0') << 6) | ((digits[1] - '0') << 3) |
                                            (digits[2] - '0'));
                i += 3;
                continue;
            }
        }
        result += field[i];
    }
    return result;
}

constexpr std::array<std::string_view, 13> kNetworkTypes = {
    "nfs",  "nfs4", "cifs",      "smb3",   "smbfs", "ncpfs", "afs",
    "ceph", "9p",   "glusterfs", "lustre", "davfs", "sshfs"};
constexpr std::array<std::string_view, 8> kNetworkFuseTypes = {
    "sshfs", "rclone", "s3fs", "gcsfuse", "glusterfs", "davfs2", "curlftpfs", "cephfs"};
constexpr std::array<std::string_view, 2> kCdTypes = {"iso9660", "udf"};
constexpr std::array<std::string_view, 2> kRamTypes = {"tmpfs", "ramfs"};
constexpr std::array<std::string_view, 19> kDiskTypes = {
    "ext2",  "ext3",    "ext4",   "xfs",      "btrfs", "vfat", "msdos",
    "exfat", "ntfs",    "ntfs3",  "fuseblk",  "f2fs",  "jfs",  "reiserfs",
    "hfs",   "hfsplus", "nilfs2", "bcachefs", "zfs"};
constexpr std::array<std::string_view, 20> kPseudoTypes = {
    "proc",    "sysfs",   "devtmpfs",    "devpts",   "cgroup",     "cgroup2",   "securityfs",
    "debugfs", "tracefs", "pstore",      "bpf",      "mqueue",     "hugetlbfs", "configfs",
    "fusectl", "autofs",  "binfmt_misc", "efivarfs", "rpc_pipefs", "squashfs"};
constexpr std::array<std::string_view, 6> kSystemFolders = {"/proc", "/sys",  "/dev",
                                                            "/run",  "/boot", "/snap"};

template <std::size_t N>
bool one_of(std::string_view value, const std::array<std::string_view, N>& set) {
    return std::find(set.begin(), set.end(), value) != set.end();
}

// The folder itself or anything below it.
bool under(std::string_view path, std::string_view folder) {
    return path == folder ||
           (path.size() > folder.size() && path.substr(0, folder.size()) == folder &&
            path[folder.size()] == '/');
}

bool is_network(const Volume& mount) {
    const std::string_view type = mount.fs_type;
    if (one_of(type, kNetworkTypes)) {
        return true;
    }
    constexpr std::string_view fuse = "fuse.";
    return type.substr(0, fuse.size()) == fuse &&
           one_of(type.substr(fuse.size()), kNetworkFuseTypes);
}

bool is_user_media_folder(std::string_view path) {
    return under(path, "/media") || under(path, "/run/media");
}

bool is_system_mount(const Volume& mount) {
    if (one_of(std::string_view(mount.fs_type), kPseudoTypes)) {
        return true;
    }
    const std::string_view path = mount.mount_point;
    if (under(path, "/run/media")) {
        return false;
    }
    return std::any_of(kSystemFolders.begin(), kSystemFolders.end(),
                       [&](std::string_view folder) { return under(path, folder); });
}

std::string read_first_line(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

}  // namespace

std::vector<Volume> parse_mount_table(std::string_view text) {
    std::vector<Volume> mounts;
    std::istringstream lines{std::string(text)};
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string device;
        std::string mount_point;
        std::string type;
        if (fields >> device >> mount_point >> type) {
            mounts.push_back(
                Volume{unescape(device), unescape(mount_point), unescape(type), false});
        }
    }
    return mounts;
}

bool is_removable_device(const std::string& device) {
    namespace fs = std::filesystem;
    if (device.rfind("/dev/", 0) != 0) {
        return false;
    }
    std::error_code error;
    const fs::path node = fs::canonical(device, error);
    if (error) {
        return false;
    }
    const fs::path block = fs::path("/sys/class/block") / node.filename();
    if (fs::exists(block / "removable", error)) {
        return read_first_line(block / "removable") == "1";
    }
    // A partition: the flag belongs to the disk it is part of.
    const fs::path partition = fs::canonical(block, error);
    if (error) {
        return false;
    }
    const fs::path disk_flag = partition.parent_path() / "removable";
    return fs::exists(disk_flag, error) && read_first_line(disk_flag) == "1";
}

std::vector<Volume> mounted_volumes() {
    const char* table = std::getenv("VEKDC_MOUNT_TABLE");
    std::ifstream in(table != nullptr && *table != '\0' ? table : "/proc/self/mounts");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<Volume> volumes = parse_mount_table(text);
    for (Volume& volume : volumes) {
        volume.removable = is_removable_device(volume.device);
    }
    return volumes;
}

std::vector<Drive> drives_from_mounts(const std::vector<Volume>& mounts) {
    // The last entry of a mount point is the one in effect.
    std::vector<Volume> effective;
    for (const Volume& mount : mounts) {
        auto same = std::find_if(effective.begin(), effective.end(), [&](const Volume& e) {
            return e.mount_point == mount.mount_point;
        });
        if (same != effective.end()) {
            *same = mount;
        } else {
            effective.push_back(mount);
        }
    }

    std::vector<Drive> drives;
    bool root_seen = false;
    for (const Volume& mount : effective) {
        const std::string& path = mount.mount_point;
        const bool network = is_network(mount);
        if (path == "/") {
            root_seen = true;
            drives.push_back(Drive{path, network ? DriveKind::Remote : DriveKind::HardDisk});
            continue;
        }
        if (path.empty() || path.front() != '/' || is_system_mount(mount)) {
            continue;
        }
        const bool removable = mount.removable;
        if (!network && !removable && !is_user_media_folder(path) && !under(path, "/mnt")) {
            continue;
        }
        const std::string_view type = mount.fs_type;
        DriveKind kind = DriveKind::Other;
        if (network) {
            kind = DriveKind::Remote;
        } else if (one_of(type, kCdTypes)) {
            kind = DriveKind::CdRom;
        } else if (removable || is_user_media_folder(path)) {
            kind = DriveKind::Removable;
        } else if (one_of(type, kRamTypes)) {
            kind = DriveKind::Other;
        } else if (one_of(type, kDiskTypes)) {
            kind = DriveKind::HardDisk;
        }
        drives.push_back(Drive{path, kind});
    }
    if (!root_seen) {
        drives.insert(drives.begin(), Drive{"/", DriveKind::HardDisk});
    }
    return drives;
}

std::vector<Drive> list_drives() {
    return drives_from_mounts(mounted_volumes());
}

}  // namespace vekdc::platform
