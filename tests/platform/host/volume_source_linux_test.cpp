#include "../../host_fixtures.h"
#include "drive_stats.h"
#include "volume_source_linux.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <future>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sched.h>
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

namespace {

// The source learns of a mount change from a watching thread, within moments of the change.
bool eventually(const std::function<bool()> &condition)
{
    for (int i = 0; i < 200; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(5ms);
    }
    return false;
}

} // namespace

TEST(LinuxVolumeSource, RealTmpfsVolumesInAPrivateMountNamespace)
{
    const std::string base = MountsFolder();
    if (base.empty())
        GTEST_SKIP() << MountsSkipped();
    const std::string big = base + "/big";
    const std::string small = base + "/small";
    const std::string bound = base + "/zbound";
    const std::string late = base + "/late";
    for (const std::string &dir : {big, small, bound, late})
        ::mkdir(dir.c_str(), 0755);
    // tmpfs allocates lazily: a 931 GiB volume costs nothing until written.
    ASSERT_EQ(::mount("tmpfs", big.c_str(), "tmpfs", 0, "size=931g"), 0);
    ASSERT_EQ(::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=512m"), 0);
    ASSERT_EQ(::mount(big.c_str(), bound.c_str(), nullptr, MS_BIND, nullptr), 0);
    // 4 KiB written leave 930 whole GiB free, so 1 GiB counts as occupied.
    std::ofstream(big + "/file") << std::string(4096, 'x');

    LinuxVolumeSource source;
    ScopedVolumeSource installed(source);
    EXPECT_TRUE(DriveExists(u'C'));
    ASSERT_TRUE(source.volumeOf(u"D:\\"));
    EXPECT_EQ(source.volumeOf(u"D:\\")->mountPoint, big);
    const DriveStats d = ReadDriveStats(4);
    EXPECT_EQ(d.TotalGB, 931);
    EXPECT_EQ(d.FreeGB, 930);
    EXPECT_EQ(d.UsedGB, 1);
    EXPECT_TRUE(DriveExists(u'E')) << "the 512 MiB volume";
    const DriveStats e = ReadDriveStats(5);
    EXPECT_EQ(e.TotalGB, 0);
    EXPECT_EQ(e.FreeGB, 0);
    EXPECT_FALSE(DriveExists(u'F')) << "the bind mount got a letter of its own";

    // A volume mounted between two probes appears at the next one; unmounted, it vanishes.
    ASSERT_EQ(::mount("tmpfs", late.c_str(), "tmpfs", 0, "size=2g"), 0);
    EXPECT_TRUE(eventually([] { return ReadDriveStats(5).TotalGB == 2; }))
        << "the volume mounted later is not E:";
    EXPECT_TRUE(ReadDriveStats(6).TotalGB == 0 && DriveExists(u'F'))
        << "the 512 MiB volume did not move on to F:";
    ::umount2(late.c_str(), 0);
    EXPECT_TRUE(eventually([] { return !DriveExists(u'F'); }) && ReadDriveStats(5).TotalGB == 0)
        << "the unmounted volume is still there";
}
