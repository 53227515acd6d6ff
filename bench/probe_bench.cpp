// Probing all 24 letters through the Linux volume source, beside the bare statvfs calls that
// such a probe has to make (three per usable volume: existence, size, free). A scan probes
// inside one pass; outside one, as a single query does, every call looks at the mount table.
// The same again with a live FUSE volume of our own, served by a child process (as root, in a
// mount namespace of this process's own, so that nobody else sees it).
#include "drive_stats.h"
#include "fuse_volume.h"
#include "volume_source_linux.h"

#include <benchmark/benchmark.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

void probeAllLetters(benchmark::State &state, bool inPass)
{
    LinuxVolumeSource source;
    ScopedVolumeSource installed(source);
    for (auto _ : state) {
        std::optional<DriveScan> pass;
        if (inPass)
            pass.emplace();
        int64_t sum = 0;
        for (DriveNo n = 26; n >= 3; --n) {
            if (!DriveExists(DriveLetter(n)))
                continue;
            const DriveStats stats = ReadDriveStats(n);
            sum += stats.TotalGB + stats.FreeGB;
        }
        benchmark::DoNotOptimize(sum);
    }
}

void bareStatvfs(benchmark::State &state)
{
    std::vector<std::string> points;
    {
        LinuxVolumeSource source;
        for (DriveNo n = 3; n <= 26; ++n) {
            if (const std::optional<Volume> volume = source.volumeOf(DriveRoot(n)))
                points.push_back(volume->mountPoint);
        }
    }
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
