#include "../../fuse_volume.h"
#include "../../host_fixtures.h"
#include "drive_report.h"
#include "drive_stats.h"
#include "stalled_server.h"
#include "volume_source_linux.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <signal.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

constexpr int64_t GiB = int64_t{1} << 30;

struct statvfs answerOf(uint64_t blocks, uint64_t available, unsigned long fragment,
                        unsigned long block = 4096)
{
    struct statvfs answer = {};
    answer.f_blocks = blocks;
    answer.f_bavail = available;
    answer.f_frsize = fragment;
    answer.f_bsize = block;
    return answer;
}

const char *const table = "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                          "21 20 8:2 / /boot/efi rw - vfat /dev/sda2 rw\n"
                          "22 20 0:50 / /mnt/remote rw - fuse.sshfs me@host:/ rw\n"
                          "23 20 0:51 / /mnt/ram rw - tmpfs tmpfs rw\n";

using Clock = std::chrono::steady_clock;

// What a scan or the total overview sees: each usable letter's figures, in one pass.
std::map<char16_t, DriveStats> scanDrives(VolumeSource &source)
{
    std::map<char16_t, DriveStats> seen;
    for (const DriveReport &report : ReportDrives(source, 26, 3)) {
        if (report.exists)
            seen[DriveLetter(report.number)] = report.stats;
    }
    return seen;
}

// One question alone: a pass of its own.
bool exists(VolumeSource &source, char16_t letter)
{
    return DriveExists(*source.open(), letter);
}

DriveStats statsOf(VolumeSource &source, DriveNo number)
{
    return ReadDriveStats(*source.open(), number);
}

std::string describe(VolumeSource &source, const std::u16string &root)
{
    return source.open()->identity(root).description;
}

using Server = StalledServer;

} // namespace

TEST(SpaceFromStatvfs, ProductsSaturateAndFreeNeverExceedsCapacity)
{
    struct Row
    {
        const char *name;
        struct statvfs answer;
        int64_t total, free;
    };
    const Row rows[] = {
        {"plain", answerOf(1000, 400, 4096), 4'096'000, 1'638'400},
        {"fragment size 0 uses the block size", answerOf(10, 5, 0, 512), 5120, 2560},
        {"capacity beyond 64 bits saturates", answerOf(UINT64_MAX / 2, 1, 4096), INT64_MAX, 4096},
        {"both saturate", answerOf(UINT64_MAX, UINT64_MAX, 4096), INT64_MAX, INT64_MAX},
        {"free above capacity is capped", answerOf(100, 250, 4096), 409'600, 409'600},
        {"empty", answerOf(0, 0, 4096), 0, 0},
    };
    for (const Row &row : rows) {
        const VolumeSpace space = SpaceFromStatvfs(row.answer);
        EXPECT_EQ(space.totalBytes, row.total) << row.name;
        EXPECT_EQ(space.freeBytes, row.free) << row.name;
    }
}

TEST(LinuxVolumeSource, LettersMapOntoMountPoints)
{
    RecordedMountTable recorded(table);
    std::vector<std::string> asked;
    LinuxVolumeSource source(
        recorded.path,
        [&](const char *path, struct statvfs *answer) {
            asked.emplace_back(path);
            *answer = answerOf(931 * GiB / 4096, 400 * GiB / 4096, 4096);
            return 0;
        },
        1s);

    struct Row
    {
        const char16_t *root;
        const char *mountPoint; // nullptr: no drive
    };
    const Row rows[] = {{u"C:\\", "/"},        {u"D:\\", "/boot/efi"},
                        {u"E:\\", "/mnt/ram"}, {u"F:\\", "/mnt/remote"},
                        {u"G:\\", nullptr},    {u"A:\\", nullptr},
                        {u"B:\\", nullptr},    {u"c:\\", nullptr},
                        {u"C:", nullptr},      {u"", "."}};
    for (const Row &row : rows) {
        asked.clear();
        const std::optional<VolumeSpace> space = source.open()->space(row.root);
        if (!row.mountPoint) {
            EXPECT_FALSE(space);
            EXPECT_TRUE(asked.empty());
            continue;
        }
        ASSERT_TRUE(space);
        EXPECT_EQ(space->totalBytes, 931 * GiB);
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0], row.mountPoint);
    }
}

