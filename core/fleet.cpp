#include "fleet.h"

#include "drive_stats.h"
#include "number_format.h"
#include "uGlobal.h"
#include "volume_rules.h"

#include <algorithm>
#include <map>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

namespace {

// A machine gone from the answers is kept this long after its figures were last fresh.
constexpr std::chrono::hours forgetAfter{24};

bool namesFilesystem(std::string_view device)
{
    return device.find('/') != std::string_view::npos || device.find(':') != std::string_view::npos;
}

Machine unreachable(const Machine &last)
{
    Machine machine = last;
    machine.up = false;
    machine.stale = false;
    return machine;
}

bool byName(const Machine &a, const Machine &b)
{
    const std::string nameA = MachineName(a);
    const std::string nameB = MachineName(b);
    return std::tie(nameA, a.instance) < std::tie(nameB, b.instance);
}

std::string gigabytes(int64_t value)
{
    return FormatGB(value) + " GB";
}

} // namespace

std::string MachineName(const Machine &machine)
{
    return machine.nodename.empty() ? machine.instance : machine.nodename;
}

FleetSnapshot NextSnapshot(const FleetSnapshot &previous, FleetAnswer answer,
                           std::chrono::milliseconds scrapeInterval)
{
    std::unordered_map<std::string_view, const Machine *> before;
    for (const Machine &machine : previous.machines)
        before.emplace(machine.instance, &machine);

    FleetSnapshot next;
    next.fetchedAt = answer.time;
    next.machines.reserve(std::max(answer.machines.size(), previous.machines.size()));
    std::unordered_set<std::string> answered;
    for (MachineAnswer &given : answer.machines) {
        if (!answered.insert(given.instance).second)
            continue; // the first answer for an instance counts
        const auto last = before.find(given.instance);
        const bool hadFigures = last != before.end() && !last->second->filesystems.empty();
        Machine machine;
        if (last != before.end())
            machine.nodename = last->second->nodename;
        if (!given.filesystems.empty() && given.up.value_or(true)) {
            machine.up = true;
            const FleetTime seen = given.seen.value_or(answer.time);
            machine.lastSeen = seen;
            machine.stale = answer.time - seen > 3 * scrapeInterval;
            machine.filesystems = std::move(given.filesystems);
        } else if (hadFigures) {
            // Down, or up but without its figures this once: what it last gave stays.
            machine = unreachable(*last->second);
        } else if (given.up == true) {
            machine.up = true; // answering, with no filesystems to report
            machine.lastSeen = answer.time;
        } else if (last != before.end()) {
            machine = unreachable(*last->second);
        }
        machine.instance = std::move(given.instance);
        if (!given.nodename.empty())
            machine.nodename = std::move(given.nodename);
        next.machines.push_back(std::move(machine));
    }
    for (const Machine &machine : previous.machines) {
        if (answered.count(machine.instance) || !machine.lastSeen ||
            answer.time - *machine.lastSeen > forgetAfter)
            continue;
        next.machines.push_back(unreachable(machine));
    }
    std::sort(next.machines.begin(), next.machines.end(), byName);
    return next;
}

FleetSnapshot FailedSnapshot(const FleetSnapshot &previous, std::string problem)
{
    FleetSnapshot next = previous;
    next.old = true;
    next.problem = std::move(problem);
    return next;
}

std::vector<RemoteDrive> RemoteDrives(const std::vector<RemoteFilesystem> &filesystems,
                                      size_t limit)
{
    std::optional<size_t> root;
    for (size_t i = 0; i < filesystems.size() && !root; ++i) {
        if (filesystems[i].mountPoint == "/")
            root = i;
    }
    const std::string rootDevice =
        root && namesFilesystem(filesystems[*root].device) ? filesystems[*root].device : "";

    // A filesystem mounted several times is one volume, at its shortest mount point; one mount
    // point is one volume.
    const auto counts = [&](const RemoteFilesystem &fs) {
        return fs.mountPoint != "/" && (rootDevice.empty() || fs.device != rootDevice) &&
               !IsLeftOut(fs.fsType, fs.mountPoint, fs.device);
    };
    std::map<std::string_view, size_t> byDevice;
    for (size_t i = 0; i < filesystems.size(); ++i) {
        const RemoteFilesystem &fs = filesystems[i];
        if (!counts(fs) || !namesFilesystem(fs.device))
            continue;
        const auto [best, added] = byDevice.emplace(fs.device, i);
        const std::string &bestPoint = filesystems[best->second].mountPoint;
        if (!added && (fs.mountPoint.size() < bestPoint.size() ||
                       (fs.mountPoint.size() == bestPoint.size() && fs.mountPoint < bestPoint)))
            best->second = i;
    }
    std::map<std::string_view, size_t> byPoint;
    for (size_t i = 0; i < filesystems.size(); ++i) {
        const RemoteFilesystem &fs = filesystems[i];
        if (counts(fs) && (!namesFilesystem(fs.device) || byDevice.at(fs.device) == i))
            byPoint.emplace(fs.mountPoint, i);
    }

    std::vector<RemoteDrive> drives;
    if (root && limit > 0)
        drives.push_back({'C', *root});
    char letter = 'D';
    for (const auto &[point, index] : byPoint) {
        if (drives.size() >= limit || letter > 'Z')
            break;
        drives.push_back({letter++, index});
    }
    return drives;
}

std::vector<FleetRow> FleetRows(const FleetSnapshot &snapshot)
{
    std::vector<FleetRow> rows;
    for (size_t m = 0; m < snapshot.machines.size(); ++m) {
        const Machine &machine = snapshot.machines[m];
        const std::string name = MachineName(machine);
        for (const RemoteDrive &drive : RemoteDrives(machine.filesystems)) {
            const RemoteFilesystem &fs = machine.filesystems[drive.filesystem];
            const int64_t totalGB = BytesToGB(fs.sizeBytes);
            if (totalGB < 1)
                continue;
            const int64_t freeGB = BytesToGB(fs.availBytes);
            FleetRow row;
            row.machine = m;
            row.filesystem = drive.filesystem;
            row.letter = drive.letter;
            row.machineName = name;
            row.mountPoint = fs.mountPoint;
            row.size = gigabytes(totalGB);
            row.free = gigabytes(freeGB);
            row.used = gigabytes(totalGB - freeGB);
            row.percent = FormatPercent(PercentOf(totalGB - freeGB, totalGB)) + "%";
            row.freeShare = static_cast<double>(fs.availBytes) / static_cast<double>(fs.sizeBytes);
            row.timeToFull = fs.timeToFull;
            if (fs.timeToFull)
                row.timeToFullText = TimeToFullText(*fs.timeToFull);
            row.warning = WarningLevelOf(fs.sizeBytes, fs.availBytes, fs.readOnly, fs.timeToFull);
            row.up = machine.up;
            row.stale = machine.stale;
            row.lastSeen = machine.lastSeen;
            rows.push_back(std::move(row));
        }
    }
    std::stable_sort(rows.begin(), rows.end(), [](const FleetRow &a, const FleetRow &b) {
        return std::tie(a.freeShare, a.machineName, a.mountPoint) <
               std::tie(b.freeShare, b.machineName, b.mountPoint);
    });
    return rows;
}
