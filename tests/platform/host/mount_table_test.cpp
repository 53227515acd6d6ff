#include "mount_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> mountPoints(const std::vector<Volume> &volumes)
{
    std::vector<std::string> points;
    for (const Volume &volume : volumes)
        points.push_back(volume.mountPoint);
    return points;
}

std::vector<std::string> volumesOf(const char *table)
{
    return mountPoints(SelectVolumes(ParseMountInfo(table)));
}

const char *const desktop =
    R"(22 28 0:21 / /sys rw,nosuid,nodev,noexec,relatime shared:7 - sysfs sysfs rw
23 28 0:22 / /proc rw,nosuid,nodev,noexec,relatime shared:14 - proc proc rw
24 28 0:5 / /dev rw,nosuid,relatime shared:2 - devtmpfs udev rw,size=8028420k,nr_inodes=2007105,mode=755
25 24 0:23 / /dev/pts rw,nosuid,noexec,relatime shared:3 - devpts devpts rw,gid=5,mode=620,ptmxmode=000
26 28 0:24 / /run rw,nosuid,nodev,noexec,relatime shared:5 - tmpfs tmpfs rw,size=1613420k,mode=755
28 1 259:2 / / rw,relatime shared:1 - ext4 /dev/nvme0n1p2 rw,errors=remount-ro
29 22 0:6 / /sys/kernel/security rw,nosuid,nodev,noexec,relatime shared:8 - securityfs securityfs rw
30 24 0:26 / /dev/shm rw,nosuid,nodev shared:4 - tmpfs tmpfs rw
32 22 0:28 / /sys/fs/cgroup rw,nosuid,nodev,noexec,relatime shared:9 - cgroup2 cgroup2 rw,nsdelegate
35 22 0:31 / /sys/firmware/efi/efivars rw,nosuid,nodev,noexec,relatime shared:12 - efivarfs efivarfs rw
40 28 7:1 / /snap/core20/2105 ro,nodev,relatime shared:20 - squashfs /dev/loop1 ro,errors=continue
44 23 0:36 / /proc/sys/fs/binfmt_misc rw,relatime shared:25 - autofs systemd-1 rw,fd=29,pgrp=1
52 28 259:1 / /boot/efi rw,relatime shared:31 - vfat /dev/nvme0n1p1 rw,fmask=0077,dmask=0077
53 28 259:3 / /home rw,relatime shared:32 - ext4 /dev/nvme0n1p3 rw
54 28 0:44 / /tmp rw,nosuid,nodev shared:33 - tmpfs tmpfs rw,size=4096000k
60 26 0:48 / /run/user/1000 rw,nosuid,nodev,relatime shared:40 - tmpfs tmpfs rw,size=1613416k,mode=700,uid=1000,gid=1000
61 60 0:49 / /run/user/1000/gvfs rw,nosuid,nodev,relatime shared:41 - fuse.gvfsd-fuse gvfsd-fuse rw,user_id=1000,group_id=1000
62 60 0:50 / /run/user/1000/doc rw,nosuid,nodev,relatime shared:42 - fuse.portal portal rw,user_id=1000,group_id=1000
63 28 0:51 / /home/anna/.cache/doc rw,nosuid,nodev,relatime shared:43 - fuse.portal portal rw,user_id=1000
64 26 8:17 / /run/media/anna/USB\040STICK rw,nosuid,nodev,relatime shared:44 - vfat /dev/sdb1 rw,uid=1000
65 28 0:52 / /mnt/nas rw,relatime shared:45 - nfs4 nas:/export rw,vers=4.2
)";

} // namespace

TEST(MountTable, DesktopWithEfiHomeTmpAndUsbStick)
{
    const std::vector<Volume> volumes = SelectVolumes(ParseMountInfo(desktop));
    EXPECT_EQ(mountPoints(volumes),
              (std::vector<std::string>{"/", "/boot/efi", "/home", "/mnt/nas",
                                        "/run/media/anna/USB STICK", "/tmp"}));
    ASSERT_EQ(volumes.size(), 6u);
    EXPECT_EQ(volumes[0].fsType, "ext4");
    EXPECT_EQ(volumes[0].source, "/dev/nvme0n1p2");
    EXPECT_FALSE(volumes[0].mayHang);
    EXPECT_EQ(volumes[3].fsType, "nfs4");
    EXPECT_TRUE(volumes[3].mayHang);
    EXPECT_EQ(volumes[4].source, "/dev/sdb1");
}