TEST(LinuxVolumeSource, DescriptionsNameMountPointTypeAndSource)
{
    struct Row
    {
        const char *name;
        const char *table;
        const char16_t *root;
        std::string description;
    };
    const Row rows[] = {
        {"the root", table, u"C:\\", "/ (ext4, /dev/sda1)"},
        {"a FUSE volume", table, u"F:\\", "/mnt/remote (fuse.sshfs, me@host:/)"},
        {"no drive", table, u"G:\\", ""},
        {"the root without a line in the table", "21 20 0:50 / /mnt/ram rw - tmpfs tmpfs rw\n",
         u"C:\\", "/"},
        {"the next volume in that table", "21 20 0:50 / /mnt/ram rw - tmpfs tmpfs rw\n", u"D:\\",
         "/mnt/ram (tmpfs, tmpfs)"},
    };
    for (const Row &row : rows) {
        RecordedMountTable recorded(row.table);
        LinuxVolumeSource source(
            recorded.path, [](const char *, struct statvfs *) { return 0; }, 1s);
        EXPECT_EQ(describe(source, row.root), row.description) << row.name;
    }
}

TEST(LinuxVolumeSource, ARefreshIsDueOnlyWhenTheWindowsAScanWouldOpenDiffer)
{
    const std::string shown = "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                              "21 20 8:17 / /mnt/b rw - ext4 /dev/sdb1 rw\n"
                              "22 20 0:50 / /mnt/share rw - nfs4 server:/export rw\n";
    struct Row
    {
        const char *name;
        std::string now;
        bool refresh;
        // The volumes it asks: a drive still under the mount its window stands for is not asked
        // again.
        size_t asked;
        // The filesystem ID /mnt/b answers with now.
        unsigned long fsidOfB = 17;
    };
    const Row rows[] = {
        {"nothing changed", shown, false, 0},
        {"a volume of 3 GiB mounted", shown + "30 20 0:60 / /mnt/stick rw - vfat /dev/sdc1 rw\n",
         true, 1},
        {"a volume of 512 MiB mounted after the others",
         shown + "30 20 0:61 / /mnt/small rw - tmpfs tmpfs rw\n", false, 1},
        {"a volume of 512 MiB mounted before a shown one moves its letter",
         shown + "30 20 0:61 / /mnt/a rw - tmpfs tmpfs rw\n", true, 3},
        {"a container's layers",
         shown + "30 20 0:62 / /var/lib/docker/overlay2/1f/merged rw - overlay overlay "
                 "rw,lowerdir=/l,upperdir=/u,workdir=/w\n",
         false, 0},
        {"a container's shm",
         shown + "31 20 0:63 / /var/lib/docker/containers/" + std::string(64, 'a') +
             "/mounts/shm rw - tmpfs shm rw\n",
         false, 0},
        {"a remount with other options: asked once, the same filesystem",
         "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
         "21 20 8:17 / /mnt/b ro,nosuid - ext4 /dev/sdb1 ro,errors=remount-ro\n"
         "22 20 0:50 / /mnt/share rw - nfs4 server:/export rw\n",
         false, 1},
        {"another filesystem under the freed mount ID and device",
         "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
         "21 20 8:17 / /mnt/b rw - ext4 /dev/sdb1 rw,size=9g\n"
         "22 20 0:50 / /mnt/share rw - nfs4 server:/export rw\n",
         true, 1, 18},
        {"a second mount of a shown volume",
         shown + "32 20 8:17 / /srv/b2 rw - ext4 /dev/sdb1 rw\n", false, 0},
        {"a volume unmounted",
         "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
         "22 20 0:50 / /mnt/share rw - nfs4 server:/export rw\n",
         true, 1},
        {"another disk at the same mount point",
         "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
         "33 20 8:33 / /mnt/b rw - ext4 /dev/sdc1 rw\n"
         "22 20 0:50 / /mnt/share rw - nfs4 server:/export rw\n",
         true, 1},
    };
    for (const Row &row : rows) {
        RecordedMountTable recorded(shown);
        std::set<std::string> asked;
        unsigned long fsidOfB = 17;
        LinuxVolumeSource source(
            recorded.path,
            [&](const char *path, struct statvfs *answer) {
                asked.insert(path);
                const bool small =
                    std::string(path).rfind("/mnt/small", 0) == 0 || std::string(path) == "/mnt/a";
                const uint64_t bytes = small ? uint64_t{512} << 20 : uint64_t{3} << 30;
                *answer = answerOf(bytes / 4096, bytes / 8192, 4096);
                answer->f_fsid = std::string(path) == "/mnt/b" ? fsidOfB : path[1];
                return 0;
            },
            1s);
        const std::vector<WindowedDrive> windows = WindowsOf(ReportDrives(source, 26, 3));
        ASSERT_EQ(windows.size(), 3u) << row.name;

        std::ofstream(recorded.path) << row.now;
        fsidOfB = row.fsidOfB;
        asked.clear();
        EXPECT_EQ(WindowsChanged(DriveWindowsNow(source, windows), windows), row.refresh)
            << row.name;
        EXPECT_EQ(asked.size(), row.asked) << row.name;
    }
}

