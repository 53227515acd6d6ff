#include "fill_trend.h"

#include <algorithm>
#include <cmath>
#include <iterator>

using namespace std::chrono_literals;

namespace {

constexpr Microseconds fitWindow = 1h;
constexpr Microseconds shortestSpan = 10min;
constexpr Microseconds recentPart = 5min;
constexpr Microseconds bucketWidth = 1min;
constexpr std::chrono::seconds horizon = 7 * 24h;
// With fewer points the medians below are too easily swayed by one of them.
constexpr size_t fewestPoints = 8;
constexpr size_t fewestRecentPoints = 3;

// A minute of readings as one point: the median time and the median free space, so that a
// single odd reading moves nothing.
struct Point
{
    double seconds = 0;
    double freeBytes = 0;
};

double seconds(Microseconds time)
{
    return std::chrono::duration<double>(time).count();
}

double median(std::vector<double> &values)
{
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    if (values.size() % 2 != 0)
        return *middle;
    return (*middle + *std::max_element(values.begin(), middle)) / 2;
}

// Theil-Sen: the median of the slopes between every two points, in bytes per second. Half the
// pairs would have to be off before it is; a least-squares line follows every outlier.
double medianSlope(std::vector<Point>::const_iterator first,
                   std::vector<Point>::const_iterator last)
{
    std::vector<double> slopes;
    for (auto i = first; i != last; ++i) {
        for (auto j = std::next(i); j != last; ++j)
            slopes.push_back((j->freeBytes - i->freeBytes) / (j->seconds - i->seconds));
    }
    return median(slopes);
}

std::vector<Point> minutePoints(std::vector<FreeSample>::const_iterator first,
                                std::vector<FreeSample>::const_iterator last, Microseconds start)
{
    std::vector<Point> points;
    std::vector<double> frees;
    while (first != last) {
        const auto bucket = (first->time - start) / bucketWidth;
        const auto end = std::find_if(first, last, [&](const FreeSample &s) {
            return (s.time - start) / bucketWidth != bucket;
        });
        frees.clear();
        for (auto s = first; s != end; ++s)
            frees.push_back(static_cast<double>(s->freeBytes));
        const auto upper = first + (end - first) / 2;
        const auto lower = first + (end - first - 1) / 2;
        points.push_back({seconds((lower->time + upper->time) / 2 - start), median(frees)});
        first = end;
    }
    return points;
}

// Moves the samples of [first, last) that lie at least a stride after the one kept before them
// (the first always) to `out` on, and returns the end of those kept; `out` trails `first`. The
// stride is the smallest of 0, 1 s, 2 s, 4 s, ... that keeps at most `room`, so that the readings
// stay evenly spread over the time they cover.
std::vector<FreeSample>::iterator thinEvenly(std::vector<FreeSample>::iterator first,
                                             std::vector<FreeSample>::iterator last,
                                             std::vector<FreeSample>::iterator out, size_t room)
{
    const auto keeps = [&](Microseconds stride, auto &&keep) {
        size_t count = 0;
        std::optional<Microseconds> previous;
        for (auto s = first; s != last; ++s) {
            if (previous && s->time - *previous < stride)
                continue;
            previous = s->time;
            keep(*s);
            ++count;
        }
        return count;
    };
    Microseconds stride{0};
    while (keeps(stride, [](const FreeSample &) {}) > room)
        stride = stride == Microseconds{0} ? Microseconds{1s} : 2 * stride;
    keeps(stride, [&](const FreeSample &s) { *out++ = s; });
    return out;
}

} // namespace

bool VolumeHistory::Add(Microseconds time, int64_t total, int64_t free)
{
    if (total <= 0 || free < 0 || free > total)
        return false;
    if (!samples.empty()) {
        if (time <= samples.back().time)
            return false;
        const int64_t change = total > totalBytes ? total - totalBytes : totalBytes - total;
        if (change > totalBytes / 100)
            samples.clear();
    }
    totalBytes = total;
    // Reserved whole at once: growing by doubling would reach past the bound.
    samples.reserve(Capacity);
    if (samples.size() == Capacity)
        thin(time);
    samples.push_back({time, free});
    return true;
}