TEST(MountTable, RuleCases)
{
    struct Row
    {
        const char *name;
        const char *table;
        std::vector<std::string> volumes;
    };
    const Row rows[] = {
        {"bind mounts count once, at the shortest point",
         "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
         "21 20 8:17 / /srv/storage/data rw - ext4 /dev/sdb1 rw\n"
         "22 20 8:17 /data /mnt/b rw - ext4 /dev/sdb1 rw\n"
         "23 20 8:17 /data /home/x/data rw - ext4 /dev/sdb1 rw\n"
         "24 20 8:1 /var /var/lib/bound rw - ext4 /dev/sda1 rw\n",
         {"/", "/mnt/b"}},
        {"equal lengths: the first in byte order",
         "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
         "21 20 8:17 / /srv/data rw - ext4 /dev/sdb1 rw\n"
         "22 20 8:17 / /mnt/data rw - ext4 /dev/sdb1 rw\n",
         {"/", "/mnt/data"}},
        {"container with an overlay root",
         "500 400 0:120 / / rw,relatime master:1 - overlay overlay "
         "rw,lowerdir=/var/lib/l1,upperdir=/u,workdir=/w\n"
         "501 500 0:123 / /proc rw,nosuid,nodev,noexec,relatime - proc proc rw\n"
         "502 500 0:124 / /dev rw,nosuid - tmpfs tmpfs rw,size=65536k,mode=755\n"
         "503 502 0:125 / /dev/pts rw - devpts devpts rw\n"
         "504 500 0:126 / /sys ro,nosuid - sysfs sysfs ro\n"
         "505 502 0:122 / /dev/mqueue rw - mqueue mqueue rw\n"
         "506 500 254:1 /var/lib/containers/abc/hostname /etc/hostname rw - ext4 /dev/vda1 rw\n"
         "507 500 254:1 /var/lib/containers/abc/hosts /etc/hosts rw - ext4 /dev/vda1 rw\n"
         "508 502 0:121 / /dev/shm rw - tmpfs shm rw,size=65536k\n",
         {"/", "/etc/hosts"}},
        {"a later mount on the same point hides the earlier",
         "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
         "21 20 0:50 / /mnt/x rw - tmpfs tmpfs rw\n"
         "22 21 8:33 / /mnt/x rw - ext4 /dev/sdc1 rw\n"
         "23 20 0:51 / /mnt/y rw - tmpfs tmpfs rw\n",
         {"/", "/mnt/x", "/mnt/y"}},
        {"tmpfs counts outside system places",
         "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
         "21 20 0:50 / /mnt/ram rw - tmpfs tmpfs rw\n"
         "22 20 0:51 / /run/lock rw - tmpfs tmpfs rw\n"
         "23 20 0:52 / /dev/shm rw - tmpfs tmpfs rw\n"
         "24 20 0:53 / /runner rw - tmpfs tmpfs rw\n"
         "25 20 0:54 / /run/media rw - tmpfs tmpfs rw\n",
         {"/", "/mnt/ram", "/runner"}},
        {"no line for the root still gives C:",
         "21 20 0:50 / /mnt/ram rw - tmpfs tmpfs rw\n",
         {"/", "/mnt/ram"}},
        {"malformed lines are skipped, later lines kept",
         "garbage\n"
         "\n"
         "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
         "x 20 8:2 / /mnt/a rw - ext4 /dev/sda2 rw\n"
         "21 20 8:3 / /mnt/b rw shared:1 ext4 /dev/sda3 rw\n"
         "22 20 83 / /mnt/c rw - ext4 /dev/sda4 rw\n"
         "23 20 8:5 / mnt/d rw - ext4 /dev/sda5 rw\n"
         "24 20 8:6 / /mnt/e rw -\n"
         "25 20 8:7 / /mnt/f rw - ext4 /dev/sda7 rw\n"
         "26 20 8:8 / /mnt/g rw - ext4 /dev/sda8",
         {"/", "/mnt/f", "/mnt/g"}},
        {"a mount on the folder above hides one mounted earlier below it",
         "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
         "21 20 0:50 / /mnt/p/q rw - tmpfs tmpfs rw\n"
         "22 20 0:51 / /mnt/p rw - tmpfs tmpfs rw\n"
         "23 22 0:52 / /mnt/p/r rw - tmpfs tmpfs rw\n",
         {"/", "/mnt/p", "/mnt/p/r"}},
        {"a mount inside another's folder is reached through it",
         "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
         "21 20 0:51 / /mnt/p rw - tmpfs tmpfs rw\n"
         "22 21 0:50 / /mnt/p/q rw - tmpfs tmpfs rw\n",
         {"/", "/mnt/p", "/mnt/p/q"}},
        {"lxcfs outside /proc is no volume",
         "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
         "21 20 0:80 / /var/lib/lxcfs rw,nosuid,nodev,relatime shared:60 - fuse.lxcfs lxcfs "
         "rw,user_id=0,group_id=0,allow_other\n",
         {"/"}},
        {"docker host: container layers, their shm and namespaces are no volumes",
         "28 1 254:1 / / rw,relatime shared:1 - ext4 /dev/vda1 rw,errors=remount-ro\n"
         "26 28 0:24 / /run rw,nosuid,nodev,noexec,relatime shared:5 - tmpfs tmpfs rw\n"
         "412 28 0:58 / /var/lib/docker/overlay2/3f1c9d/merged rw,relatime shared:201 - overlay "
         "overlay rw,lowerdir=/var/lib/docker/overlay2/l/ABC,upperdir=/var/lib/docker/overlay2/"
         "3f1c9d/diff,workdir=/var/lib/docker/overlay2/3f1c9d/work\n"
         "430 28 0:59 / /var/lib/docker/overlay2/8a2d7e/merged rw,relatime shared:205 - overlay "
         "overlay rw,lowerdir=/var/lib/docker/overlay2/l/DEF\n"
         "445 28 0:60 / /var/lib/docker/containers/5b7e01/mounts/shm rw,nosuid,nodev,noexec "
         "shared:210 - tmpfs shm rw,size=65536k\n"
         "447 26 0:4 net:[4026532290] /run/docker/netns/1a2b3c rw shared:212 - nsfs nsfs rw\n"
         "450 28 0:61 / /var/lib/kubelet/pods/77/volumes/kubernetes.io~projected/api rw - tmpfs "
         "tmpfs rw\n"
         "451 28 0:62 / /mnt/layers rw - aufs none rw,br:/a\n"
         "460 28 8:17 / /data rw,relatime shared:220 - ext4 /dev/sdb1 rw\n",
         {"/", "/data"}},
        {"podman session: overlay and fuse-overlayfs layers and bind mounts of the root disk",
         "28 1 254:1 / / rw,relatime shared:1 - ext4 /dev/vda1 rw\n"
         "30 28 254:2 / /home rw,relatime shared:30 - ext4 /dev/vda2 rw\n"
         "61 28 0:48 / /run/user/1000 rw,nosuid,nodev - tmpfs tmpfs rw,mode=700\n"
         "70 30 0:70 / /home/anna/.local/share/containers/storage/overlay/a1b2/merged rw,nodev "
         "- fuse.fuse-overlayfs fuse-overlayfs rw,user_id=1000,group_id=1000\n"
         "71 30 0:71 / /home/anna/.local/share/containers/storage/overlay/c3d4/merged rw - overlay "
         "overlay rw,lowerdir=/home/anna/.local/share/containers/storage/overlay/l/X,userxattr\n"
         "72 28 0:72 / /var/lib/containers/storage/overlay-containers/e5f6/userdata/shm "
         "rw,nosuid,nodev,noexec - tmpfs shm rw,size=64000k\n"
         "73 28 0:73 / /var/lib/containers/storage/overlay/9a8b/merged rw - overlay overlay "
         "rw,lowerdir=/var/lib/containers/storage/overlay/l/Y\n"
         "74 28 254:1 /srv /home/anna/srv rw,relatime - ext4 /dev/vda1 rw\n"
         "75 61 0:4 net:[4026532400] /run/user/1000/netns/netns-1234 rw - nsfs nsfs rw\n"
         "76 28 0:74 / /run/containerd/io.containerd.runtime.v2.task/k8s.io/9f/rootfs rw - "
         "tmpfs tmpfs rw\n",
         {"/", "/home"}},
        {"an overlay root is still C:",
         "500 400 0:120 / / rw,relatime - overlay overlay rw,lowerdir=/l\n"
         "501 500 0:121 / /var/lib/docker/volumes rw - tmpfs tmpfs rw\n",
         {"/"}},
        {"a disk of its own at an engine's folder itself is a volume, what lies below it not",
         "28 1 254:1 / / rw - ext4 /dev/vda1 rw\n"
         "30 28 8:17 / /var/lib/docker rw - ext4 /dev/sdb1 rw\n"
         "31 30 0:58 / /var/lib/docker/overlay2/3f1c9d/merged rw - overlay overlay rw\n"
         "32 30 0:60 / /var/lib/docker/containers/5b7e01/mounts/shm rw - tmpfs shm rw\n"
         "33 30 8:17 /volumes/v/_data /var/lib/docker/volumes/v/_data rw - ext4 /dev/sdb1 rw\n"
         "34 28 8:33 / /var/lib/containers rw - xfs /dev/sdc1 rw\n"
         "35 28 0:61 / /var/lib/kubelet rw - tmpfs tmpfs rw\n"
         "36 28 0:62 / /var/lib/dockerd rw - tmpfs tmpfs rw\n",
         {"/", "/var/lib/containers", "/var/lib/docker", "/var/lib/dockerd", "/var/lib/kubelet"}},
        {"engines' shm under another data root is no volume, a RAM disk named alike is",
         "28 1 254:1 / / rw - ext4 /dev/vda1 rw\n"
         "40 28 0:70 / /data/docker/containers/"
         "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef/mounts/shm "
         "rw,nosuid,nodev,noexec - tmpfs shm rw,size=65536k\n"
         "41 28 0:71 / /srv/podman/overlay-containers/"
         "fedcba9876543210fedcba9876543210fedcba9876543210fedcba9876543210/userdata/shm "
         "rw,nosuid,nodev,noexec - tmpfs shm rw,size=64000k\n"
         "42 28 0:72 / /srv/ram/containers/mine/mounts/shm rw - tmpfs shm rw\n"
         "43 28 0:73 / /srv/ram2/containers/"
         "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef/mounts/shm "
         "rw - tmpfs tmpfs rw\n",
         {"/", "/srv/ram/containers/mine/mounts/shm",
          "/srv/ram2/containers/0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef/"
          "mounts/shm"}},
        {"parents that go round in a circle neither hang nor crash",
         "20 22 8:1 / / rw - ext4 /dev/sda1 rw\n"
         "21 20 0:50 / /mnt/a rw - tmpfs tmpfs rw\n"
         "22 21 0:51 / /mnt/a/b rw - tmpfs tmpfs rw\n",
         {"/"}},
    };
    for (const Row &row : rows)
        EXPECT_EQ(volumesOf(row.table), row.volumes) << row.name;
}