TEST(LinuxVolumeSource, FailingStatvfsIsAFailure)
{
    RecordedMountTable recorded(table);
    LinuxVolumeSource source(
        recorded.path, [](const char *, struct statvfs *) { return -1; }, 1s);
    const std::unique_ptr<Pass> pass = source.open();
    EXPECT_FALSE(pass->space(u"C:\\"));
    EXPECT_FALSE(pass->space(u"F:\\"));
    EXPECT_EQ(describe(source, u"C:\\"), "/ (ext4, /dev/sda1)") << "still listed";
}

TEST(LinuxVolumeSource, VolumeThatNeverAnswersFailsTheExistenceTestWithinItsBound)
{
    RecordedMountTable recorded(table);
    auto release = std::make_shared<std::promise<void>>();
    std::shared_future<void> released = release->get_future().share();
    auto calls = std::make_shared<std::atomic<int>>(0);

    LinuxVolumeSource source(
        recorded.path,
        [released, calls](const char *path, struct statvfs *answer) {
            if (std::string(path) == "/mnt/remote") {
                ++*calls;
                released.wait(); // a dead server
            }
            *answer = answerOf(1024, 512, 4096);
            return 0;
        },
        200ms);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(exists(source, u'F'));
    const auto firstTest = std::chrono::steady_clock::now() - start;
    EXPECT_GE(firstTest, 200ms);
    EXPECT_LT(firstTest, 2s);

    // While the first query is stuck, further passes fail at once and start no new query.
    const auto again = std::chrono::steady_clock::now();
    for (int i = 0; i < 20; ++i)
        EXPECT_FALSE(exists(source, u'F'));
    EXPECT_LT(std::chrono::steady_clock::now() - again, 200ms) << "not waited for";
    EXPECT_EQ(calls->load(), 1);

    // Other volumes are not held up.
    EXPECT_TRUE(exists(source, u'C'));
    EXPECT_TRUE(exists(source, u'E'));

    // Once the server answers, the volume is usable again.
    release->set_value();
    EXPECT_TRUE(Eventually([&] { return exists(source, u'F'); }));
}

