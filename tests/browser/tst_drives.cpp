// Which mounted volumes the tree shows as drives, and how it labels them.
#include <QTemporaryDir>
#include <QTest>

#include "browser/drives.h"
#include "gui_test_support.h"

using namespace vekdc;

namespace {

QStringList Labels(const std::vector<DriveEntry>& drives) {
    QStringList labels;
    for (const DriveEntry& drive : drives) {
        labels << QString::fromStdString(drive_label(drive));
    }
    return labels;
}

// A mount table as the platform reads it; devices under /dev/removable are
// the removable ones in these tests.
std::vector<platform::Volume> Volumes(std::string_view table) {
    std::vector<platform::Volume> volumes = platform::parse_mount_table(table);
    for (platform::Volume& volume : volumes) {
        volume.removable = volume.device.rfind("/dev/removable", 0) == 0;
    }
    return volumes;
}

}  // namespace

class TestDrives : public QObject {
    Q_OBJECT

private slots:
    void parsesEscapedFields();
    void choosesAndNamesDrives();
    void alwaysShowsTheRoot();
    void readsTheTableNamedInTheEnvironment();
};

void TestDrives::parsesEscapedFields() {
    const auto mounts = platform::parse_mount_table(
        "/dev/sdb1 /media/user/USB\\040STICK vfat rw 0 0\n"
        "broken-line\n"
        "tab\\011dev /mnt/a\\134b ext4 rw 0 0\n");
    QCOMPARE(mounts.size(), std::size_t{2});
    QCOMPARE(mounts[0].mount_point, std::string("/media/user/USB STICK"));
    QCOMPARE(mounts[0].fs_type, std::string("vfat"));
    QCOMPARE(mounts[1].device, std::string("tab\tdev"));
    QCOMPARE(mounts[1].mount_point, std::string("/mnt/a\\b"));
}

void TestDrives::choosesAndNamesDrives() {
    const auto mounts = Volumes(
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
        "tmpfs /mnt/over tmpfs rw 0 0\n");
    QCOMPARE(
        Labels(drives_from_mounts(mounts)),
        (QStringList{
            QStringLiteral("/ (HARD-DISK)"), QStringLiteral("/media/user/USB STICK (REMOVABLE)"),
            QStringLiteral("/media/cd (CD-ROM)"), QStringLiteral("/mnt/dvd (CD-ROM)"),
            QStringLiteral("/run/media/user/disk (REMOVABLE)"),
            QStringLiteral("/mnt/share (REMOTE)"), QStringLiteral("/home/user/nas (REMOTE)"),
            QStringLiteral("/home/user/remote (REMOTE)"), QStringLiteral("/mnt/ram (ETC-DRIVE)"),
            QStringLiteral("/mnt/data (HARD-DISK)"), QStringLiteral("/srv/stick (REMOVABLE)"),
            QStringLiteral("/mnt/merged (ETC-DRIVE)"),
            QStringLiteral("/mnt/over (ETC-DRIVE)"),  // the later mount is the one in effect
        }));
}

void TestDrives::alwaysShowsTheRoot() {
    QCOMPARE(
        Labels(drives_from_mounts(Volumes("tmpfs /mnt/ram tmpfs rw 0 0\n"))),
        (QStringList{QStringLiteral("/ (HARD-DISK)"), QStringLiteral("/mnt/ram (ETC-DRIVE)")}));
    QCOMPARE(Labels(drives_from_mounts(Volumes("server:/root / nfs rw 0 0\n"))),
             QStringList{QStringLiteral("/ (REMOTE)")});
    QVERIFY(!platform::is_removable_device("tmpfs"));
    QVERIFY(!platform::is_removable_device("/dev/no-such-device"));
}

void TestDrives::readsTheTableNamedInTheEnvironment() {
    QTemporaryDir folder;
    const QString table = folder.filePath(QStringLiteral("mounts"));
    QVERIFY(test::WriteFile(table, "/dev/sr0 /media/cdrom iso9660 ro 0 0\n"));
    qputenv("VEKDC_MOUNT_TABLE", table.toUtf8());
    const QStringList labels = Labels(list_drives());
    qunsetenv("VEKDC_MOUNT_TABLE");
    QCOMPARE(labels, (QStringList{QStringLiteral("/ (HARD-DISK)"),
                                  QStringLiteral("/media/cdrom (CD-ROM)")}));
}

QTEST_GUILESS_MAIN(TestDrives)
#include "tst_drives.moc"
