// Probing all 24 letters through the Linux volume source in one pass, beside the bare statvfs
// calls that such a probe would make asked one figure at a time (three per usable volume:
// existence, size, free); and one letter at a time, a pass for each. The same again with a live
// FUSE volume of our own, served by a child process, and the follower's check with 24 volumes
// shown and nothing changed (as root, in a mount namespace of this process's own, so that nobody
// else sees them).
#include "drive_report.h"
#include "drive_stats.h"
#include "fuse_volume.h"
#include "volume_source_linux.h"

#include <benchmark/benchmark.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

void probeAllLetters(benchmark::State &state, bool inPass)
{
    LinuxVolumeSource source;
    for (auto _ : state) {
        int64_t sum = 0;
        std::unique_ptr<Pass> pass = source.open();
        pass->ask(DriveRoots(26, 3));
        for (DriveNo n = 26; n >= 3; --n) {
            if (!inPass)
                pass = source.open();
            if (!DriveExists(*pass, DriveLetter(n)))
                continue;
            const DriveStats stats = ReadDriveStats(*pass, n);
            sum += stats.TotalGB + stats.FreeGB;
        }
        benchmark::DoNotOptimize(sum);
    }
}

// The mount points of the volumes the source lists, C: first.
std::vector<std::string> mountPoints()
{
    std::vector<std::string> points;
    for (const Volume &volume : SelectVolumes(ParseMountInfo([] {
             std::ifstream table("/proc/self/mountinfo");
             return std::string(std::istreambuf_iterator<char>(table), {});
         }())))
        points.push_back(volume.mountPoint);
    return points;
}

void bareStatvfs(benchmark::State &state)
{
    const std::vector<std::string> points = mountPoints();
    state.counters["volumes"] = static_cast<double>(points.size());
    for (auto _ : state) {
        int64_t sum = 0;
        for (const std::string &point : points) {
            struct statvfs answer = {};
            for (int query = 0; query < 3; ++query) {
                ::statvfs(point.c_str(), &answer);
                sum += static_cast<int64_t>(answer.f_bavail);
            }
        }
        benchmark::DoNotOptimize(sum);
    }
}

// The FUSE volume, mounted at the first benchmark that wants it and kept to the end; or why
// there is none.
struct LiveFuse
{
    std::unique_ptr<FuseVolume> volume;
    std::string failure;
};

const LiveFuse &liveFuse()
{
    static const LiveFuse live = [] {
        LiveFuse made;
        if (::geteuid() != 0) {
            made.failure = "needs root to mount a FUSE volume";
            return made;
        }
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            made.failure =
                std::string("no private mount namespace here (") + std::strerror(errno) + ")";
            return made;
        }
        char folder[] = "/tmp/volumo-bench-XXXXXX";
        if (!::mkdtemp(folder)) {
            made.failure = "no folder for the FUSE volume";
            return made;
        }
        made.volume = std::make_unique<FuseVolume>(
            folder, FuseVolume::Figures{(int64_t{5} << 30) / 4096, (int64_t{2} << 30) / 4096});
        made.failure = made.volume->failure();
        return made;
    }();
    return live;
}

bool withFuse(benchmark::State &state)
{
    if (!liveFuse().failure.empty()) {
        state.SkipWithError(liveFuse().failure.c_str());
        return false;
    }
    return true;
}

// 23 RAM disks beside "/", in the FUSE volume's mount namespace: 24 volumes, every letter used.
bool withTwentyFourVolumes(benchmark::State &state)
{
    if (!withFuse(state))
        return false;
    static const bool mounted = [] {
        char folder[] = "/tmp/volumo-bench-24-XXXXXX";
        if (!::mkdtemp(folder))
            return false;
        for (int i = 0; i < 23; ++i) {
            const std::string point = std::string(folder) + "/" + std::to_string(10 + i);
            ::mkdir(point.c_str(), 0755);
            if (::mount("tmpfs", point.c_str(), "tmpfs", 0, "size=2g") != 0)
                return false;
        }
        return true;
    }();
    if (!mounted)
        state.SkipWithError("the 23 RAM disks could not be mounted");
    return mounted;
}