TEST(MountTable, WhatMayHangFollowsEveryMountAbove)
{
    struct Row
    {
        const char *name;
        const char *table;
        std::vector<bool> mayHang; // per volume, in letter order
    };
    const Row rows[] = {
        {"network and FUSE volumes themselves",
         "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
         "21 20 0:50 / /mnt/nas rw - nfs4 nas:/export rw\n"
         "22 20 0:51 / /mnt/ram rw - tmpfs tmpfs rw\n"
         "23 20 0:52 / /srv/sshfs rw - fuse.sshfs me@host:/ rw\n",
         {false, true, false, true}},
        {"a RAM disk inside an sshfs folder",
         "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
         "21 20 0:52 / /srv/sshfs rw - fuse.sshfs me@host:/ rw\n"
         "22 21 0:53 / /srv/sshfs/sub rw - tmpfs tmpfs rw\n",
         {false, true, true}},
        {"a disk image inside an NFS share, two mounts down",
         "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
         "21 20 0:50 / /mnt/nas rw - nfs nas:/export rw\n"
         "22 21 0:51 / /mnt/nas/ram rw - tmpfs tmpfs rw\n"
         "23 22 7:0 / /mnt/nas/ram/image rw - ext4 /dev/loop0 rw\n",
         {false, true, true, true}},
        {"a local disk beside a FUSE volume, not inside it",
         "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
         "21 20 0:52 / /srv/fuse rw - fuse.volumo x rw\n"
         "22 20 8:17 / /srv/fusedisk rw - ext4 /dev/sdb1 rw\n",
         {false, true, false}},
        {"parents in a circle through a FUSE mount end",
         "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
         "21 23 0:50 / /mnt/a rw - tmpfs tmpfs rw\n"
         "22 21 0:51 / /mnt/a/b rw - fuse.sshfs me@host:/ rw\n"
         "23 22 0:52 / /mnt/a/b/c rw - tmpfs tmpfs rw\n"
         "24 20 0:53 / /mnt/d rw - tmpfs tmpfs rw\n"
         "25 26 0:54 / /mnt/e rw - tmpfs tmpfs rw\n"
         "26 25 0:55 / /mnt/e/f rw - tmpfs tmpfs rw\n"
         "27 27 0:56 / /mnt/g rw - tmpfs tmpfs rw\n",
         {false, false, false}},
    };
    for (const Row &row : rows) {
        std::vector<bool> mayHang;
        for (const Volume &volume : SelectVolumes(ParseMountInfo(row.table)))
            mayHang.push_back(volume.mayHang);
        EXPECT_EQ(mayHang, row.mayHang) << row.name;
    }
}

