// The trend's cost: the peak memory of 24 volumes' histories after a day of readings every 2 s
// (a time to full asked of each once a minute), what taking one reading costs, thinning
// included, and what one TimeToFull costs on a full hour of readings.
#include "fill_trend.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr int64_t GiB = int64_t{1} << 30;

long statusKilobytes(const char *field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::string(field).size()));
    }
    return -1;
}

// Free space falling by 10 GiB an hour from 400 GiB, with a wobble of up to 4 MiB.
int64_t freeAt(Microseconds time, int volume)
{
    const int64_t seconds = time.count() / 1000000;
    return 400 * GiB - seconds * (10 * GiB / 3600) +
           (seconds * 7919 + volume * 104729) % 4096 * 1024;
}

void PeakMemory24VolumesADay(benchmark::State &state)
{
    double aboveMB = 0;
    double historiesKiB = 0;
    for (auto _ : state) {
        // Writing 5 to clear_refs starts the peak anew at what is resident now.
        std::ofstream("/proc/self/clear_refs") << "5";
        const long before = statusKilobytes("VmRSS:");
        {
            std::vector<VolumeHistory> histories(24);
            int64_t answers = 0;
            for (Microseconds t{0}; t <= 24h; t += 2s) {
                for (size_t v = 0; v < histories.size(); ++v) {
                    histories[v].Add(t, 1000 * GiB, freeAt(t, static_cast<int>(v)));
                    if (t % 1min == 0s)
                        answers += TimeToFull(histories[v], t).has_value();
                }
            }
            benchmark::DoNotOptimize(answers);
            aboveMB = static_cast<double>(statusKilobytes("VmHWM:") - before) / 1024;
            historiesKiB = 0;
            for (const VolumeHistory &history : histories)
                historiesKiB += static_cast<double>(sizeof history + history.Samples().capacity() *
                                                                         sizeof(FreeSample)) /
                                1024;
        }
    }
    state.counters["above_MB"] = aboveMB;
    state.counters["histories_KiB"] = historiesKiB;
}

void AddReading(benchmark::State &state)
{
    VolumeHistory history;
    Microseconds t{0};
    for (auto _ : state) {
        benchmark::DoNotOptimize(history.Add(t, 1000 * GiB, freeAt(t, 0)));
        t += 2s;
    }
}

// A full last hour: at a reading every 2 s (61 minutes of points) or every minute.
void TimeToFullOfAnHour(benchmark::State &state)
{
    const Microseconds step = std::chrono::seconds(state.range(0));
    VolumeHistory history;
    Microseconds t{0};
    for (; t <= 3h; t += step)
        history.Add(t, 1000 * GiB, freeAt(t, 0));
    t -= step;
    for (auto _ : state)
        benchmark::DoNotOptimize(TimeToFull(history, t));
    state.counters["has_time"] = TimeToFull(history, t).has_value();
}

} // namespace

BENCHMARK(PeakMemory24VolumesADay)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(AddReading);
BENCHMARK(TimeToFullOfAnHour)->ArgName("step_s")->Arg(2)->Arg(60)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
