#include "fill_trend.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace std::chrono_literals;

namespace {

constexpr int64_t GiB = int64_t{1} << 30;

struct Reading
{
    int64_t totalBytes = 0;
    int64_t freeBytes = 0;
};

// A run of readings every `step` from time 0 up to and including `end`, each taken from the
// volume as `volume` describes it at that many hours into the run.
VolumeHistory Readings(Microseconds end, Microseconds step,
                       const std::function<Reading(double)> &volume)
{
    VolumeHistory history;
    for (Microseconds t{0}; t <= end; t += step) {
        const Reading reading = volume(std::chrono::duration<double, std::ratio<3600>>(t).count());
        history.Add(t, reading.totalBytes, reading.freeBytes);
    }
    return history;
}

// Reproducible noise, -1..1, the same for the same time (splitmix64 of the millisecond).
double Noise(double hours)
{
    uint64_t x = static_cast<uint64_t>(std::llround(hours * 3600 * 1000)) + 0x9e3779b97f4a7c15u;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9u;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebu;
    x ^= x >> 31;
    return static_cast<double>(x % 2001) / 1000 - 1;
}

Reading Filling(double freeGiB, double totalGiB = 500)
{
    return {static_cast<int64_t>(totalGiB * GiB), static_cast<int64_t>(freeGiB * GiB)};
}

double Hours(std::chrono::seconds time)
{
    return static_cast<double>(time.count()) / 3600;
}

} // namespace

TEST(TimeToFull, Series)
{
    struct Row
    {
        const char *name;
        Microseconds end; // the run's length; now is its last reading
        Microseconds step;
        std::function<Reading(double hours)> volume;
        std::optional<std::pair<double, double>> hours; // nothing, or from..to
    };
    // At 10 GiB an hour from 100 GiB free, 90 GiB are left after an hour: 9 hours.
    const auto constant = [](double h) {
        return Filling(100 - 10 * h);
    };
    // Speeding up: 5 GiB/h, then 15 GiB/h after an hour with 40 GiB left; at that pace it is full
    // in 1.70 hours, at the hour's mean pace of 10 GiB/h in 4.
    const auto accelerating = [](double h) {
        return Filling(50 - 5 * h - 5 * h * h);
    };
    const Row rows[] = {
        {"constant fill", 1h, 2s, constant, std::pair{8.99, 9.01}},
        {"constant fill, a reading a minute", 1h, 1min, constant, std::pair{8.99, 9.01}},
        {"constant fill over two hours looks at the last", 2h, 2s, constant, std::pair{7.99, 8.01}},
        {"constant fill with noise of 20 s of it", 1h, 2s,
         [](double h) { return Filling(100 - 10 * h + 0.055 * Noise(h)); }, std::pair{8.8, 9.2}},
        {"constant fill with one reading far off", 1h, 2s,
         [](double h) { return Filling(std::abs(h - 0.5) < 0.0001 ? 1 : 100 - 10 * h); },
         std::pair{8.99, 9.01}},
        {"accelerating fill: no later than the hour's pace", 1h, 2s, accelerating,
         std::pair{1.70, 4.0}},
        {"exactly 10 minutes of readings", 10min, 2s, constant, std::pair{9.82, 9.84}},
        {"too few: 9 minutes", 9min, 2s, constant, std::nullopt},
        {"too few: 10 minutes of readings 3 minutes apart", 12min, 3min, constant, std::nullopt},
        {"flat", 1h, 2s, [](double) { return Filling(100); }, std::nullopt},
        {"noise around a flat line", 1h, 2s, [](double h) { return Filling(100 + Noise(h)); },
         std::nullopt},
        {"noise of 1 GiB around a fall of 5 GiB an hour", 1h, 2s,
         [](double h) { return Filling(100 - 5 * h + Noise(h)); }, std::pair{18.0, 20.0}},
        {"noise of 1 GiB around a fall of 5 GiB an hour, a reading a minute", 1h, 1min,
         [](double h) { return Filling(100 - 5 * h + Noise(h)); }, std::pair{17.0, 21.0}},
        {"noise of 20 GiB around a fall of 5 GiB an hour", 1h, 2s,
         [](double h) { return Filling(100 - 5 * h + 20 * Noise(h)); }, std::nullopt},
        {"growing free space", 1h, 2s, [](double h) { return Filling(100 + 10 * h); },
         std::nullopt},
        {"sawtooth: 5 GiB written in 15 minutes, then deleted", 2h, 2s,
         [](double h) { return Filling(100 - 20 * std::fmod(h, 0.25)); }, std::nullopt},
        {"sawtooth falling: 9 of every 10 GiB written deleted again", 2h, 2s,
         [](double h) { return Filling(100 - 20 * std::fmod(h, 0.25) - 0.5 * std::floor(h * 4)); },
         std::nullopt},
        {"sawtooth keeping 4 of every 5 GiB written: filling", 2h, 2s,
         [](double h) { return Filling(100 - 20 * std::fmod(h, 0.25) - 4 * std::floor(h * 4)); },
         std::pair{3.5, 5.0}},
        {"a copy that stopped 20 minutes ago", 1h, 2s,
         [](double h) { return Filling(100 - 30 * std::min(h, 40.0 / 60)); }, std::nullopt},
        {"a copy that stopped 5 minutes ago", 1h, 2s,
         [](double h) { return Filling(100 - 30 * std::min(h, 55.0 / 60)); }, std::nullopt},
        {"the volume grew 5 minutes ago", 65min, 2s,
         [](double h) { return h < 1 ? Filling(100 - 10 * h) : Filling(200 - 10 * h, 600); },
         std::nullopt},
        {"the volume grew 15 minutes ago: from there on", 75min, 2s,
         [](double h) { return h < 1 ? Filling(100 - 10 * h) : Filling(200 - 10 * h, 600); },
         std::pair{18.74, 18.76}},
        {"beyond a week", 1h, 2s, [](double h) { return Filling(100 - 0.5 * h); }, std::nullopt},
        {"within a week", 1h, 2s, [](double h) { return Filling(100 - 0.6 * h); },
         std::pair{165.6, 165.7}},
        {"full for half an hour: nothing left to fill", 1h, 2s,
         [](double h) { return Filling(std::max(0.0, 5 - 10 * h)); }, std::nullopt},
        {"readings that fail or cannot be leave the fill as it is", 1h, 2s,
         [](double h) {
             const int kind = static_cast<int>(std::llround(h * 1800)) % 4;
             return kind == 1   ? Reading{-1, -1}
                    : kind == 2 ? Reading{0, 0}
                    : kind == 3 ? Filling(501)
                                : Filling(100 - 10 * h);
         },
         std::pair{8.99, 9.01}},
    };
    for (const Row &row : rows) {
        const VolumeHistory history = Readings(row.end, row.step, row.volume);
        const auto left = TimeToFull(history, row.end);
        if (!row.hours) {
            EXPECT_FALSE(left) << row.name << ": " << Hours(left.value_or(0s)) << " hours";
            continue;
        }
        ASSERT_TRUE(left) << row.name;
        EXPECT_GE(Hours(*left), row.hours->first) << row.name;
        EXPECT_LE(Hours(*left), row.hours->second) << row.name;
    }
}

