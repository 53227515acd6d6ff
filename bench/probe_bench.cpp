// Probing all 24 letters through the Linux volume source, beside the bare statvfs calls that
// such a probe has to make (three per usable volume: existence, size, free).
#include "drive_stats.h"
#include "volume_source_linux.h"

#include <benchmark/benchmark.h>

#include <sys/statvfs.h>

#include <string>
#include <vector>

namespace {

void ProbeAllLetters(benchmark::State &state)
{
    LinuxVolumeSource source;
    ScopedVolumeSource installed(source);
    for (auto _ : state) {
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

void BareStatvfs(benchmark::State &state)
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

} // namespace

BENCHMARK(BareStatvfs);
BENCHMARK(ProbeAllLetters);
