#include "drive_report.h"

#include "number_format.h"
#include "volume_source.h"

#include <algorithm>

void ReportDrive(Pass &pass, DriveNo number, DriveReport &report)
{
    report = DriveReport{};
    report.number = number;
    report.exists = DriveExists(pass, DriveLetter(number));
    if (!report.exists)
        return;
    report.stats = ReadDriveStats(pass, number);
    if (const std::optional<VolumeSpace> space = pass.space(DriveRoot(number)))
        report.space = *space;
    if (!(report.stats.TotalGB > 0))
        return; // drives below one whole GiB get no window
    const DriveIdentity identity = pass.identity(DriveRoot(number));
    report.description = identity.description;
    report.key = identity.key;
    report.window = true;
}

std::vector<DriveReport> ReportDrives(VolumeSource &source, DriveNo first, DriveNo last)
{
    const std::unique_ptr<Pass> pass = source.open();
    pass->ask(DriveRoots(first, last));
    return ReportDrives(*pass, first, last);
}

std::vector<DriveReport> ReportDrives(Pass &pass, DriveNo first, DriveNo last)
{
    const int step = first <= last ? 1 : -1;
    std::vector<DriveReport> reports(static_cast<size_t>((last - first) * step + 1));
    int number = first;
    for (DriveReport &report : reports) {
        try {
            ReportDrive(pass, static_cast<DriveNo>(number), report);
        } catch (...) {
            report.window = false;
        }
        number += step;
    }
    return reports;
}

std::vector<WindowedDrive> WindowsOf(const std::vector<DriveReport> &reports)
{
    std::vector<WindowedDrive> windows;
    for (const DriveReport &report : reports) {
        if (report.window)
            windows.push_back({report.number, report.description, report.key});
    }
    std::sort(windows.begin(), windows.end(),
              [](const WindowedDrive &a, const WindowedDrive &b) { return a.number < b.number; });
    return windows;
}

namespace {

bool sameMount(const WindowedDrive &a, const WindowedDrive &b)
{
    return a.number == b.number && a.key == b.key;
}

} // namespace

std::vector<WindowedDrive> DriveWindowsNow(VolumeSource &source,
                                           const std::vector<WindowedDrive> &shown)
{
    std::vector<WindowedDrive> windows;
    std::vector<DriveNo> unknown;
    const std::unique_ptr<Pass> pass = source.open();
    for (DriveNo number = 3; number <= 26; ++number) {
        try {
            // A host that cannot tell one mount from another (an empty key) has every drive
            // probed.
            const DriveIdentity identity = pass->identity(DriveRoot(number));
            const WindowedDrive unasked{number, identity.description, identity.key};
            if (!identity.key.empty() &&
                std::any_of(shown.begin(), shown.end(), [&](const WindowedDrive &window) {
                    return sameMount(window, unasked);
                })) {
                windows.push_back(unasked);
                continue;
            }
            unknown.push_back(number);
        } catch (...) {
            // As in a scan: a drive that fails gets no window.
        }
    }
    std::vector<std::u16string> roots;
    for (const DriveNo number : unknown)
        roots.push_back(DriveRoot(number));
    pass->ask(roots);
    for (const DriveNo number : unknown) {
        try {
            DriveReport report;
            ReportDrive(*pass, number, report);
            if (report.window)
                windows.push_back({number, report.description, report.key});
        } catch (...) {
        }
    }
    std::sort(windows.begin(), windows.end(),
              [](const WindowedDrive &a, const WindowedDrive &b) { return a.number < b.number; });
    return windows;
}

bool WindowsChanged(const std::vector<WindowedDrive> &now, const std::vector<WindowedDrive> &shown)
{
    return !std::equal(now.begin(), now.end(), shown.begin(), shown.end(), sameMount);
}

namespace {

std::string gigabyteText(int64_t value)
{
    return FormatGB(value) + " GB =";
}

std::string percentText(int64_t part, int64_t total)
{
    return FormatPercent(PercentOf(part, total)) + "%";
}

std::string shareText(int64_t part, int64_t total)
{
    // With nothing to share out (no drive reaches one GiB) both shares read 0.00 %, never a
    // quotient of zero by zero.
    const double share = total > 0 ? PercentOf(part, total) : 0.0;
    return FormatPercentFixed(share) + " %";
}

} // namespace

DriveFigures FiguresOf(const DriveStats &stats)
{
    DriveFigures figures;
    figures.usedGB = gigabyteText(stats.UsedGB);
    figures.usedPercent = percentText(stats.UsedGB, stats.TotalGB);
    figures.freeGB = gigabyteText(stats.FreeGB);
    figures.freePercent = percentText(stats.FreeGB, stats.TotalGB);
    figures.totalGB = gigabyteText(stats.TotalGB);
    figures.totalPercent = percentText(stats.TotalGB, stats.TotalGB);
    figures.usedPoint = static_cast<double>(stats.UsedGB);
    figures.freePoint = static_cast<double>(stats.FreeGB);
    return figures;
}

DriveStats StatsOf(const VolumeSpace &space)
{
    DriveStats stats;
    stats.TotalGB = BytesToGB(space.totalBytes);
    stats.FreeGB = BytesToGB(space.freeBytes);
    stats.UsedGB = stats.TotalGB - stats.FreeGB;
    return stats;
}

std::string DriveCaption(DriveNo number, const std::string &machine, FillMark mark)
{
    const std::u16string root = DriveRoot(number);
    std::string caption(root.begin(), root.end());
    if (!machine.empty())
        caption += " \u2013 " + machine;
    if (mark == FillMark::Nearly)
        caption += " \u2013 fast voll";
    else if (mark == FillMark::Soon)
        caption += " \u2013 bald voll";
    return caption;
}

std::string DriveHint(DriveNo number, const std::string &description, const std::string &timeToFull)
{
    if (description.empty() && timeToFull.empty())
        return {};
    const std::u16string root = DriveRoot(number);
    std::string hint(root.begin(), root.end());
    if (!description.empty())
        hint += " = " + description;
    if (!timeToFull.empty())
        hint += " \u2013 " + timeToFull;
    return hint;
}

OverviewFigures OverviewOf(const std::vector<DriveReport> &reports)
{
    OverviewFigures figures;
    for (const DriveReport &report : reports) {
        if (!report.exists)
            continue;
        figures.driveList += static_cast<char>(DriveLetter(report.number));
        figures.driveList += ":  ";
        figures.totalGB += report.stats.TotalGB;
        figures.freeGB += report.stats.FreeGB;
        figures.usedGB += report.stats.UsedGB;
    }
    figures.freeText = FormatSumGB(figures.freeGB) + " GB";
    figures.freeShare = shareText(figures.freeGB, figures.totalGB);
    figures.usedText = FormatSumGB(figures.usedGB) + " GB";
    figures.usedShare = shareText(figures.usedGB, figures.totalGB);
    figures.totalText = FormatSumGB(figures.totalGB) + " GB";
    figures.totalShare = "100.00 %";
    return figures;
}