TEST(TimeToFull, CountsFromNow)
{
    // 10 GiB an hour, readings ending with 0.5 GiB left: full 3 minutes after the last one.
    const VolumeHistory history = Readings(1h, 2s, [](double h) { return Filling(10.5 - 10 * h); });
    struct Row
    {
        const char *name;
        Microseconds now;
        std::optional<std::chrono::seconds> left;
    };
    const Row rows[] = {
        {"at the last reading", 1h, 3min},
        {"2 minutes on", 62min, 1min},
        {"the pace has filled it since: 0, never below", 1h + 299s, 0s},
        {"the last reading more than 5 minutes ago", 1h + 301s, std::nullopt},
        {"readings after now do not count", 50min, 13min},
    };
    for (const Row &row : rows) {
        const auto left = TimeToFull(history, row.now);
        ASSERT_EQ(left.has_value(), row.left.has_value()) << row.name;
        if (row.left) {
            EXPECT_NEAR(static_cast<double>(left->count()), static_cast<double>(row.left->count()),
                        2)
                << row.name;
        }
    }
}

TEST(VolumeHistory, TakesOnlyReadingsThatCanBe)
{
    struct Row
    {
        const char *name;
        Microseconds time;
        int64_t totalBytes, freeBytes;
        bool taken;
        size_t samples; // afterwards
    };
    // After a reading of 100 GiB total, 40 GiB free at 10 s.
    const Row rows[] = {
        {"a later reading", 12s, 100 * GiB, 39 * GiB, true, 2},
        {"full", 12s, 100 * GiB, 0, true, 2},
        {"a failed reading", 12s, -1, -1, false, 1},
        {"capacity 0", 12s, 0, 0, false, 1},
        {"more free than capacity", 12s, 100 * GiB, 100 * GiB + 1, false, 1},
        {"negative free space", 12s, 100 * GiB, -5, false, 1},
        {"at the same time", 10s, 100 * GiB, 39 * GiB, false, 1},
        {"earlier", 8s, 100 * GiB, 39 * GiB, false, 1},
        {"capacity 1 % smaller: a drift", 12s, 99 * GiB, 39 * GiB, true, 2},
        {"capacity 1 % and a byte larger: another volume", 12s, 101 * GiB + 1, 39 * GiB, true, 1},
        {"capacity doubled: another volume", 12s, 200 * GiB, 139 * GiB, true, 1},
    };
    for (const Row &row : rows) {
        VolumeHistory history;
        ASSERT_TRUE(history.Add(10s, 100 * GiB, 40 * GiB));
        EXPECT_EQ(history.Add(row.time, row.totalBytes, row.freeBytes), row.taken) << row.name;
        EXPECT_EQ(history.Samples().size(), row.samples) << row.name;
        EXPECT_EQ(history.TotalBytes(), row.taken ? row.totalBytes : 100 * GiB) << row.name;
        EXPECT_EQ(history.Samples().back(),
                  (row.taken ? FreeSample{row.time, row.freeBytes} : FreeSample{10s, 40 * GiB}))
            << row.name;
    }
}

