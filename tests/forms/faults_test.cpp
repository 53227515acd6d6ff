// Drives that change under a scan, queries that fail and a volume that never answers: the
// program neither crashes nor hangs, and the next refresh shows exactly the usable drives.
#include "../gui_helpers.h"
#include "../host_fixtures.h"
#include "Childwin.h"
#include "Main.h"
#include "program.h"
#include "volume_source_linux.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <random>

#include <sys/statvfs.h>

using namespace std::chrono_literals;

namespace {

class Faults : public testing::Test
{
protected:
    void SetUp() override { program.Ready(); }

    ProgramUnderTest program;
};

} // namespace

TEST_F(Faults, DrivesChangingWhileTheyAreScannedAndFailingQueries)
{
    std::mt19937 random(7);
    program.volumes = FakeVolumeSource();
    for (int round = 0; round < 60; ++round) {
        program.volumes.afterAnswer = [&](char16_t letter) {
            switch (random() % 5) {
            case 0:
                program.volumes.removeDrive(letter); // gone right after its answer
                break;
            case 1:
                program.volumes.setDriveGB(letter, 1 + random() % 3000, random() % 50);
                break;
            case 2:
                program.volumes.failQueries(letter);
                break;
            default:
                break;
            }
        };
        program.Refresh();
    }

    // Then a quiet refresh: exactly the usable drives, in order.
    program.volumes = FakeVolumeSource();
    program.volumes.setDriveGB(u'C', 931, 400);
    program.volumes.setDriveGB(u'K', 12, 3);
    program.volumes.setDrive(u'M', 1 << 20, 0); // too small for a window
    program.Refresh();
    EXPECT_EQ(program.Captions(), (QStringList{"C:\\", "K:\\"}));
    EXPECT_EQ(program.main->findChildren<TMDIChild *>().size(), 2);
}

TEST_F(Faults, AVolumeThatNeverAnswersDoesNotHoldTheRefreshUp)
{
    const RecordedMountTable table("20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                                   "21 20 0:50 / /mnt/remote rw - fuse.sshfs me@host:/ rw\n"
                                   "22 20 0:51 / /mnt/ram rw - tmpfs tmpfs rw\n");
    auto release = std::make_shared<std::promise<void>>();
    std::shared_future<void> released = release->get_future().share();
    LinuxVolumeSource source(
        table.path,
        [released](const char *path, struct statvfs *answer) {
            if (std::string(path) == "/mnt/remote")
                released.wait(); // a dead server
            *answer = {};
            answer->f_blocks = 1 << 20;
            answer->f_bavail = 1 << 19;
            answer->f_frsize = 4096;
            return 0;
        },
        300ms);
    const ProgramUnderTest::UsingVolumes stalling(program, source);

    const auto start = std::chrono::steady_clock::now();
    program.Refresh();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_EQ(program.Captions(), (QStringList{"C:\\", "D:\\"}))
        << "E: (/mnt/remote) does not answer";

    const auto again = std::chrono::steady_clock::now();
    program.Refresh();
    EXPECT_LT(std::chrono::steady_clock::now() - again, 1s) << "no second wait on a stuck volume";

    release->set_value();
    ASSERT_TRUE(WaitFor([&] {
        program.Refresh();
        return program.Captions().size() == 3;
    }));
    EXPECT_EQ(program.Captions(), (QStringList{"C:\\", "D:\\", "E:\\"}));
}
