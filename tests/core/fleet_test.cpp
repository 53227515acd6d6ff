#include "fleet.h"

#include "number_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

RemoteFilesystem fs(const char *point, const char *device, const char *type = "ext4",
                    int64_t size = int64_t{100} << 30, int64_t avail = int64_t{40} << 30)
{
    RemoteFilesystem result;
    result.mountPoint = point;
    result.device = device;
    result.fsType = type;
    result.sizeBytes = size;
    result.availBytes = avail;
    return result;
}

// "C:/ D:/data": each letter with the mount point it stands for.
std::string lettersOf(const std::vector<RemoteFilesystem> &filesystems, size_t limit = 24)
{
    std::string text;
    for (const RemoteDrive &drive : RemoteDrives(filesystems, limit)) {
        text += text.empty() ? "" : " ";
        text += drive.letter;
        text += ":" + filesystems[drive.filesystem].mountPoint;
    }
    return text;
}

FleetTime at(int64_t seconds)
{
    return FleetTime(std::chrono::seconds(seconds));
}

MachineAnswer answering(const char *instance, std::vector<RemoteFilesystem> filesystems,
                        std::optional<bool> up = true, std::optional<FleetTime> seen = {})
{
    MachineAnswer machine;
    machine.instance = instance;
    machine.up = up;
    machine.seen = seen;
    machine.filesystems = std::move(filesystems);
    return machine;
}

// "b:up@100[/,/data] c:down@-[]": each machine's state, when its figures were fresh and
// which figures it has.
std::string stateOf(const FleetSnapshot &snapshot)
{
    std::string text;
    for (const Machine &machine : snapshot.machines) {
        text += text.empty() ? "" : " ";
        text += MachineName(machine) + ":" +
                (machine.up ? (machine.stale ? "stale" : "up") : std::string("down")) + "@";
        text += machine.lastSeen ? std::to_string(std::chrono::duration_cast<std::chrono::seconds>(
                                                      machine.lastSeen->time_since_epoch())
                                                      .count())
                                 : "-";
        text += "[";
        for (size_t i = 0; i < machine.filesystems.size(); ++i)
            text += (i ? "," : "") + machine.filesystems[i].mountPoint;
        text += "]";
    }
    return text;
}

struct GermanSeparators
{
    GermanSeparators() { SetNumberSeparators({".", ","}); }
    ~GermanSeparators() { SetNumberSeparators(previous); }
    NumberSeparators previous = NumberSeparatorsInForce();
};

} // namespace