void VolumeHistory::thin(Microseconds newest)
{
    const auto lastHour = std::partition_point(
        samples.begin(), samples.end(), [&](const auto &s) { return s.time < newest - fitWindow; });
    // A quarter of the room is freed at least, so that thinning is rare: at a reading every 2 s,
    // once in about 40 minutes.
    auto kept = thinEvenly(samples.begin(), lastHour, samples.begin(), Capacity / 4);
    kept = thinEvenly(lastHour, samples.end(), kept, Capacity / 2);
    samples.erase(kept, samples.end());
}

std::optional<std::chrono::seconds> TimeToFull(const VolumeHistory &history, Microseconds now)
{
    const std::vector<FreeSample> &samples = history.Samples();
    const Microseconds start = now - fitWindow;
    const auto first = std::partition_point(samples.begin(), samples.end(),
                                            [&](const FreeSample &s) { return s.time < start; });
    const auto last = std::partition_point(first, samples.end(),
                                           [&](const FreeSample &s) { return s.time <= now; });
    if (first == last)
        return std::nullopt;
    const FreeSample &newest = *std::prev(last);
    if (now - newest.time > recentPart || newest.time - first->time < shortestSpan)
        return std::nullopt;

    const std::vector<Point> points = minutePoints(first, last, start);
    if (points.size() < fewestPoints)
        return std::nullopt;
    const double slope = medianSlope(points.begin(), points.end());
    if (!(slope < 0))
        return std::nullopt;

    // Clearly: the hour's fall stands out from how far the minutes stray from the line (their
    // median distance, scaled to a standard deviation), which rules out noise around a flat line
    // and a sawtooth of writes and deletes that fills little in the end.
    std::vector<double> offsets;
    for (const Point &p : points)
        offsets.push_back(p.freeBytes - slope * p.seconds);
    const double offset = median(offsets);
    for (double &o : offsets)
        o = std::abs(o - offset);
    const double spread = 1.4826 * median(offsets);
    const double fall = -slope * (points.back().seconds - points.front().seconds);
    if (fall < 4 * spread)
        return std::nullopt;

    // Still: a copy that has stopped leaves the hour falling but its last minutes flat. The last
    // minutes are 5, or as many as the pace needs to fall by four times the spread, so that
    // noise cannot pass for a stop; with a fall of four spreads over the hour, at most its span.
    const double recentStart =
        points.back().seconds - std::max(seconds(recentPart), 4 * spread / -slope);
    const auto recent = std::find_if(points.begin(), points.end(),
                                     [&](const Point &p) { return p.seconds >= recentStart; });
    if (points.end() - recent < static_cast<std::ptrdiff_t>(fewestRecentPoints) ||
        !(medianSlope(recent, points.end()) <= slope / 2))
        return std::nullopt;

    const double freeNow =
        static_cast<double>(newest.freeBytes) + slope * seconds(now - newest.time);
    if (freeNow <= 0)
        return std::chrono::seconds{0};
    const double left = freeNow / -slope;
    if (left > static_cast<double>(horizon.count()))
        return std::nullopt;
    return std::chrono::seconds{static_cast<int64_t>(left)};
}

std::string TimeToFullText(std::chrono::seconds timeToFull)
{
    const int64_t s = std::max<int64_t>(timeToFull.count(), 0);
    // Each unit rounds to the nearest step; a step up comes where rounding would reach the next
    // unit's range, so that no text says "100 Min." or "48 Std.".
    if (s < 60)
        return "voll in unter 1 Min.";
    if (s < 570)
        return "voll in etwa " + std::to_string((s + 30) / 60) + " Min.";
    if (s < 5850)
        return "voll in etwa " + std::to_string((s + 150) / 300 * 5) + " Min.";
    if (s < 171000)
        return "voll in etwa " + std::to_string((s + 1800) / 3600) + " Std.";
    if (s < 8596800)
        return "voll in etwa " + std::to_string((s + 43200) / 86400) + " Tagen";
    return "voll in über 3 Monaten";
}