TEST(MountTable, OfMountsStackedOnOnePointTheTopOneCounts)
{
    struct Row
    {
        const char *name;
        const char *table;
        const char *source; // of D:
    };
    const Row rows[] = {
        {"stacked on the one below, as the kernel records it",
         "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
         "21 20 0:50 / /mnt/x rw - tmpfs tmpfs rw\n"
         "22 21 8:33 / /mnt/x rw - ext4 /dev/sdc1 rw\n",
         "/dev/sdc1"},
        {"side by side, as older tables record it: the later is on top",
         "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
         "21 20 8:33 / /mnt/x rw - ext4 /dev/sdc1 rw\n"
         "22 20 8:49 / /mnt/x rw - ext4 /dev/sdd1 rw\n",
         "/dev/sdd1"},
        {"side by side on the root of the one below",
         "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
         "21 20 0:50 / /mnt/x rw - tmpfs tmpfs rw\n"
         "22 21 8:33 / /mnt/x rw - ext4 /dev/sdc1 rw\n"
         "23 21 8:49 / /mnt/x rw - ext4 /dev/sdd1 rw\n",
         "/dev/sdd1"},
    };
    for (const Row &row : rows) {
        const std::vector<Volume> volumes = SelectVolumes(ParseMountInfo(row.table));
        ASSERT_EQ(volumes.size(), 2u) << row.name;
        EXPECT_EQ(volumes[1].source, row.source) << row.name;
    }
}

