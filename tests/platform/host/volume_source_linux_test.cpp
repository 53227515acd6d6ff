#include "../../host_fixtures.h"
#include "drive_stats.h"
#include "volume_source_linux.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
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
        const std::optional<VolumeSpace> space = source.space(row.root);
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
        EXPECT_EQ(source.describe(row.root), row.description) << row.name;
    }
}

TEST(LinuxVolumeSource, FailingStatvfsIsAFailure)
{
    RecordedMountTable recorded(table);
    LinuxVolumeSource source(
        recorded.path, [](const char *, struct statvfs *) { return -1; }, 1s);
    EXPECT_FALSE(source.space(u"C:\\"));
    EXPECT_FALSE(source.probe(u"C:\\"));
    EXPECT_FALSE(source.probe(u"F:\\"));
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
    ScopedVolumeSource installed(source);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(DriveExists(u'F'));
    const auto firstTest = std::chrono::steady_clock::now() - start;
    EXPECT_GE(firstTest, 200ms);
    EXPECT_LT(firstTest, 2s);

    // While the first query is stuck, further tests fail at once and start no new query.
    const auto again = std::chrono::steady_clock::now();
    for (int i = 0; i < 20; ++i)
        EXPECT_FALSE(DriveExists(u'F'));
    EXPECT_LT(std::chrono::steady_clock::now() - again, 100ms);
    EXPECT_EQ(calls->load(), 1);

    // Other volumes are not held up.
    EXPECT_TRUE(DriveExists(u'C'));
    EXPECT_TRUE(DriveExists(u'E'));

    // Once the server answers, the volume is usable again.
    release->set_value();
    bool back = false;
    for (int i = 0; i < 100 && !back; ++i) {
        back = DriveExists(u'F');
        if (!back)
            std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(back);
}

TEST(LinuxVolumeSource, ThisMachinesRootIsC)
{
    LinuxVolumeSource source;
    struct statvfs root = {};
    ASSERT_EQ(::statvfs("/", &root), 0);
    const std::optional<VolumeSpace> space = source.space(u"C:\\");
    ASSERT_TRUE(space);
    EXPECT_EQ(space->totalBytes, SpaceFromStatvfs(root).totalBytes);
    ASSERT_TRUE(source.volumeOf(u"C:\\"));
    EXPECT_EQ(source.volumeOf(u"C:\\")->mountPoint, "/");
}

TEST(LinuxVolumeSource, ATableThatCannotBeWatchedIsReadAtEveryQuery)
{
    RecordedMountTable recorded("20 1 8:1 / / rw - ext4 /dev/sda1 rw\n");
    LinuxVolumeSource source(
        recorded.path,
        [](const char *, struct statvfs *answer) {
            *answer = answerOf(1024, 512, 4096);
            return 0;
        },
        1s);
    EXPECT_FALSE(source.probe(u"D:\\"));
    std::ofstream(recorded.path, std::ios::app) << "21 20 0:50 / /mnt/a rw - tmpfs tmpfs rw\n";
    EXPECT_TRUE(source.probe(u"D:\\")) << "a volume recorded since";
    std::ofstream(recorded.path) << "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n";
    EXPECT_FALSE(source.probe(u"D:\\")) << "and gone again";
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

    const std::string base = MountsFolder();
    LinuxVolumeSource source;
    ScopedVolumeSource installed{source};
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

    EXPECT_TRUE(DriveExists(u'C'));
    ASSERT_TRUE(source.volumeOf(u"D:\\"));
    EXPECT_EQ(source.volumeOf(u"D:\\")->mountPoint, big);
    const DriveStats d = ReadDriveStats(D);
    EXPECT_EQ(d.TotalGB, 931);
    EXPECT_EQ(d.FreeGB, 930);
    EXPECT_EQ(d.UsedGB, 1);
    EXPECT_TRUE(DriveExists(u'E')) << "the 512 MiB volume";
    EXPECT_EQ(ReadDriveStats(5).TotalGB, 0);
    EXPECT_FALSE(DriveExists(u'F')) << "the bind mount got a letter of its own";

    // A volume mounted between two probes is there at the very next one; unmounted, gone.
    ASSERT_TRUE(mountTmpfs(late, "2g"));
    EXPECT_EQ(ReadDriveStats(5).TotalGB, 2) << "the volume mounted later is E:";
    EXPECT_TRUE(DriveExists(u'F') && ReadDriveStats(6).TotalGB == 0)
        << "the 512 MiB volume moved on to F:";
    ASSERT_EQ(::umount2(late.c_str(), 0), 0);
    EXPECT_FALSE(DriveExists(u'F'));
    EXPECT_EQ(ReadDriveStats(5).TotalGB, 0);
}

TEST_F(RealMounts, EveryProbeFollowsTheMountThatWasJustMadeOrUndone)
{
    const std::string stick = folder("stick");
    int missed = 0;
    int stale = 0;
    for (int round = 0; round < 1000; ++round) {
        ASSERT_TRUE(mountTmpfs(stick, "7g"));
        if (!DriveExists(u'D') || ReadDriveStats(D).TotalGB != 7)
            ++missed;
        ASSERT_EQ(::umount2(stick.c_str(), 0), 0);
        // Its mount point is a plain folder on "/" again, where statvfs answers for "/".
        if (DriveExists(u'D') || ReadDriveStats(D).TotalGB != 0)
            ++stale;
    }
    EXPECT_EQ(missed, 0) << "probes that did not see the volume just mounted";
    EXPECT_EQ(stale, 0) << "probes that still saw the volume just unmounted";
}

TEST_F(RealMounts, AVolumeHiddenByALaterMountOnTheFolderAboveIsGone)
{
    const std::string parent = folder("p");
    const std::string inner = folder("p/q");
    ASSERT_TRUE(mountTmpfs(inner, "11g"));
    ASSERT_EQ(ReadDriveStats(D).TotalGB, 11);
    ASSERT_TRUE(mountTmpfs(parent, "12g"));
    ::mkdir(inner.c_str(), 0755); // the same path now leads into the 12 GiB volume
    EXPECT_EQ(ReadDriveStats(D).TotalGB, 12) << "D: is the volume on the folder above";
    EXPECT_FALSE(DriveExists(u'E')) << "the hidden volume has no letter";
    EXPECT_EQ(source.describe(u"E:\\"), "");
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
    EXPECT_EQ(ReadDriveStats(D).FreeGB, user);
}
