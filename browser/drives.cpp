#include "browser/drives.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace vekdc {

namespace {

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

bool is_network(const platform::Volume& mount) {
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

bool is_system_mount(const platform::Volume& mount) {
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

}  // namespace

const char* drive_kind_name(DriveKind kind) {
    switch (kind) {
        case DriveKind::Removable:
            return "REMOVABLE";
        case DriveKind::HardDisk:
            return "HARD-DISK";
        case DriveKind::Remote:
            return "REMOTE";
        case DriveKind::CdRom:
            return "CD-ROM";
        case DriveKind::Other:
            break;
    }
    return "ETC-DRIVE";
}

std::string drive_label(const DriveEntry& drive) {
    return drive.root + " (" + drive_kind_name(drive.kind) + ")";
}

std::vector<DriveEntry> drives_from_mounts(const std::vector<platform::Volume>& mounts) {
    // The last entry of a mount point is the one in effect.
    std::vector<platform::Volume> effective;
    for (const platform::Volume& mount : mounts) {
        auto same = std::find_if(
            effective.begin(), effective.end(),
            [&](const platform::Volume& e) { return e.mount_point == mount.mount_point; });
        if (same != effective.end()) {
            *same = mount;
        } else {
            effective.push_back(mount);
        }
    }

    std::vector<DriveEntry> drives;
    bool root_seen = false;
    for (const platform::Volume& mount : effective) {
        const std::string& path = mount.mount_point;
        const bool network = is_network(mount);
        if (path == "/") {
            root_seen = true;
            drives.push_back(DriveEntry{path, network ? DriveKind::Remote : DriveKind::HardDisk});
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
        drives.push_back(DriveEntry{path, kind});
    }
    if (!root_seen) {
        drives.insert(drives.begin(), DriveEntry{"/", DriveKind::HardDisk});
    }
    return drives;
}

std::vector<DriveEntry> list_drives() {
    return drives_from_mounts(platform::mounted_volumes());
}

}  // namespace vekdc