TEST(LinuxVolumeSource, APassReadsTheTableOnceAndAsksEachDriveOnce)
{
    RecordedMountTable recorded("20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                                "21 20 0:50 / /mnt/a rw - tmpfs tmpfs rw\n");
    std::map<std::string, int> asked;
    LinuxVolumeSource source(
        recorded.path,
        [&](const char *path, struct statvfs *answer) {
            ++asked[path];
            *answer = answerOf(10 * GiB / 4096, 4 * GiB / 4096, 4096);
            return 0;
        },
        1s);
    {
        const std::unique_ptr<Pass> pass = source.open();
        ASSERT_TRUE(DriveExists(*pass, u'D'));
        std::ofstream(recorded.path, std::ios::app) << "22 20 0:51 / /mnt/b rw - tmpfs tmpfs rw\n";
        EXPECT_EQ(ReadDriveStats(*pass, 4).TotalGB, 10);
        EXPECT_EQ(ReadDriveStats(*pass, 4).FreeGB, 4);
        EXPECT_FALSE(DriveExists(*pass, u'E')) << "a volume recorded in the middle of a pass";
        EXPECT_EQ(DriveDescription(*pass, 5), "");
        EXPECT_EQ(asked["/mnt/a"], 1) << "existence, size and free of one drive: one answer";
    }
    EXPECT_TRUE(exists(source, u'E')) << "the next pass reads the table again";
    asked.clear();
    const std::unique_ptr<Pass> again = source.open();
    EXPECT_TRUE(DriveExists(*again, u'D'));
    EXPECT_EQ(ReadDriveStats(*again, 4).TotalGB, 10);
    EXPECT_EQ(asked["/mnt/a"], 1) << "and asks afresh";
}

TEST(LinuxVolumeSource, FiguresOnlyFromTheFilesystemTheLetterStandsFor)
{
    RecordedMountTable recorded("20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                                "21 20 0:50 / /mnt/a rw - tmpfs tmpfs rw\n");
    // What /mnt/a leads to: its filesystem ID, its mount, and something that happens while
    // statvfs answers.
    unsigned long fsid = 0;
    uint64_t mount = 21;
    int identified = 0;
    std::function<void()> meanwhile;
    LinuxVolumeSource source(
        recorded.path,
        [&](const char *path, struct statvfs *answer) {
            *answer = answerOf(10 * GiB / 4096, 4 * GiB / 4096, 4096);
            answer->f_fsid = std::string(path) == "/mnt/a" ? fsid : 1;
            if (meanwhile)
                std::exchange(meanwhile, {})();
            return 0;
        },
        1s,
        [&](const char *path) -> std::optional<uint64_t> {
            ++identified;
            const std::string at = path;
            return at == "/mnt/a" ? mount : at == "/mnt/z" ? 30 : 20;
        });
    const auto scannedD = [&] {
        const std::map<char16_t, DriveStats> seen = scanDrives(source);
        return seen.count(u'D') ? seen.at(u'D').TotalGB : -1;
    };

    EXPECT_EQ(scannedD(), 10);
    EXPECT_EQ(identified, 2) << "first answers are confirmed by their mounts";
    EXPECT_EQ(scannedD(), 10);
    EXPECT_EQ(identified, 3) << "a filesystem without an ID of its own every time";
    fsid = 0xA;
    EXPECT_EQ(scannedD(), 10);
    EXPECT_EQ(identified, 4);
    EXPECT_EQ(scannedD(), 10);
    EXPECT_EQ(identified, 4) << "others by the filesystem ID, with no further call";

    // A folder above the mount point renamed, a symlink put in its place: the path leads on
    // into another filesystem.
    fsid = 0xB;
    mount = 99;
    EXPECT_EQ(scannedD(), -1) << "another filesystem's ID, and then its mount";
    EXPECT_EQ(identified, 5) << "checked in full once more, in the same pass";
    EXPECT_EQ(scannedD(), -1);
    EXPECT_EQ(identified, 7) << "unconfirmed: in full, and once more";

    // The volume is back, but between its statvfs and statx the table changes: a mount went and
    // another came with the freed ID. The table is read again and the drive asked once more.
    fsid = 0xA;
    mount = 21;
    meanwhile = [&] {
        std::ofstream(recorded.path, std::ios::app) << "30 20 0:60 / /mnt/z rw - tmpfs tmpfs rw\n";
    };
    EXPECT_EQ(scannedD(), 10) << "confirmed against the table read again";
    EXPECT_EQ(identified, 9);

    // Another filesystem ID while the table changes: read again, the drive asked again.
    fsid = 0xC;
    meanwhile = [&] {
        std::ofstream(recorded.path) << "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                                        "21 20 0:50 / /mnt/a rw - tmpfs tmpfs rw\n";
    };
    EXPECT_EQ(QueryDriveSize(*source.open(), 4), 10 * GiB);
}

TEST(LinuxVolumeSource, DeadServersInOnePassCostOneBoundAndEveryQueryIsBounded)
{
    RecordedMountTable recorded("20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                                "21 20 0:50 / /mnt/nas rw - nfs4 nas:/export rw\n"
                                "22 20 0:51 / /mnt/remote rw - fuse.sshfs me@host:/ rw\n"
                                "23 22 0:52 / /mnt/remote/ram rw - tmpfs tmpfs rw\n");
    auto server = std::make_shared<Server>();
    constexpr auto bound = 300ms;
    LinuxVolumeSource source(
        recorded.path,
        [server](const char *path, struct statvfs *answer) {
            if (std::string(path) != "/")
                server->stallOn();
            *answer = answerOf(8 * GiB / 4096, 3 * GiB / 4096, 4096);
            return 0;
        },
        bound);

    auto start = Clock::now();
    std::map<char16_t, DriveStats> seen = scanDrives(source);
    auto took = Clock::now() - start;
    EXPECT_GE(took, bound);
    EXPECT_LT(took, bound * 3) << "three dead volumes waited for side by side";
    EXPECT_EQ(seen.size(), 1u) << "only C: answered";
    EXPECT_EQ(server->calls, 3);

    start = Clock::now();
    seen = scanDrives(source);
    EXPECT_LT(Clock::now() - start, bound) << "volumes still stuck are not waited for";
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_EQ(QueryDriveSize(*source.open(), 4), -1);
    EXPECT_EQ(QueryDriveFree(*source.open(), 5), -1);
    EXPECT_EQ(server->calls, 3) << "and start no new query";

    // Once the servers answer, so do their volumes.
    server->release();
    EXPECT_TRUE(Eventually([&] { return scanDrives(source).size() == 4; }));
    seen = scanDrives(source);
    EXPECT_EQ(seen[u'F'].TotalGB, 8);
    EXPECT_EQ(seen[u'F'].FreeGB, 3);

    // A question alone, a pass of its own, has the same bound.
    auto again = std::make_shared<Server>();
    LinuxVolumeSource stalling(
        recorded.path,
        [again](const char *path, struct statvfs *answer) {
            if (std::string(path) == "/mnt/nas")
                again->stallOn();
            *answer = answerOf(8 * GiB / 4096, 3 * GiB / 4096, 4096);
            return 0;
        },
        bound);
    start = Clock::now();
    EXPECT_EQ(QueryDriveSize(*stalling.open(), 4), -1);
    took = Clock::now() - start;
    EXPECT_GE(took, bound);
    EXPECT_LT(took, bound * 3);
    again->release();
}

TEST(LinuxVolumeSource, ThisMachinesRootIsC)
{
    LinuxVolumeSource source;
    struct statvfs root = {};
    ASSERT_EQ(::statvfs("/", &root), 0);
    const std::unique_ptr<Pass> pass = source.open();
    const std::optional<VolumeSpace> space = pass->space(u"C:\\");
    ASSERT_TRUE(space);
    EXPECT_EQ(space->totalBytes, SpaceFromStatvfs(root).totalBytes);
    EXPECT_EQ(pass->identity(u"C:\\").description.substr(0, 1), "/");
    EXPECT_FALSE(pass->identity(u"C:\\").key.empty());
}

TEST(LinuxVolumeSource, ATableThatCannotBeWatchedIsReadAtEveryPass)
{
    RecordedMountTable recorded("20 1 8:1 / / rw - ext4 /dev/sda1 rw\n");
    LinuxVolumeSource source(
        recorded.path,
        [](const char *, struct statvfs *answer) {
            *answer = answerOf(1024, 512, 4096);
            return 0;
        },
        1s);
    EXPECT_FALSE(exists(source, u'D'));
    std::ofstream(recorded.path, std::ios::app) << "21 20 0:50 / /mnt/a rw - tmpfs tmpfs rw\n";
    EXPECT_TRUE(exists(source, u'D')) << "a volume recorded since";
    std::ofstream(recorded.path) << "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n";
    EXPECT_FALSE(exists(source, u'D')) << "and gone again";
}

// The tests below mount real volumes, each in a private mount namespace of its own.
namespace {

class RealMounts : public testing::Test
{
protected:
    void SetUp() override
    {
        if (base.empty())
            GTEST_SKIP() << MountsSkipped();
    }
    // Run one after another in one namespace, the tests leave nothing mounted for the next.
    void TearDown() override
    {
        if (!base.empty())
            UnmountBelow(base);
    }

    std::string folder(const std::string &name) const
    {
        const std::string path = base + "/" + name;
        ::mkdir(path.c_str(), 0755);
        return path;
    }

    static bool mountTmpfs(const std::string &point, const char *size)
    {
        return ::mount("tmpfs", point.c_str(), "tmpfs", 0, (std::string("size=") + size).c_str()) ==
               0;
    }

    std::map<char16_t, DriveStats> scan() { return scanDrives(source); }
    bool exists(char16_t letter) { return ::exists(source, letter); }
    DriveStats stats(DriveNo number) { return statsOf(source, number); }

    const std::string base = MountsFolder();
    LinuxVolumeSource source;
};

constexpr DriveNo D = 4;

} // namespace

TEST_F(RealMounts, TmpfsVolumesAndABindMount)
{
    const std::string big = folder("big");
    const std::string small = folder("small");
    const std::string bound = folder("zbound");
    const std::string late = folder("late");
    // tmpfs allocates lazily: a 931 GiB volume costs nothing until written.
    ASSERT_TRUE(mountTmpfs(big, "931g"));
    ASSERT_TRUE(mountTmpfs(small, "512m"));
    ASSERT_EQ(::mount(big.c_str(), bound.c_str(), nullptr, MS_BIND, nullptr), 0);
    // 4 KiB written leave 930 whole GiB free, so 1 GiB counts as occupied.
    std::ofstream(big + "/file") << std::string(4096, 'x');

    EXPECT_TRUE(exists(u'C'));
    EXPECT_EQ(describe(source, u"D:\\"), big + " (tmpfs, tmpfs)");
    const DriveStats d = stats(D);
    EXPECT_EQ(d.TotalGB, 931);
    EXPECT_EQ(d.FreeGB, 930);
    EXPECT_EQ(d.UsedGB, 1);
    EXPECT_TRUE(exists(u'E')) << "the 512 MiB volume";
    EXPECT_EQ(stats(5).TotalGB, 0);
    EXPECT_FALSE(exists(u'F')) << "the bind mount got a letter of its own";

    // A volume mounted between two probes is there at the very next one; unmounted, gone.
    ASSERT_TRUE(mountTmpfs(late, "2g"));
    EXPECT_EQ(stats(5).TotalGB, 2) << "the volume mounted later is E:";
    EXPECT_TRUE(exists(u'F') && stats(6).TotalGB == 0) << "the 512 MiB volume moved on to F:";
    ASSERT_EQ(::umount2(late.c_str(), 0), 0);
    EXPECT_FALSE(exists(u'F'));
    EXPECT_EQ(stats(5).TotalGB, 0);
}

TEST_F(RealMounts, EveryPassFollowsTheMountThatWasJustMadeOrUndone)
{
    const std::string stick = folder("stick");
    int missed = 0;
    int stale = 0;
    for (int round = 0; round < 1000; ++round) {
        ASSERT_TRUE(mountTmpfs(stick, "7g"));
        {
            const std::unique_ptr<Pass> pass = source.open();
            if (!DriveExists(*pass, u'D') || ReadDriveStats(*pass, D).TotalGB != 7)
                ++missed;
        }
        ASSERT_EQ(::umount2(stick.c_str(), 0), 0);
        // Its mount point is a plain folder on "/" again, where statvfs answers for "/".
        const std::unique_ptr<Pass> pass = source.open();
        if (DriveExists(*pass, u'D') || ReadDriveStats(*pass, D).TotalGB != 0)
            ++stale;
    }
    EXPECT_EQ(missed, 0) << "passes that did not see the volume just mounted";
    EXPECT_EQ(stale, 0) << "passes that still saw the volume just unmounted";
}

TEST_F(RealMounts, UnderMountChurnEveryAnswerIsTheVolumesOwnOrNone)
{
    const std::string stick = folder("stick");
    // Another process mounts and unmounts the volume, leaving it a moment each way so that
    // answers can come through at all, and counts its rounds.
    auto *rounds = static_cast<std::atomic<long> *>(::mmap(nullptr, sizeof(std::atomic<long>),
                                                           PROT_READ | PROT_WRITE,
                                                           MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(rounds, MAP_FAILED);
    new (rounds) std::atomic<long>(0);
    const pid_t churn = ::fork();
    ASSERT_GE(churn, 0);
    if (churn == 0) {
        const timespec moment = {0, 200'000};
        for (;;) {
            if (::mount("tmpfs", stick.c_str(), "tmpfs", 0, "size=7g") == 0) {
                ::nanosleep(&moment, nullptr);
                ::umount2(stick.c_str(), 0);
            }
            ::nanosleep(&moment, nullptr);
            ++*rounds;
        }
    }

    // A scan's pass, and a pass for one figure alone: either way a figure is the volume's own or
    // none at all.
    int answered = 0;
    int wrong = 0;
    const auto end = Clock::now() + 2s;
    for (int round = 0; Clock::now() < end; ++round) {
        if (round % 2 == 0) {
            for (const auto &[letter, stats] : scan()) {
                if (letter == u'C')
                    continue;
                if (stats.TotalGB == 7 && stats.FreeGB == 7 && stats.UsedGB == 0)
                    ++answered;
                else
                    ++wrong;
            }
        } else {
            for (const int64_t bytes :
                 {QueryDriveSize(*source.open(), D), QueryDriveFree(*source.open(), D)}) {
                if (bytes == 7 * GiB)
                    ++answered;
                else if (bytes != -1)
                    ++wrong;
            }
        }
    }
    ::kill(churn, SIGKILL);
    ::waitpid(churn, nullptr, 0);
    const long churned = rounds->load();
    ::munmap(rounds, sizeof(std::atomic<long>));
    EXPECT_EQ(wrong, 0) << "figures of another volume, or total and free of two, among "
                        << answered + wrong;
    EXPECT_GT(answered, 0) << "the volume was never seen";
    EXPECT_GT(churned, 500) << "the volume hardly came and went";
}

TEST_F(RealMounts, ARenamedFolderAboveAMountPointIsFollowedInTheSamePass)
{
    folder("srv");
    folder("srv/a");
    ASSERT_TRUE(mountTmpfs(folder("srv/a/mnt"), "7g"));
    struct statvfs root = {};
    ASSERT_EQ(::statvfs("/", &root), 0);
    const int64_t rootGB = BytesToGB(SpaceFromStatvfs(root).totalBytes);
    ASSERT_NE(rootGB, 7);
    ASSERT_EQ(scan()[u'D'].TotalGB, 7);

    // The kernel does not count a rename as a change of its table. The old path, made again,
    // leads to the root disk: another filesystem's ID.
    ASSERT_EQ(::rename((base + "/srv/a").c_str(), (base + "/srv/b").c_str()), 0);
    folder("srv/a");
    folder("srv/a/mnt");
    EXPECT_EQ(scan()[u'D'].TotalGB, 7) << "found at its new path";
    EXPECT_EQ(describe(source, u"D:\\"), base + "/srv/b/mnt (tmpfs, tmpfs)");

    // A file in place of the old folder: the old path leads nowhere (ENOTDIR).
    ASSERT_EQ(::rename((base + "/srv/b").c_str(), (base + "/srv/c").c_str()), 0);
    std::ofstream(base + "/srv/b") << "a file";
    EXPECT_EQ(stats(D).TotalGB, 7);
    EXPECT_EQ(describe(source, u"D:\\"), base + "/srv/c/mnt (tmpfs, tmpfs)");

    // And the old path gone altogether (ENOENT).
    ASSERT_EQ(::rename((base + "/srv/c").c_str(), (base + "/srv/d").c_str()), 0);
    EXPECT_EQ(stats(D).TotalGB, 7);
}

TEST_F(RealMounts, ASymlinkPutInPlaceNeverCountsOneVolumeUnderTwoLetters)
{
    folder("a");
    ASSERT_TRUE(mountTmpfs(folder("a/mnt"), "7g"));
    ASSERT_TRUE(mountTmpfs(folder("z"), "9g"));
    folder("z/mnt");
    std::map<char16_t, DriveStats> seen = scan();
    ASSERT_EQ(seen[u'D'].TotalGB, 7);
    ASSERT_EQ(seen[u'E'].TotalGB, 9);

    // a/mnt now leads into the 9 GiB volume.
    ASSERT_EQ(::rename((base + "/a").c_str(), (base + "/a.old").c_str()), 0);
    ASSERT_EQ(::symlink("z", (base + "/a").c_str()), 0);
    for (const char *when : {"right after the swap", "at the next scan"}) {
        seen = scan();
        int nines = 0;
        for (const auto &[letter, stats] : seen)
            nines += stats.TotalGB == 9;
        EXPECT_EQ(nines, 1) << when;
        EXPECT_EQ(seen[u'D'].TotalGB, 7) << when << ": found at its new path";
    }
}

namespace {

constexpr FuseVolume::Figures fiveGiBTwoFree = {5 * GiB / 4096, 2 * GiB / 4096};

} // namespace

TEST_F(RealMounts, AVolumeInsideAStalledFuseVolumeCostsOneBoundThenNothing)
{
    const std::string point = folder("fuse");
    FuseVolume fuse(point, fiveGiBTwoFree);
    if (!fuse.failure().empty())
        GTEST_SKIP() << fuse.failure();
    ASSERT_TRUE(mountTmpfs(point + "/sub", "7g"));
    std::map<char16_t, DriveStats> seen = scan();
    ASSERT_EQ(seen[u'D'].TotalGB, 5);
    ASSERT_EQ(seen[u'E'].TotalGB, 7) << "the RAM disk inside the FUSE volume";

    fuse.stall();
    auto start = Clock::now();
    seen = scan();
    EXPECT_LT(Clock::now() - start, 1500ms);
    EXPECT_EQ(seen.count(u'D') + seen.count(u'E'), 0u);
    EXPECT_EQ(seen.count(u'C'), 1u);
    start = Clock::now();
    seen = scan();
    EXPECT_LT(Clock::now() - start, 1s) << "the next scan waits for neither";
    EXPECT_EQ(seen.size(), 1u);
}

TEST_F(RealMounts, AFuseVolumeThatAnswersOnceThenStalls)
{
    const std::string point = folder("fuse");
    FuseVolume fuse(point, fiveGiBTwoFree, 1);
    if (!fuse.failure().empty())
        GTEST_SKIP() << fuse.failure();

    auto start = Clock::now();
    std::map<char16_t, DriveStats> seen = scan();
    EXPECT_LT(Clock::now() - start, 1500ms) << "the scan";
    EXPECT_EQ(seen[u'D'].TotalGB, 5);
    EXPECT_EQ(seen[u'D'].FreeGB, 2) << "existence, size and free from its one answer";

    start = Clock::now();
    seen = scan();
    EXPECT_LT(Clock::now() - start, 1500ms) << "the total overview";
    EXPECT_EQ(seen.count(u'D'), 0u);

    start = Clock::now();
    EXPECT_FALSE(exists(u'D'));
    EXPECT_EQ(stats(D).TotalGB, 0);
    EXPECT_EQ(describe(source, u"D:\\"), point + " (fuse.volumo, volumo-test)");
    EXPECT_LT(Clock::now() - start, 1500ms) << "queries outside a pass";
}

TEST_F(RealMounts, AVolumeHiddenByALaterMountOnTheFolderAboveIsGone)
{
    const std::string parent = folder("p");
    const std::string inner = folder("p/q");
    ASSERT_TRUE(mountTmpfs(inner, "11g"));
    ASSERT_EQ(stats(D).TotalGB, 11);
    ASSERT_TRUE(mountTmpfs(parent, "12g"));
    ::mkdir(inner.c_str(), 0755); // the same path now leads into the 12 GiB volume
    EXPECT_EQ(stats(D).TotalGB, 12) << "D: is the volume on the folder above";
    EXPECT_FALSE(exists(u'E')) << "the hidden volume has no letter";
    EXPECT_EQ(describe(source, u"E:\\"), "");
}

TEST_F(RealMounts, FreeSpaceIsWhatAUserMayWriteNotWhatOnlyRootMay)
{
    if (std::system("command -v mkfs.ext4 >/dev/null") != 0)
        GTEST_SKIP() << "mkfs.ext4 (e2fsprogs) is not installed";
    // 20 GiB with 5 % kept for root: f_bfree and f_bavail lie one whole GiB apart.
    const std::string image = base + "/ext4.img";
    const std::string point = folder("ext4");
    std::ofstream(image).close();
    ASSERT_EQ(::truncate(image.c_str(), int64_t{20} << 30), 0);
    ASSERT_EQ(std::system(("mkfs.ext4 -q -F -m 5 -O ^has_journal " + image).c_str()), 0);
    ASSERT_EQ(std::system(("mount -o loop " + image + " " + point).c_str()), 0);

    struct statvfs figures = {};
    ASSERT_EQ(::statvfs(point.c_str(), &figures), 0);
    const int64_t user = BytesToGB(static_cast<int64_t>(figures.f_bavail * figures.f_frsize));
    const int64_t root = BytesToGB(static_cast<int64_t>(figures.f_bfree * figures.f_frsize));
    ASSERT_EQ(root - user, 1);
    EXPECT_EQ(stats(D).FreeGB, user);
}

TEST_F(RealMounts, AStalledFuseVolumeLazilyUnmountedHoldsUpNoVolumeMountedInItsPlace)
{
    const std::string point = folder("fuse");
    FuseVolume dead(point, fiveGiBTwoFree);
    if (!dead.failure().empty())
        GTEST_SKIP() << dead.failure();
    dead.stall();
    EXPECT_FALSE(exists(u'D'));
    // Gone from the table, still stuck in the kernel: its question holds its filesystem alone.
    ASSERT_EQ(::umount2(point.c_str(), MNT_DETACH), 0);
    FuseVolume alive(point, {9 * GiB / 4096, 4 * GiB / 4096});
    ASSERT_TRUE(alive.failure().empty()) << alive.failure();
    const std::map<char16_t, DriveStats> seen = scan();
    ASSERT_EQ(seen.count(u'D'), 1u) << "the new volume at the same point";
    EXPECT_EQ(seen.at(u'D').TotalGB, 9);
}

TEST_F(RealMounts, FiftyRemountsOfADeadFuseVolumeKeepTheHelpersUnderTheCap)
{
    const auto threads = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                             std::filesystem::directory_iterator());
    };
    const auto before = threads();
    LinuxVolumeSource quick("/proc/self/mountinfo", ::statvfs, 100ms);
    const std::string point = folder("fuse");
    std::vector<std::unique_ptr<FuseVolume>> dead;
    for (int round = 0; round < 50; ++round) {
        dead.push_back(std::make_unique<FuseVolume>(point, fiveGiBTwoFree, 0, 30));
        if (!dead.back()->failure().empty())
            GTEST_SKIP() << dead.back()->failure();
        dead.back()->stall();
        const std::map<char16_t, DriveStats> seen = scanDrives(quick);
        EXPECT_EQ(seen.count(u'D'), 0u) << "round " << round;
        ASSERT_EQ(::umount2(point.c_str(), MNT_DETACH), 0);
    }
    // Eight stuck at most, and a helper or two that are idle.
    EXPECT_LE(threads() - before, 10);
}