TEST(VolumeHistory, ADayOfReadingsStaysWithin64KiBAndKeepsTheWholeRun)
{
    struct Row
    {
        const char *name;
        Microseconds step;
        size_t lastHour; // readings of the last hour kept
    };
    const Row rows[] = {
        {"every 2 s: the last hour whole", 2s, 1801},
        {"every minute: the last hour whole", 1min, 61},
        {"every second: the last hour at half resolution or better", 1s, 1800},
    };
    for (const Row &row : rows) {
        const Microseconds end = 24h;
        const VolumeHistory history =
            Readings(end, row.step, [](double h) { return Filling(100 - 0.1 * h); });
        const std::vector<FreeSample> &samples = history.Samples();
        EXPECT_LE(samples.capacity() * sizeof(FreeSample), size_t{64 * 1024}) << row.name;
        EXPECT_EQ(samples.front().time, 0s) << row.name << ": the run's first reading";
        EXPECT_EQ(samples.back().time, end) << row.name;
        const auto lastHour =
            std::count_if(samples.begin(), samples.end(),
                          [&](const FreeSample &s) { return s.time >= end - 1h; });
        EXPECT_GE(static_cast<size_t>(lastHour), row.lastHour) << row.name;
        // Every hour of the run is still there, however thinly.
        for (Microseconds hour{0}; hour < end; hour += 1h)
            EXPECT_TRUE(std::any_of(
                samples.begin(), samples.end(),
                [&](const FreeSample &s) { return s.time >= hour && s.time < hour + 1h; }))
                << row.name << ": hour " << hour.count() / 3600000000;
        // Thinning keeps the order and the readings themselves.
        for (size_t i = 1; i < samples.size(); ++i)
            ASSERT_LT(samples[i - 1].time, samples[i].time) << row.name;
    }
}

TEST(TimeToFullText, Rounding)
{
    struct Row
    {
        const char *name;
        std::chrono::seconds left;
        const char *text;
    };
    const Row rows[] = {
        {"negative counts as now", -5s, "voll in unter 1 Min."},
        {"now", 0s, "voll in unter 1 Min."},
        {"59 s", 59s, "voll in unter 1 Min."},
        {"1 minute", 60s, "voll in etwa 1 Min."},
        {"89 s rounds down", 89s, "voll in etwa 1 Min."},
        {"90 s rounds up", 90s, "voll in etwa 2 Min."},
        {"9 min 29 s", 9min + 29s, "voll in etwa 9 Min."},
        {"9 min 30 s: on to steps of 5", 9min + 30s, "voll in etwa 10 Min."},
        {"42 min 29 s", 42min + 29s, "voll in etwa 40 Min."},
        {"42 min 30 s", 42min + 30s, "voll in etwa 45 Min."},
        {"97 min 29 s, the last minutes", 97min + 29s, "voll in etwa 95 Min."},
        {"97 min 30 s: on to hours", 97min + 30s, "voll in etwa 2 Std."},
        {"3 hours", 3h, "voll in etwa 3 Std."},
        {"3 h 29 min", 3h + 29min, "voll in etwa 3 Std."},
        {"3 h 30 min", 3h + 30min, "voll in etwa 4 Std."},
        {"47 h 29 min", 47h + 29min, "voll in etwa 47 Std."},
        {"47 h 30 min: on to days", 47h + 30min, "voll in etwa 2 Tagen"},
        {"10 days", 240h, "voll in etwa 10 Tagen"},
        {"99 days and a half, less a second", 99 * 24h + 12h - 1s, "voll in etwa 99 Tagen"},
        {"99 days and a half", 99 * 24h + 12h, "voll in über 3 Monaten"},
        {"the largest time", std::chrono::seconds::max(), "voll in über 3 Monaten"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(TimeToFullText(row.left), row.text) << row.name;
}
