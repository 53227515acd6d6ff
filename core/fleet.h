#pragma once

#include "fill_warning.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Other machines' volumes as a Prometheus server knows them from each machine's node_exporter.
// Plain values: a snapshot is made whole on one thread and then only read.

using FleetTime = std::chrono::sys_time<std::chrono::milliseconds>;

// One filesystem of another machine, as its node_exporter reports it.
struct RemoteFilesystem
{
    std::string mountPoint;
    std::string device; // what was mounted: "/dev/sdb1", "nas:/export", "tmpfs"
    std::string fsType;
    int64_t sizeBytes = 0;
    int64_t availBytes = 0; // what a user, not root, may still write; never above sizeBytes
    bool readOnly = false;
    // When Prometheus' own history says the free space runs out; nothing where it does not
    // shrink or there is no history yet.
    std::optional<std::chrono::seconds> timeToFull;

    bool operator==(const RemoteFilesystem &) const = default;
};

struct Machine
{
    std::string instance; // Prometheus' name for the exporter: "host-b:9100"
    std::string nodename; // the machine's own name, where node_uname_info tells it
    // Its figures came with the last answer. A machine that is down, or gone from the answer,
    // keeps the figures it last gave.
    bool up = false;
    // Up, but its figures are older than three scrape intervals: a server in between (a
    // federating Prometheus) still hands on what it no longer receives.
    bool stale = false;
    std::optional<FleetTime> lastSeen;         // when its figures were last fresh; nothing: never
    std::vector<RemoteFilesystem> filesystems; // ordered by mount point, then device

    bool operator==(const Machine &) const = default;
};

struct FleetSnapshot
{
    std::vector<Machine> machines;      // ordered by MachineName, then instance
    std::optional<FleetTime> fetchedAt; // when the server last answered; nothing: never
    // The last query failed: the figures are those of fetchedAt, and `problem` says why.
    bool old = false;
    std::string problem;
};

// What one answer of the server tells about one machine.
struct MachineAnswer
{
    std::string instance;
    std::string nodename;
    std::optional<bool> up;        // from its `up` series; nothing where the server has none
    std::optional<FleetTime> seen; // the newest of its filesystem samples
    std::vector<RemoteFilesystem> filesystems;
};

struct FleetAnswer
{
    FleetTime time; // the moment the server evaluated the query at
    std::vector<MachineAnswer> machines;
};

// The machine's own name where known, else Prometheus' instance.
std::string MachineName(const Machine &machine);

// The snapshot after an answer: each machine answering with figures gets them; one that is down
// (`up` 0) or has no figures in it, or that is gone from the answer, keeps its last figures,
// marked not up with the time they were last fresh. A machine up that never had figures is up
// with none. A machine never seen with figures and gone
// from the answer is forgotten, and so is any machine unseen for a day.
FleetSnapshot NextSnapshot(const FleetSnapshot &previous, FleetAnswer answer,
                           std::chrono::milliseconds scrapeInterval);

// The snapshot after a failed query: every figure stays, marked old, with the reason.
FleetSnapshot FailedSnapshot(const FleetSnapshot &previous, std::string problem);

// A drive letter of another machine and the filesystem it stands for.
struct RemoteDrive
{
    char letter = 'C';
    size_t filesystem = 0; // index into the filesystems it was chosen from

    bool operator==(const RemoteDrive &) const = default;
};

// The letters of a machine's volumes, by the rules of this machine's own: "/" is C: (without one
// C: stays empty), the others follow from D: in ascending byte order of their mount points, up to
// Z:. Pseudo, system and container mounts are left out, as are other mounts of the filesystem
// that holds "/" and all but the shortest mount point of any other filesystem. A device label
// names a filesystem only where it is a path or an export ("/dev/sdb1", "nas:/export"); the
// names of RAM disks and pseudo filesystems ("tmpfs", "none") are shared by unrelated ones, so
// each such mount counts alone. Of two filesystems reported at one mount point the first counts.
std::vector<RemoteDrive> RemoteDrives(const std::vector<RemoteFilesystem> &filesystems,
                                      size_t limit = 24);

// One line of the overview of all machines.
struct FleetRow
{
    size_t machine = 0;    // index into the snapshot's machines
    size_t filesystem = 0; // index into that machine's filesystems
    char letter = 'C';
    std::string machineName;
    std::string mountPoint;
    // As a drive window shows them: whole GiB ("931 GB"), the used share ("43%").
    std::string size;
    std::string free;
    std::string used;
    std::string percent;
    double freeShare = 0; // free bytes / size, 0..1
    std::optional<std::chrono::seconds> timeToFull;
    std::string timeToFullText; // "voll in etwa 3 Std."; empty without a time to full
    // By the rule this machine's own volumes warn by, on Prometheus' time to full.
    WarningLevel warning = WarningLevel::None;
    bool up = false;
    bool stale = false;
    std::optional<FleetTime> lastSeen;
};

// Every volume of every machine that would get a drive window (at least one whole GiB), the
// fullest first: by free share, then machine name, then mount point.
std::vector<FleetRow> FleetRows(const FleetSnapshot &snapshot);
