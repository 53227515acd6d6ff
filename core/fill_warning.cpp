#include "fill_warning.h"

#include "number_format.h"

using namespace std::chrono_literals;

namespace {

constexpr int64_t GiB = int64_t{1} << 30;
constexpr int64_t MiB = int64_t{1} << 20;
constexpr Microseconds quietTime = 10min;

bool possible(int64_t totalBytes, int64_t freeBytes)
{
    return totalBytes > 0 && freeBytes >= 0 && freeBytes <= totalBytes;
}

// part / whole < numerator / denominator, exactly for any byte counts: part x denominator would
// overflow from 92 PB on.
bool shareBelow(int64_t part, int64_t whole, int64_t numerator, int64_t denominator)
{
    // whole x numerator = q x denominator x numerator + r x numerator
    const int64_t q = whole / denominator;
    const int64_t r = whole % denominator;
    const int64_t d = part - q * numerator;
    if (d < 0)
        return true;
    if (d >= numerator)
        return false;
    return d * denominator < r * numerator;
}

} // namespace

WarningLevel WarningLevelOf(int64_t totalBytes, int64_t freeBytes, bool readOnly,
                            std::optional<std::chrono::seconds> timeToFull)
{
    if (readOnly || !possible(totalBytes, freeBytes))
        return WarningLevel::None;
    // A prediction below 0 (a line that crossed zero already) is full as well.
    if ((shareBelow(freeBytes, totalBytes, 5, 100) && freeBytes < 10 * GiB) ||
        (timeToFull && *timeToFull <= 4h))
        return WarningLevel::Critical;
    if (timeToFull && *timeToFull <= 24h && shareBelow(freeBytes, totalBytes, 40, 100))
        return WarningLevel::Warning;
    return WarningLevel::None;
}

bool WarningMemory::NoticeDue(WarningLevel level, int64_t totalBytes, int64_t freeBytes,
                              Microseconds now)
{
    if (!possible(totalBytes, freeBytes))
        return false;
    // A level below the one told means the condition told about has cleared: its return is
    // news again.
    if (level < told)
        told = level;
    const int64_t onePercent = totalBytes / 100 + (totalBytes % 100 != 0);
    const bool news =
        level > told || (level != WarningLevel::None && toldFree - freeBytes >= onePercent);
    if (!news || (toldAt && now - *toldAt < quietTime))
        return false;
    told = level;
    toldFree = freeBytes;
    toldAt = now;
    return true;
}

std::string WarningTitle(WarningLevel level, const std::string &drive)
{
    return "Laufwerk " + drive + (level == WarningLevel::Critical ? " fast voll" : " bald voll");
}

std::string WarningText(int64_t totalBytes, int64_t freeBytes,
                        std::optional<std::chrono::seconds> timeToFull, const std::string &mount)
{
    std::string text = "Noch ";
    text += freeBytes < GiB ? FormatGB(freeBytes / MiB) + " MB" : FormatGB(freeBytes / GiB) + " GB";
    text += " frei (";
    text +=
        totalBytes > 0
            ? FormatPercent(static_cast<double>(freeBytes) * 100 / static_cast<double>(totalBytes))
            : "0";
    text += "%)";
    text += timeToFull ? ", " + TimeToFullText(*timeToFull) : ".";
    if (!mount.empty())
        text += "\n" + mount;
    return text;
}
