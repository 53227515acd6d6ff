#include "fleet.h"
#include "mount_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Another machine's node_exporter reports its mounts with the device they were mounted from;
// the letters Volumo gives them must be those this machine's own table would give.
TEST(RemoteDrives, AgreeWithTheLocalMountTable)
{
    struct Row
    {
        const char *name;
        const char *table;
    };
    const Row rows[] = {
        {"desktop with EFI, home, RAM disk, USB stick and NFS share",
         "22 28 0:21 / /sys rw - sysfs sysfs rw\n"
         "23 28 0:22 / /proc rw - proc proc rw\n"
         "24 28 0:5 / /dev rw - devtmpfs udev rw\n"
         "26 28 0:24 / /run rw - tmpfs tmpfs rw\n"
         "28 1 259:2 / / rw - ext4 /dev/nvme0n1p2 rw\n"
         "30 24 0:26 / /dev/shm rw - tmpfs tmpfs rw\n"
         "32 22 0:28 / /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n"
         "40 28 7:1 / /snap/core20/2105 ro - squashfs /dev/loop1 ro\n"
         "52 28 259:1 / /boot/efi rw - vfat /dev/nvme0n1p1 rw\n"
         "53 28 259:3 / /home rw - ext4 /dev/nvme0n1p3 rw\n"
         "54 28 0:44 / /tmp rw - tmpfs tmpfs rw\n"
         "55 28 0:45 / /var/tmp rw - tmpfs tmpfs rw\n"
         "60 26 0:48 / /run/user/1000 rw - tmpfs tmpfs rw\n"
         "63 28 0:51 / /home/anna/.cache/doc rw - fuse.portal portal rw\n"
         "64 26 8:17 / /run/media/anna/USB\\040STICK rw - vfat /dev/sdb1 rw\n"
         "65 28 0:52 / /mnt/nas rw - nfs4 nas:/export rw\n"
         "66 28 0:53 / /home/anna/nas rw - nfs4 nas:/export rw\n"},
        {"bind mounts of the root disk and of another",
         "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
         "21 20 8:17 / /srv/storage/data rw - ext4 /dev/sdb1 rw\n"
         "22 20 8:17 /data /mnt/b rw - ext4 /dev/sdb1 rw\n"
         "24 20 8:1 /var /var/lib/bound rw - ext4 /dev/sda1 rw\n"},
        {"docker host",
         "28 1 254:1 / / rw - ext4 /dev/vda1 rw\n"
         "26 28 0:24 / /run rw - tmpfs tmpfs rw\n"
         "412 28 0:58 / /var/lib/docker/overlay2/3f1c9d/merged rw - overlay overlay rw\n"
         "445 28 0:60 / /var/lib/docker/containers/5b7e01/mounts/shm rw - tmpfs shm rw\n"
         "447 26 0:4 net:[4026532290] /run/docker/netns/1a2b3c rw - nsfs nsfs rw\n"
         "450 28 0:61 / /var/lib/kubelet/pods/77/volumes/api rw - tmpfs tmpfs rw\n"
         "451 28 0:62 / /mnt/layers rw - aufs none rw\n"
         "460 28 8:17 / /data rw - ext4 /dev/sdb1 rw\n"
         "461 28 8:33 / /var/lib/docker rw - xfs /dev/sdc1 rw\n"},
        {"engines' shm under another data root",
         "28 1 254:1 / / rw - ext4 /dev/vda1 rw\n"
         "40 28 0:70 / /data/docker/containers/"
         "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef/mounts/shm "
         "rw - tmpfs shm rw\n"
         "42 28 0:72 / /srv/ram/containers/mine/mounts/shm rw - tmpfs shm rw\n"},
    };
    for (const Row &row : rows) {
        const std::vector<MountEntry> entries = ParseMountInfo(row.table);
        std::vector<std::string> local;
        for (const Volume &volume : SelectVolumes(entries))
            local.push_back(volume.mountPoint);

        std::vector<RemoteFilesystem> reported;
        for (const MountEntry &entry : entries) {
            RemoteFilesystem fs;
            fs.mountPoint = entry.mountPoint;
            fs.device = entry.source;
            fs.fsType = entry.fsType;
            reported.push_back(fs);
        }
        std::vector<std::string> remote;
        for (const RemoteDrive &drive : RemoteDrives(reported))
            remote.push_back(reported[drive.filesystem].mountPoint);
        EXPECT_EQ(remote, local) << row.name;
        EXPECT_GT(local.size(), 1u) << row.name;
    }
}
