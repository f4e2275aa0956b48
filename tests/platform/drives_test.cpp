// The drives the tree lists: on Linux the mount table, read and classified;
// on Windows the drive letters in use.
#include <gtest/gtest.h>

#include <regex>

#include "platform/drives.h"
#include "tests/support/test_support.h"

namespace vekdc::platform {
namespace {

#ifdef _WIN32
TEST(Drives, AreTheLettersInUseWithTheirKinds) {
    const std::vector<Drive> drives = list_drives();
    ASSERT_FALSE(drives.empty());
    const std::regex root("[A-Z]:\\\\");
    for (const Drive& drive : drives) {
        EXPECT_TRUE(std::regex_match(drive.root, root)) << drive.root;
    }
    // In letter order, each once.
    EXPECT_TRUE(std::is_sorted(drives.begin(), drives.end(),
                               [](const Drive& a, const Drive& b) { return a.root < b.root; }));
}
#else
const char* kind_name(DriveKind kind) {
    constexpr const char* kNames[] = {"REMOVABLE", "HARD-DISK", "REMOTE", "CD-ROM", "ETC-DRIVE"};
    return kNames[static_cast<int>(kind)];
}

std::vector<std::string> labels(const std::vector<Drive>& drives) {
    std::vector<std::string> found;
    for (const Drive& drive : drives) {
        found.push_back(drive.root + " (" + kind_name(drive.kind) + ")");
    }
    return found;
}

// A mount table as the platform reads it; devices under /dev/removable are
// the removable ones in these tests.
std::vector<Volume> volumes(std::string_view table) {
    std::vector<Volume> found = parse_mount_table(table);
    for (Volume& volume : found) {
        volume.removable = volume.device.rfind("/dev/removable", 0) == 0;
    }
    return found;
}

TEST(Drives, ParseEscapedFields) {
    const auto mounts = parse_mount_table(
        "/dev/sdb1 /media/user/USB\\040STICK vfat rw 0 0\n"
        "broken-line\n"
        "tab\\011dev /mnt/a\\134b ext4 rw 0 0\n");
    ASSERT_EQ(mounts.size(), 2u);
    EXPECT_EQ(mounts[0].mount_point, "/media/user/USB STICK");
    EXPECT_EQ(mounts[0].fs_type, "vfat");
    EXPECT_EQ(mounts[1].device, "tab\tdev");
    EXPECT_EQ(mounts[1].mount_point, "/mnt/a\\b");
}

TEST(Drives, AreChosenAndNamedFromTheMounts) {
    struct row {
        const char* name;
        const char* table;
        std::vector<std::string> drives;
    };
    const row rows[] = {
        {"a desktop machine",
         "/dev/sda2 / ext4 rw 0 0\n"
         "proc /proc proc rw 0 0\n"
         "sysfs /sys sysfs rw 0 0\n"
         "devpts /dev/pts devpts rw 0 0\n"
         "tmpfs /run tmpfs rw 0 0\n"
         "tmpfs /run/user/1000 tmpfs rw 0 0\n"
         "/dev/sda1 /boot/efi vfat rw 0 0\n"
         "/dev/loop3 /snap/core/123 squashfs ro 0 0\n"
         "/dev/sdb1 /media/user/USB\\040STICK vfat rw 0 0\n"
         "/dev/sr0 /media/cd iso9660 ro 0 0\n"
         "/dev/sr1 /mnt/dvd udf ro 0 0\n"
         "/dev/sdc1 /run/media/user/disk exfat rw 0 0\n"
         "server:/export /mnt/share nfs4 rw 0 0\n"
         "//nas/share /home/user/nas cifs rw 0 0\n"
         "user@host: /home/user/remote fuse.sshfs rw 0 0\n"
         "tmpfs /mnt/ram tmpfs rw 0 0\n"
         "/dev/sdd1 /mnt/data ext4 rw 0 0\n"
         "/dev/removable1 /srv/stick ext4 rw 0 0\n"
         "/dev/removable2 /boot/stick ext4 rw 0 0\n"
         "/dev/sdf1 /home ext4 rw 0 0\n"
         "cgroup /mnt/cg cgroup rw 0 0\n"
         "/dev/loop5 /mnt/image squashfs ro 0 0\n"
         "overlay /mnt/merged overlay rw 0 0\n"
         "/dev/sdg1 /mnt/over ext4 rw 0 0\n"
         "tmpfs /mnt/over tmpfs rw 0 0\n",
         {"/ (HARD-DISK)", "/media/user/USB STICK (REMOVABLE)", "/media/cd (CD-ROM)",
          "/mnt/dvd (CD-ROM)", "/run/media/user/disk (REMOVABLE)", "/mnt/share (REMOTE)",
          "/home/user/nas (REMOTE)", "/home/user/remote (REMOTE)", "/mnt/ram (ETC-DRIVE)",
          "/mnt/data (HARD-DISK)", "/srv/stick (REMOVABLE)", "/mnt/merged (ETC-DRIVE)",
          "/mnt/over (ETC-DRIVE)"}},  // the later mount is the one in effect
        {"no root mount",
         "tmpfs /mnt/ram tmpfs rw 0 0\n",
         {"/ (HARD-DISK)", "/mnt/ram (ETC-DRIVE)"}},
        {"a network root", "server:/root / nfs rw 0 0\n", {"/ (REMOTE)"}},
    };
    for (const row& r : rows) {
        EXPECT_EQ(labels(drives_from_mounts(volumes(r.table))), r.drives) << r.name;
    }
    EXPECT_FALSE(is_removable_device("tmpfs"));
    EXPECT_FALSE(is_removable_device("/dev/no-such-device"));
}

TEST(Drives, ComeFromTheTableNamedInTheEnvironment) {
    const test::TempDir dir;
    test::write_file(dir / "mounts", "/dev/sr0 /media/cdrom iso9660 ro 0 0\n");
    const test::ScopedEnvironment table(
        {test::ScopedEnvironment::Assignment{"VEKDC_MOUNT_TABLE", dir / "mounts"}});
    EXPECT_EQ(labels(list_drives()),
              (std::vector<std::string>{"/ (HARD-DISK)", "/media/cdrom (CD-ROM)"}));
}
#endif

}  // namespace
}  // namespace vekdc::platform
