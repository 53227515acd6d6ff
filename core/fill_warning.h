#pragma once

#include "fill_trend.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

enum class WarningLevel { None, Warning, Critical };

// How urgently a volume is filling up. Critical: below 5 % and below 10 GiB free, or full within
// 4 hours. Warning: full within 24 hours while below 40 % free. A read-only volume cannot fill
// and never warns; nor do figures that cannot be (capacity 0 or below, free space negative or
// beyond the capacity). The time to full is the caller's: estimated here from this run's
// readings (TimeToFull), or predicted elsewhere for a volume on another machine.
WarningLevel WarningLevelOf(int64_t totalBytes, int64_t freeBytes, bool readOnly,
                            std::optional<std::chrono::seconds> timeToFull);

// Whether to tell the user about one volume's level, so that a volume warns once per level:
// again only once its free space has fallen by another 1 % of its capacity since the last
// notice, or after its condition cleared and came back, and never twice within 10 minutes. A
// notice held back by the 10 minutes comes later, if its condition still holds.
class WarningMemory
{
public:
    // True when the user is to be told now about `level`; the notice then counts as given.
    // Figures that cannot be (see WarningLevelOf) change nothing: one odd reading neither
    // clears a condition nor brings it back.
    bool NoticeDue(WarningLevel level, int64_t totalBytes, int64_t freeBytes, Microseconds now);

private:
    // The highest level still in force since the last notice, and that notice's figures.
    WarningLevel told = WarningLevel::None;
    int64_t toldFree = 0;
    std::optional<Microseconds> toldAt;
};

// The notice's title and text, in German: "Laufwerk C:\ fast voll" (critical) or
// "Laufwerk C:\ bald voll", and "Noch 3 GB frei (4%), voll in etwa 3 Std." with free space in
// whole GiB (whole MiB below 1 GiB) and percent as the drive window shows them, then the mount
// on a line of its own. `drive` is the root text ("C:\"), `mount` what the host calls the
// volume (may be empty).
std::string WarningTitle(WarningLevel level, const std::string &drive);
std::string WarningText(int64_t totalBytes, int64_t freeBytes,
                        std::optional<std::chrono::seconds> timeToFull, const std::string &mount);