// The follower's check with every letter's window shown and nothing changed: what it costs,
// and how many questions it asks of the volumes (none: their mounts come from the table).
void FollowerCheckNothingChanged(benchmark::State &state)
{
    if (!withTwentyFourVolumes(state))
        return;
    std::vector<std::string> asked;
    LinuxVolumeSource source(
        "/proc/self/mountinfo",
        [&asked](const char *path, struct statvfs *answer) {
            asked.emplace_back(path);
            return ::statvfs(path, answer);
        },
        std::chrono::seconds(1));
    const std::vector<WindowedDrive> shown = WindowsOf(ReportDrives(source));
    std::set<std::string> shownPoints;
    for (const WindowedDrive &window : shown)
        shownPoints.insert(window.description.substr(0, window.description.find(" (")));
    asked.clear();
    for (auto _ : state) {
        const std::vector<WindowedDrive> now = DriveWindowsNow(source, shown);
        benchmark::DoNotOptimize(WindowsChanged(now, shown));
    }
    const auto ofShown = std::count_if(asked.begin(), asked.end(), [&](const std::string &path) {
        return shownPoints.count(path) > 0;
    });
    state.counters["shown"] = static_cast<double>(shown.size());
    state.counters["host calls per check, shown"] =
        static_cast<double>(ofShown) / static_cast<double>(state.iterations());
    state.counters["host calls per check, others"] =
        static_cast<double>(static_cast<int64_t>(asked.size()) - ofShown) /
        static_cast<double>(state.iterations());
}

// What a sample of the live program asks: each of the 24 shown volumes once, in one pass, its
// mount checked against the one its window shows; beside the bare statvfs of each.
void SampleTwentyFourVolumes(benchmark::State &state)
{
    if (!withTwentyFourVolumes(state))
        return;
    LinuxVolumeSource source;
    const std::vector<WindowedDrive> shown = WindowsOf(ReportDrives(source));
    std::vector<std::u16string> roots;
    for (const WindowedDrive &window : shown)
        roots.push_back(DriveRoot(window.number));
    for (auto _ : state) {
        const std::unique_ptr<Pass> pass = source.open();
        pass->ask(roots);
        int64_t sum = 0;
        for (size_t i = 0; i < roots.size(); ++i) {
            if (pass->identity(roots[i]).key != shown[i].key)
                continue;
            if (const std::optional<VolumeSpace> space = pass->space(roots[i]))
                sum += space->freeBytes;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.counters["volumes"] = static_cast<double>(roots.size());
}

void BareStatvfsOnceEach(benchmark::State &state)
{
    if (!withTwentyFourVolumes(state))
        return;
    const std::vector<std::string> points = mountPoints();
    for (auto _ : state) {
        int64_t sum = 0;
        for (const std::string &point : points) {
            struct statvfs answer = {};
            ::statvfs(point.c_str(), &answer);
            sum += static_cast<int64_t>(answer.f_bavail);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.counters["volumes"] = static_cast<double>(points.size());
}

// The same machine's scan, to compare with.
void ScanTwentyFourVolumes(benchmark::State &state)
{
    if (!withTwentyFourVolumes(state))
        return;
    LinuxVolumeSource source;
    for (auto _ : state)
        benchmark::DoNotOptimize(ReportDrives(source));
}

void BareStatvfs(benchmark::State &state)
{
    bareStatvfs(state);
}

void ProbeAllLetters(benchmark::State &state)
{
    probeAllLetters(state, true);
}

void ProbeAllLettersOutsideAPass(benchmark::State &state)
{
    probeAllLetters(state, false);
}

void BareStatvfsWithFuse(benchmark::State &state)
{
    if (withFuse(state))
        bareStatvfs(state);
}

void ProbeAllLettersWithFuse(benchmark::State &state)
{
    if (withFuse(state))
        probeAllLetters(state, true);
}

} // namespace

BENCHMARK(BareStatvfs);
BENCHMARK(ProbeAllLetters);
BENCHMARK(ProbeAllLettersOutsideAPass);
BENCHMARK(BareStatvfsWithFuse);
BENCHMARK(ProbeAllLettersWithFuse);
BENCHMARK(FollowerCheckNothingChanged);
BENCHMARK(BareStatvfsOnceEach);
BENCHMARK(SampleTwentyFourVolumes);
BENCHMARK(ScanTwentyFourVolumes);