TEST(MountTable, MoreThan24VolumesEndAtZ)
{
    std::string table = "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n";
    for (int i = 29; i >= 0; --i) {
        const std::string number = std::to_string(i / 10) + std::to_string(i % 10);
        table += std::to_string(100 + i) + " 20 0:" + std::to_string(60 + i) + " / /mnt/v" +
                 number + " rw - tmpfs tmpfs rw\n";
    }
    const std::vector<std::string> volumes = volumesOf(table.c_str());
    ASSERT_EQ(volumes.size(), 24u); // C: to Z:
    EXPECT_EQ(volumes[0], "/");
    EXPECT_EQ(volumes[1], "/mnt/v00");
    EXPECT_EQ(volumes[23], "/mnt/v22");
}

TEST(MountTable, EscapesAreDecoded)
{
    struct Row
    {
        const char *name;
        const char *field;
        std::string decoded;
    };
    const Row rows[] = {
        {"space", "/mnt/my\\040disk", "/mnt/my disk"},
        {"tab", "/a\\011b", "/a\tb"},
        {"newline", "/a\\012b", "/a\nb"},
        {"backslash", "/a\\134b", "/a\\b"},
        {"escape at the end", "/a\\040", "/a "},
        {"not an escape", "/a\\9b", "/a\\9b"},
        {"cut short", "/a\\04", "/a\\04"},
        {"above a byte", "/a\\777", "/a\\777"},
        {"utf-8 untouched", "/media/Gr\xc3\xbc\x6e", "/media/Gr\xc3\xbcn"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(DecodeMountEscapes(row.field), row.decoded) << row.name;

    const std::vector<MountEntry> entries =
        ParseMountInfo("30 1 8:1 / /mnt/my\\040disk\\011x rw - fuse.sshfs me@host:/a\\040b rw\n");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].mountPoint, "/mnt/my disk\tx");
    EXPECT_EQ(entries[0].source, "me@host:/a b");
    EXPECT_EQ(entries[0].fsType, "fuse.sshfs");
}