TEST(RemoteDrives, LettersFollowTheLocalRules)
{
    struct Row
    {
        const char *name;
        std::vector<RemoteFilesystem> filesystems;
        std::string letters;
    };
    const Row rows[] = {
        {"root first, the others in byte order",
         {fs("/srv", "/dev/sdc1"), fs("/home", "/dev/sdb1"), fs("/", "/dev/sda1"),
          fs("/Data", "/dev/sdd1")},
         "C:/ D:/Data E:/home F:/srv"},
        {"without a root C: stays empty", {fs("/data", "/dev/sdb1")}, "D:/data"},
        {"a device mounted twice counts once, at its shortest point",
         {fs("/", "/dev/sda1"), fs("/srv/storage/data", "/dev/sdb1"), fs("/mnt/b", "/dev/sdb1"),
          fs("/home/x/data", "/dev/sdb1")},
         "C:/ D:/mnt/b"},
        {"equal lengths: the first in byte order",
         {fs("/", "/dev/sda1"), fs("/srv/data", "/dev/sdb1"), fs("/mnt/data", "/dev/sdb1")},
         "C:/ D:/mnt/data"},
        {"other mounts of the root's device are left out",
         {fs("/", "/dev/vda1"), fs("/home/anna/srv", "/dev/vda1"), fs("/home", "/dev/vda2")},
         "C:/ D:/home"},
        {"an export mounted twice counts once",
         {fs("/", "/dev/sda1"), fs("/mnt/nas", "nas:/export", "nfs4"),
          fs("/home/nas", "nas:/export", "nfs4")},
         "C:/ D:/mnt/nas"},
        {"RAM disks share a name, not a filesystem: each counts",
         {fs("/", "tmpfs", "tmpfs"), fs("/mnt/a", "tmpfs", "tmpfs"),
          fs("/mnt/b", "tmpfs", "tmpfs")},
         "C:/ D:/mnt/a E:/mnt/b"},
        {"pseudo, system and container mounts are left out; media below /run/media not",
         {fs("/", "/dev/sda1"), fs("/proc", "proc", "proc"), fs("/run/user/1000", "tmpfs", "tmpfs"),
          fs("/dev/shm", "tmpfs", "tmpfs"), fs("/snap/core/1", "/dev/loop1", "squashfs"),
          fs("/var/lib/docker/overlay2/3f/merged", "overlay", "overlay"),
          fs("/data/docker/containers/"
             "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef/mounts/shm",
             "shm", "tmpfs"),
          fs("/var/lib/kubelet/pods/77/volumes/x", "tmpfs", "tmpfs"),
          fs("/run/media/anna/USB STICK", "/dev/sdb1", "vfat"), fs("/runner", "tmpfs", "tmpfs")},
         "C:/ D:/run/media/anna/USB STICK E:/runner"},
        {"an overlay root is still C:", {fs("/", "overlay", "overlay")}, "C:/"},
        {"two filesystems at one point: the first counts",
         {fs("/", "/dev/sda1"), fs("/mnt/x", "/dev/sdb1"), fs("/mnt/x", "tmpfs", "tmpfs")},
         "C:/ D:/mnt/x"},
        {"labels holding markup and control characters are mount points like any other",
         {fs("/", "/dev/sda1"), fs("/<b>x</b>", "/dev/sdb1"), fs("/a\nb", "/dev/sdc1")},
         "C:/ D:/<b>x</b> E:/a\nb"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(lettersOf(row.filesystems), row.letters) << row.name;
}

TEST(RemoteDrives, MoreThan24VolumesEndAtZ)
{
    std::vector<RemoteFilesystem> filesystems = {fs("/", "/dev/sda1")};
    for (int i = 0; i < 30; ++i) {
        const std::string point =
            "/mnt/" + std::string(1, static_cast<char>('a' + i % 26)) + std::to_string(i);
        filesystems.push_back(fs(point.c_str(), ("/dev/vd" + std::to_string(i)).c_str()));
    }
    const std::vector<RemoteDrive> drives = RemoteDrives(filesystems);
    ASSERT_EQ(drives.size(), 24u);
    EXPECT_EQ(drives.front().letter, 'C');
    EXPECT_EQ(drives.back().letter, 'Z');
    EXPECT_EQ(lettersOf(filesystems, 3), "C:/ D:/mnt/a0 E:/mnt/a26");
}

TEST(NextSnapshot, MachinesAcrossAnswers)
{
    const std::vector<RemoteFilesystem> two = {fs("/", "/dev/sda1"), fs("/data", "/dev/sdb1")};
    const std::vector<RemoteFilesystem> one = {fs("/", "/dev/vda1")};
    struct Row
    {
        const char *name;
        std::vector<FleetAnswer> answers;
        std::string state;
    };
    const Row rows[] = {
        {"an answering machine has its figures, fresh at the answer's time",
         {{at(100), {answering("b:9100", two)}}},
         "b:9100:up@100[/,/data]"},
        {"last seen is the newest sample, not the answer",
         {{at(100), {answering("b:9100", two, true, at(99))}}},
         "b:9100:up@99[/,/data]"},
        {"a machine going down keeps its last figures and when they were fresh",
         {{at(100), {answering("b:9100", two)}}, {at(115), {answering("b:9100", {}, false)}}},
         "b:9100:down@100[/,/data]"},
        {"down with figures still in the answer counts as down",
         {{at(100), {answering("b:9100", one)}}, {at(115), {answering("b:9100", two, false)}}},
         "b:9100:down@100[/]"},
        {"up without figures counts as not answering",
         {{at(100), {answering("b:9100", two)}}, {at(115), {answering("b:9100", {}, true)}}},
         "b:9100:down@100[/,/data]"},
        {"a machine gone from the answer keeps its last figures",
         {{at(100), {answering("b:9100", two), answering("c:9100", one)}},
          {at(115), {answering("c:9100", one)}}},
         "b:9100:down@100[/,/data] c:9100:up@115[/]"},
        {"coming back brings the new figures",
         {{at(100), {answering("b:9100", two)}},
          {at(115), {answering("b:9100", {}, false)}},
          {at(130), {answering("b:9100", one)}}},
         "b:9100:up@130[/]"},
        {"up without figures and never with any: up with none",
         {{at(100), {answering("b:9100", {}, true)}}},
         "b:9100:up@100[]"},
        {"down from the start: listed, no figures, never seen",
         {{at(100), {answering("b:9100", {}, false)}}},
         "b:9100:down@-[]"},
        {"never seen and gone from the answer: forgotten",
         {{at(100), {answering("b:9100", {}, false)}}, {at(115), {}}},
         ""},
        {"unseen for more than a day: forgotten",
         {{at(100), {answering("b:9100", two)}}, {at(100 + 86400), {}}, {at(101 + 86400), {}}},
         ""},
        {"figures older than three scrape intervals are stale",
         {{at(100), {answering("b:9100", two, true, at(54))}}},
         "b:9100:stale@54[/,/data]"},
        {"three intervals old is not yet stale",
         {{at(100), {answering("b:9100", two, true, at(55))}}},
         "b:9100:up@55[/,/data]"},
        {"without up series figures alone tell",
         {{at(100), {answering("b:9100", two, std::nullopt)}}},
         "b:9100:up@100[/,/data]"},
        {"the first answer for an instance counts",
         {{at(100), {answering("b:9100", one), answering("b:9100", two)}}},
         "b:9100:up@100[/]"},
    };
    for (const Row &row : rows) {
        FleetSnapshot snapshot;
        for (const FleetAnswer &answer : row.answers)
            snapshot = NextSnapshot(snapshot, answer, 15s);
        EXPECT_EQ(stateOf(snapshot), row.state) << row.name;
    }
}

TEST(NextSnapshot, OrderedByNameAndNodenameKept)
{
    MachineAnswer zeta = answering("10.0.0.9:9100", {fs("/", "/dev/sda1")});
    zeta.nodename = "zeta";
    MachineAnswer alpha = answering("10.0.0.8:9100", {fs("/", "/dev/sda1")});
    alpha.nodename = "alpha";
    FleetSnapshot snapshot =
        NextSnapshot({}, {at(100), {zeta, alpha, answering("beta:9100", {fs("/", "x")})}}, 15s);
    EXPECT_EQ(stateOf(snapshot), "alpha:up@100[/] beta:9100:up@100[/] zeta:up@100[/]");
    EXPECT_EQ(snapshot.fetchedAt, at(100));
    EXPECT_FALSE(snapshot.old);

    // node_uname_info missing from one answer (its collector failed once) keeps the name.
    snapshot = NextSnapshot(snapshot, {at(115), {answering("10.0.0.9:9100", {fs("/", "y")})}}, 15s);
    EXPECT_EQ(snapshot.machines.back().nodename, "zeta");
}

TEST(FailedSnapshot, KeepsEveryFigureMarkedOld)
{
    const FleetSnapshot good =
        NextSnapshot({}, {at(100), {answering("b:9100", {fs("/", "/dev/sda1")})}}, 15s);
    const FleetSnapshot failed = FailedSnapshot(good, "Zeitüberschreitung");
    EXPECT_EQ(failed.machines, good.machines);
    EXPECT_EQ(failed.fetchedAt, at(100));
    EXPECT_TRUE(failed.old);
    EXPECT_EQ(failed.problem, "Zeitüberschreitung");

    const FleetSnapshot again = NextSnapshot(failed, {at(130), {}}, 15s);
    EXPECT_FALSE(again.old);
    EXPECT_EQ(again.problem, "");
    EXPECT_EQ(stateOf(again), "b:9100:down@100[/]");
}

TEST(FleetRows, FiguresAsDriveWindowsShowThemFullestFirst)
{
    const GermanSeparators german;
    constexpr int64_t gib = int64_t{1} << 30;
    RemoteFilesystem root = fs("/", "/dev/sda1", "ext4", 1863 * gib + gib / 2, 1000 * gib + 7);
    root.timeToFull = 3600s;
    MachineAnswer b = answering("b:9100", {root, fs("/small", "/dev/sdb1", "ext4", gib - 1, 0),
                                           fs("/data", "/dev/sdc1", "xfs", 10 * gib, gib)});
    MachineAnswer a = answering("a:9100", {fs("/", "/dev/vda1", "ext4", 4 * gib, 2 * gib)});
    FleetSnapshot snapshot = NextSnapshot({}, {at(100), {b, a}}, 15s);
    snapshot = NextSnapshot(snapshot, {at(115), {answering("b:9100", {}, false), a}}, 15s);

    const std::vector<FleetRow> rows = FleetRows(snapshot);
    ASSERT_EQ(rows.size(), 3u); // below one whole GiB no window, no row
    struct Expected
    {
        const char *machine, *mount, *size, *free, *used, *percent;
        char letter;
        bool up;
    };
    const Expected expected[] = {
        {"b:9100", "/data", "10 GB", "1 GB", "9 GB", "90%", 'D', false},
        {"a:9100", "/", "4 GB", "2 GB", "2 GB", "50%", 'C', true},
        {"b:9100", "/", "1.863 GB", "1.000 GB", "863 GB", "46%", 'C', false},
    };
    for (size_t i = 0; i < rows.size(); ++i) {
        const Expected &e = expected[i];
        EXPECT_EQ(rows[i].machineName, e.machine) << i;
        EXPECT_EQ(rows[i].mountPoint, e.mount) << i;
        EXPECT_EQ(rows[i].size, e.size) << i;
        EXPECT_EQ(rows[i].free, e.free) << i;
        EXPECT_EQ(rows[i].used, e.used) << i;
        EXPECT_EQ(rows[i].percent, e.percent) << i;
        EXPECT_EQ(rows[i].letter, e.letter) << i;
        EXPECT_EQ(rows[i].up, e.up) << i;
    }
    EXPECT_EQ(rows[2].timeToFull, 3600s);
    EXPECT_EQ(rows[2].timeToFullText, "voll in etwa 60 Min.");
    EXPECT_EQ(rows[2].warning, WarningLevel::Critical); // full within 4 hours
    EXPECT_EQ(rows[0].warning, WarningLevel::None);     // 10 % free is not below 5 %
    EXPECT_EQ(rows[0].timeToFullText, "");
    EXPECT_EQ(rows[2].lastSeen, at(100));
    EXPECT_EQ(snapshot.machines[rows[0].machine].instance, "b:9100");
    EXPECT_EQ(snapshot.machines[rows[0].machine].filesystems[rows[0].filesystem].mountPoint,
              "/data");
}

TEST(FleetRows, RemoteVolumesWarnByTheLocalRule)
{
    constexpr int64_t gib = int64_t{1} << 30;
    struct Row
    {
        const char *name;
        int64_t free;
        bool readOnly;
        std::optional<std::chrono::seconds> timeToFull;
        WarningLevel warning;
    };
    const Row rows[] = {
        {"plenty free, no estimate", 60 * gib, false, std::nullopt, WarningLevel::None},
        {"below 5 % and 10 GiB", 4 * gib, false, std::nullopt, WarningLevel::Critical},
        {"Prometheus says full within a day, below 40 % free", 30 * gib, false, 20h,
         WarningLevel::Warning},
        {"within a day but 60 % free", 60 * gib, false, 20h, WarningLevel::None},
        {"read-only never warns", 4 * gib, true, 1h, WarningLevel::None},
    };
    for (const Row &row : rows) {
        RemoteFilesystem root = fs("/", "/dev/sda1", "ext4", 100 * gib, row.free);
        root.readOnly = row.readOnly;
        root.timeToFull = row.timeToFull;
        const FleetSnapshot snapshot = NextSnapshot({}, {at(100), {answering("b", {root})}}, 15s);
        const std::vector<FleetRow> fleetRows = FleetRows(snapshot);
        ASSERT_EQ(fleetRows.size(), 1u) << row.name;
        EXPECT_EQ(fleetRows[0].warning, row.warning) << row.name;
    }
}
