#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Times are steady-clock readings in microseconds since a moment the caller chooses; the core
// never reads a clock itself.
using Microseconds = std::chrono::microseconds;

// One reading of a volume's free space.
struct FreeSample
{
    Microseconds time{0};
    int64_t freeBytes = 0;

    friend bool operator==(const FreeSample &, const FreeSample &) = default;
};

// The readings of one volume during this run, in bounded memory: at most Capacity samples. When
// they are all taken, the last hour keeps up to half of them (at a reading every 2 s or slower,
// every one), and the older ones are thinned to a quarter, evenly over the whole run since its
// first reading, ever more sparsely the longer it runs.
class VolumeHistory
{
public:
    static constexpr size_t Capacity = 4000; // 62.5 KiB of samples

    // Takes a reading and tells whether it counts. A failed reading (negative figures), a
    // capacity of 0, more free than capacity, or a time not after the last reading's is left
    // out. A capacity that differs by more than 1 % from the last reading's is another volume
    // (resized, or something else mounted): the history starts over with this reading. Smaller
    // drifts (filesystems whose capacity follows a shared pool) keep it.
    bool Add(Microseconds time, int64_t totalBytes, int64_t freeBytes);

    // Oldest first.
    const std::vector<FreeSample> &Samples() const { return samples; }
    // The capacity of the last reading taken; 0 before the first.
    int64_t TotalBytes() const { return totalBytes; }

private:
    void thin(Microseconds newest);

    std::vector<FreeSample> samples;
    int64_t totalBytes = 0;
};

// How long until the volume is full at the pace its free space fell in the last hour before
// `now`, counted from `now`; nothing unless that is clear. It takes at least 10 minutes of
// readings and one from the last 5 minutes, and free space falling steadily: a pace that single
// outliers do not sway, a fall over the hour four times as large as the readings stray from it,
// and in the last minutes at least half that pace. Noise around a flat line, a sawtooth of writes
// and deletes, a copy that has stopped, or a fall so slow that it would take beyond a week give
// nothing. Never negative: a volume that the pace has filled by now gives 0.
std::optional<std::chrono::seconds> TimeToFull(const VolumeHistory &history, Microseconds now);

// A short German text for a time to full: "voll in etwa 3 Std.", in minutes below 100, in hours
// below two days, then in days up to 99, beyond them "voll in über 3 Monaten".
std::string TimeToFullText(std::chrono::seconds timeToFull);
