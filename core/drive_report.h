#pragma once

#include "drive_stats.h"
#include "volume_source.h"

#include <string>
#include <vector>

// What one probe of a drive found: whether the letter stands for a usable drive, its figures,
// and whether it gets a drive window.
struct DriveReport
{
    DriveNo number = 0;
    bool exists = false;
    // Zero where the figures could not be read.
    DriveStats stats;
    // At least one whole GiB and everything about it read: the drive gets a window.
    bool window = false;
    // What the host calls the drive, for people, and which mount it is; asked only for drives
    // that get a window.
    std::string description;
    std::string key;
    // The host's answer the figures come from, in bytes.
    VolumeSpace space;
};

// Probes one drive in the pass: the existence test, then its figures, then (for a drive that
// gets a window) what it stands for. A failure half-way leaves what was learnt before it in
// `report` and passes the failure on.
void ReportDrive(Pass &pass, DriveNo number, DriveReport &report);

// Every drive from `first` to `last` (either way round), in that order, in one pass over the
// source. A failure while probing one drive ends that drive's probe and nothing else.
std::vector<DriveReport> ReportDrives(VolumeSource &source, DriveNo first = 3, DriveNo last = 26);
// The same in a pass already open, whose drives have been announced with `ask`.
std::vector<DriveReport> ReportDrives(Pass &pass, DriveNo first = 3, DriveNo last = 26);

// A drive that gets a window in a scan: the drive and the mount its window stands for.
struct WindowedDrive
{
    DriveNo number = 0;
    std::string description;
    std::string key;
    bool operator==(const WindowedDrive &) const = default;
};

// The windows a scan of `reports` opens, in ascending letter order.
std::vector<WindowedDrive> WindowsOf(const std::vector<DriveReport> &reports);

// The windows a scan would open now, in ascending letter order, in one pass. A drive whose
// mount is still the one a window in `shown` stands for keeps its window unasked: its mount
// comes from the host's list and never waits, while its figures might (a dead server). Every
// other drive is probed in full, all of them side by side.
std::vector<WindowedDrive> DriveWindowsNow(VolumeSource &source,
                                           const std::vector<WindowedDrive> &shown);

// Whether the windows a scan would open now differ from those shown, so that a refresh would
// change what is on screen. Only letters and mounts count (a drive's key: on Linux its mount ID
// and device): a remount with other options, a volume below one GiB, a container's layers or a
// change of figures leave both alike.
bool WindowsChanged(const std::vector<WindowedDrive> &now, const std::vector<WindowedDrive> &shown);

// What a drive window shows: its six figures ("400 GB =", "43%") and its chart's two points.
struct DriveFigures
{
    std::string usedGB;
    std::string usedPercent;
    std::string freeGB;
    std::string freePercent;
    std::string totalGB;
    std::string totalPercent;
    double usedPoint = 0;
    double freePoint = 0;
};

// The caller guarantees TotalGB > 0: only such drives get a window.
DriveFigures FiguresOf(const DriveStats &stats);

// The figures of a host's answer in whole GiB, as a probe reads them.
DriveStats StatsOf(const VolumeSpace &space);

// A drive window's caption: its root text ("C:"), with the machine it is on where that is not
// this one ("C:\ – host-b"), and marked where the volume fills up ("C:\ – fast voll" when
// critical, "C:\ – bald voll" when it warns).
enum class FillMark { None, Soon, Nearly };
std::string DriveCaption(DriveNo number, const std::string &machine, FillMark mark);

// What the status bar says of a drive: "C:\ = / (ext4, /dev/vda)", and when it will be full where
// that is known ("C:\ = / (ext4, /dev/vda) – voll in etwa 3 Std."); empty where there is nothing
// to say.
std::string DriveHint(DriveNo number, const std::string &description,
                      const std::string &timeToFull);

// What the total overview shows: the letters of every usable drive ("C:  D:  "), the sums over
// all of them in whole GiB with their texts, and the shares of the total.
struct OverviewFigures
{
    std::string driveList;
    int64_t totalGB = 0;
    int64_t freeGB = 0;
    int64_t usedGB = 0;
    std::string freeText;
    std::string freeShare;
    std::string usedText;
    std::string usedShare;
    std::string totalText;
    std::string totalShare;
};

// Sums the drives that passed the existence test, those below one GiB included.
OverviewFigures OverviewOf(const std::vector<DriveReport> &reports);
