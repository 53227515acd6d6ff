#pragma once

#include "host_pass.h"
#include "mount_table.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <sys/statvfs.h>

// Drive letters on Linux: C: is the volume holding "/", D:, E:, ... the other volumes in
// ascending byte order of their mount points. Figures count only when they come from the very
// volume the letter stands for: a volume whose mount point no longer leads to it gives none.
//
// A pass looks at the mount table once, when it is opened (one poll() that does not wait, and a
// new reading if the kernel says the table changed), and asks each drive once. A mount's first
// answer is confirmed by its mount ID (statx, against the table's) and by the table not having
// changed meanwhile; later answers by the filesystem ID statvfs gives with the figures. Where
// either check finds the table stale, the pass reads it again and asks once more.
class LinuxVolumeSource : public HostVolumes
{
public:
    using StatFunction = std::function<int(const char *path, struct statvfs *result)>;
    // The mount a path leads to now: its ID, 0 where the kernel cannot tell, nothing where the
    // path leads nowhere.
    using MountFunction = std::function<std::optional<uint64_t>(const char *path)>;

    LinuxVolumeSource();
    // For tests: another mount table, another statvfs, another bound for volumes that may hang,
    // and another way to tell which mount a path leads to. With a recorded table and none, the
    // table's mount IDs are nothing this kernel could check, and its volumes are taken at their
    // word.
    LinuxVolumeSource(std::string mountInfoPath, StatFunction stat, std::chrono::milliseconds bound,
                      MountFunction mountAt = {});
    ~LinuxVolumeSource() override;
    LinuxVolumeSource(const LinuxVolumeSource &) = delete;
    LinuxVolumeSource &operator=(const LinuxVolumeSource &) = delete;

private:
    // What was learnt of a mount, by its mount ID and device.
    struct Confirmation
    {
        // Its mount point led to it, and the filesystem ID seen then has been seen since.
        bool confirmed = false;
        uint64_t fsid = 0;
        // The filesystem last answered under this mount ID and device (its filesystem ID, or
        // its never reused mount ID), its options then, and how often another filesystem took
        // its place since: the kernel gives a freed mount ID and device to the next mount.
        bool answered = false;
        uint64_t instance = 0;
        std::string options;
        int generation = 0;
    };

    Drives List() override;
    bool Identify(const HostDrive &drive) override;
    Verdict Check(const HostDrive &drive, const HostAnswer &answer) override;
    std::optional<HostDrive> Reread(const HostDrive &drive) override;
    std::optional<VolumeSpace> CurrentDrive() override;
    DriveIdentity IdentityOf(const HostDrive &drive) override;

    void accepted(const HostDrive &drive, const HostAnswer &answer, Confirmation &known);
    const std::string &optionsOf(const std::string &key) const;

    bool tableChanged();
    void readTable();
    HostDrive driveOf(const Volume &volume, size_t index) const;

    std::string mountInfoPath;
    StatFunction stat;
    MountFunction mountAt;
    std::vector<Volume> volumes;
    // The table's volumes as drives, and their options by key, as of the last reading.
    Drives drives = std::make_shared<std::vector<HostDrive>>();
    std::map<std::string, std::string> optionsByKey;
    std::map<std::string, Confirmation> confirmations;
    // The kernel's table, kept open: poll() on it tells whether the table changed since the
    // last poll. Any other file (a recorded table) cannot tell; its text is compared instead.
    int tableFd = -1;
    bool watchable = false;
    bool tableRead = false; // whole, at the last reading
    std::string tableText;
    // A poll saw the table change since it was read.
    bool changed = false;
};

// Capacity and the caller's free bytes from a statvfs answer: products beyond the signed 64-bit
// range saturate, and free space never exceeds the capacity.
VolumeSpace SpaceFromStatvfs(const struct statvfs &answer);

// What the drive stands for, for people: "/ (ext4, /dev/vda)".
std::string DescribeVolume(const Volume &volume);
