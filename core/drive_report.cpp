#include "drive_report.h"

#include "number_format.h"
#include "volume_source.h"

#include <algorithm>

void ReportDrive(DriveNo number, DriveReport &report)
{
    report = DriveReport{};
    report.number = number;
    report.exists = DriveExists(DriveLetter(number));
    if (!report.exists)
        return;
    report.stats = ReadDriveStats(number);
    if (!(report.stats.TotalGB > 0))
        return; // drives below one whole GiB get no window
    report.description = DriveDescription(number);
    report.window = true;
}

std::vector<DriveReport> ReportDrives(DriveNo first, DriveNo last)
{
    const DriveScan pass;
    const int step = first <= last ? 1 : -1;
    std::vector<DriveReport> reports(static_cast<size_t>((last - first) * step + 1));
    int number = first;
    for (DriveReport &report : reports) {
        try {
            ReportDrive(static_cast<DriveNo>(number), report);
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
            windows.push_back({report.number, report.description});
    }
    std::sort(windows.begin(), windows.end(),
              [](const WindowedDrive &a, const WindowedDrive &b) { return a.number < b.number; });
    return windows;
}

std::vector<WindowedDrive> DriveWindowsNow(const std::vector<WindowedDrive> &shown)
{
    std::vector<WindowedDrive> windows;
    for (DriveNo number = 3; number <= 26; ++number) {
        try {
            // A host that names no mounts (an empty description) has every drive probed.
            const std::string description = DriveDescription(number);
            const WindowedDrive unasked{number, description};
            if (!description.empty() &&
                std::find(shown.begin(), shown.end(), unasked) != shown.end()) {
                windows.push_back(unasked);
                continue;
            }
            DriveReport report;
            ReportDrive(number, report);
            if (report.window)
                windows.push_back({number, report.description});
        } catch (...) {
            // As in a scan: a drive that fails gets no window.
        }
    }
    return windows;
}

bool WindowsChanged(const std::vector<WindowedDrive> &now, const std::vector<WindowedDrive> &shown)
{
    return now != shown;
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
