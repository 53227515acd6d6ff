#include "volume_source_linux.h"

#include "host_volume_source.h"
#include "uGlobal.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include <cerrno>

#include <fcntl.h>
#include <linux/magic.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

int64_t saturatingProduct(uint64_t a, uint64_t b)
{
    constexpr auto max = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    uint64_t product = 0;
    if (__builtin_mul_overflow(a, b, &product) || product > max)
        return std::numeric_limits<int64_t>::max();
    return static_cast<int64_t>(product);
}

#ifndef STATX_MNT_ID_UNIQUE
#define STATX_MNT_ID_UNIQUE 0x00004000U
#endif

// The never reused ID of the mount a path leads to (Linux 6.8 on); 0 where the kernel has none.
uint64_t kernelUniqueMountAt(const char *path)
{
    struct statx identity = {};
    if (::statx(AT_FDCWD, path, AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC, STATX_MNT_ID_UNIQUE,
                &identity) != 0)
        return 0;
    return (identity.stx_mask & STATX_MNT_ID_UNIQUE) ? identity.stx_mnt_id : 0;
}

// The mount a path leads to now: 0 where the kernel cannot tell (too old, or statx not allowed),
// nothing where the path leads nowhere.
std::optional<uint64_t> kernelMountAt(const char *path)
{
    struct statx identity = {};
    if (::statx(AT_FDCWD, path, AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC, STATX_MNT_ID, &identity) !=
        0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return std::nullopt;
        return 0;
    }
    return (identity.stx_mask & STATX_MNT_ID) ? identity.stx_mnt_id : 0;
}

// The whole file, or false where it could not be read to its end.
bool readWhole(const std::string &path, std::string &text)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buffer[8192];
    ssize_t count = 0;
    while ((count = ::read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<size_t>(count));
    ::close(fd);
    return count == 0;
}

// Which mount a volume is: its mount ID with its filesystem's device.
std::string keyOf(const Volume &volume)
{
    return std::to_string(volume.mountId) + ' ' + volume.device;
}

} // namespace

VolumeSpace SpaceFromStatvfs(const struct statvfs &answer)
{
    // Some filesystems leave the fragment size 0; the block size is the unit then.
    const uint64_t unit = answer.f_frsize ? answer.f_frsize : answer.f_bsize;
    VolumeSpace space;
    space.totalBytes = saturatingProduct(answer.f_blocks, unit);
    // Some FUSE filesystems report more available blocks than they have; clamp so that the
    // occupied space is never negative.
    space.freeBytes = std::min(saturatingProduct(answer.f_bavail, unit), space.totalBytes);
    space.readOnly = (answer.f_flag & ST_RDONLY) != 0;
    return space;
}

std::string DescribeVolume(const Volume &volume)
{
    // "/" without a line in the mount table (some chroots) has neither type nor source.
    std::string details;
    for (const std::string *part : {&volume.fsType, &volume.source}) {
        if (!part->empty())
            details += (details.empty() ? "" : ", ") + *part;
    }
    return details.empty() ? volume.mountPoint : volume.mountPoint + " (" + details + ")";
}

LinuxVolumeSource::LinuxVolumeSource()
    : LinuxVolumeSource("/proc/self/mountinfo", ::statvfs, std::chrono::seconds(1))
{}

LinuxVolumeSource::LinuxVolumeSource(std::string mountInfoPath, StatFunction stat,
                                     std::chrono::milliseconds bound, MountFunction mountAt)
    : HostVolumes(bound), mountInfoPath(std::move(mountInfoPath)), stat(std::move(stat)),
      mountAt(std::move(mountAt))
{
    // Open first, then read: a change in between costs one needless re-read, never a miss.
    tableFd = ::open(this->mountInfoPath.c_str(), O_RDONLY | O_CLOEXEC);
    struct statfs filesystem = {};
    watchable = tableFd >= 0 && ::fstatfs(tableFd, &filesystem) == 0 &&
                filesystem.f_type == PROC_SUPER_MAGIC;
    // Only the kernel's own table has this kernel's mount IDs.
    if (!this->mountAt && watchable)
        this->mountAt = kernelMountAt;
    readTable();
}

LinuxVolumeSource::~LinuxVolumeSource()
{
    if (tableFd >= 0)
        ::close(tableFd);
}

bool LinuxVolumeSource::tableChanged()
{
    if (changed || !tableRead)
        return true;
    if (!watchable) {
        std::string text;
        return !readWhole(mountInfoPath, text) || text != tableText;
    }
    // The kernel flags a changed table with POLLPRI and POLLERR, once per change for each open
    // table, and the poll that reports it clears it: what it saw is kept until the table is read
    // again. A poll that fails tells nothing, so that counts as a change too.
    pollfd watched = {tableFd, POLLPRI, 0};
    if (::poll(&watched, 1, 0) != 0)
        changed = true;
    return changed;
}

void LinuxVolumeSource::readTable()
{
    // Drained first: a change the kernel flagged before this reading is in it, and must not
    // count as one after it. A change between this poll and the reading costs one needless
    // reading later, never a miss.
    if (watchable) {
        pollfd watched = {tableFd, POLLPRI, 0};
        ::poll(&watched, 1, 0);
    }
    changed = false;
    std::string text;
    const bool whole = readWhole(mountInfoPath, text);
    if (whole && tableRead && text == tableText)
        return;
    // A table that could not be read whole is read again at the next pass: no poll would
    // report a change of it.
    tableRead = whole;
    volumes = SelectVolumes(ParseMountInfo(text));
    tableText = std::move(text);
    auto listed = std::make_shared<std::vector<HostDrive>>();
    optionsByKey.clear();
    for (size_t i = 0; i < volumes.size(); ++i) {
        listed->push_back(driveOf(volumes[i], i));
        optionsByKey[listed->back().identity.key] = volumes[i].options;
    }
    drives = std::move(listed);
    // What was learnt of a mount that is still in the table stays; a mount ID the kernel gave
    // to another filesystem since comes with another device, and so another key.
    std::map<std::string, Confirmation> kept;
    for (const Volume &volume : volumes) {
        const auto known = confirmations.find(keyOf(volume));
        if (known != confirmations.end())
            kept.insert(*known);
    }
    confirmations = std::move(kept);
}

HostDrive LinuxVolumeSource::driveOf(const Volume &volume, size_t index) const
{
    HostDrive drive;
    drive.root = DriveRoot(static_cast<DriveNo>(3 + index));
    drive.identity.description = DescribeVolume(volume);
    drive.identity.key = keyOf(volume);
    drive.mountId = volume.mountId;
    // A stuck question holds its filesystem: a new mount at the same point is another one.
    drive.helperKey = volume.device.empty()
                          ? volume.mountPoint + '\n' + std::to_string(volume.mountId)
                          : "device " + volume.device;
    drive.mayHang = volume.mayHang;
    // Only this kernel's own table names mounts that statx can tell apart for good.
    const bool unique = watchable;
    drive.ask = [stat = stat, mountAt = mountAt, path = volume.mountPoint, unique](bool identify) {
        HostAnswer answer;
        struct statvfs figures = {};
        errno = 0;
        if (stat(path.c_str(), &figures) != 0) {
            answer.error = errno;
            return answer;
        }
        answer.space = SpaceFromStatvfs(figures);
        answer.fsid = figures.f_fsid;
        // Asked after the figures: had the path led elsewhere while they were taken, it would
        // have to lead back to this very mount since, and the table would have changed on the
        // way.
        answer.identified = identify && mountAt;
        if (answer.identified) {
            answer.mountId = mountAt(path.c_str());
            // Without a filesystem ID of its own (FUSE), only such an ID tells a new mount of
            // the same kind, at the same point, from the one it replaced.
            if (unique && answer.fsid == 0)
                answer.uniqueMountId = kernelUniqueMountAt(path.c_str());
        }
        return answer;
    };
    return drive;
}

HostVolumes::Drives LinuxVolumeSource::List()
{
    // A recorded table is compared with what it said as it is read.
    if (!watchable || tableChanged())
        readTable();
    return drives;
}

bool LinuxVolumeSource::Identify(const HostDrive &drive)
{
    // A volume without a line in the table (as "/" in some chroots) has no mount ID to check.
    // A confirmed one is checked by its filesystem ID, which statvfs gives with the figures; a
    // filesystem that leaves it 0 is checked in full every time.
    if (!mountAt || drive.mountId == 0)
        return false;
    const auto known = confirmations.find(drive.identity.key);
    return known == confirmations.end() || !known->second.confirmed || known->second.fsid == 0;
}

HostVolumes::Verdict LinuxVolumeSource::Check(const HostDrive &drive, const HostAnswer &answer)
{
    const bool checked = mountAt && drive.mountId != 0;
    if (!answer.space) {
        // The path the table gave leads nowhere: a folder above it was renamed or removed,
        // which poll() does not report, though the table shows it.
        return checked && (answer.error == ENOENT || answer.error == ENOTDIR) ? Verdict::Retry
                                                                              : Verdict::Reject;
    }
    Confirmation &known = confirmations[drive.identity.key];
    if (answer.identified) {
        // A mount point that no longer leads to its volume (unmounted, hidden by a later mount,
        // a folder above it renamed) answers for the volume it leads to now: figures of another
        // drive.
        const std::optional<uint64_t> &id = answer.mountId;
        if (!id || (*id != 0 && *id != drive.mountId)) {
            known.confirmed = false;
            return Verdict::Retry;
        }
        // The kernel gives a freed mount ID to the next mount: one unmounted and another mounted
        // at the same point between statvfs and statx would pass for it. Only a table that did
        // not change since it was read vouches for the ID.
        if (tableChanged())
            return Verdict::Retry;
        known.confirmed = true;
        known.fsid = answer.fsid;
    } else if (checked && known.confirmed && answer.fsid != known.fsid) {
        known.confirmed = false;
        return Verdict::Retry;
    }
    accepted(drive, answer, known);
    return Verdict::Accept;
}

void LinuxVolumeSource::accepted(const HostDrive &drive, const HostAnswer &answer,
                                 Confirmation &known)
{
    const uint64_t instance = answer.fsid ? answer.fsid : answer.uniqueMountId;
    if (instance != 0 && known.instance != 0 && instance != known.instance)
        ++known.generation;
    if (instance != 0)
        known.instance = instance;
    const auto options = optionsByKey.find(drive.identity.key);
    if (options != optionsByKey.end() && options->second != known.options)
        known.options = options->second;
    known.answered = true;
}

const std::string &LinuxVolumeSource::optionsOf(const std::string &key) const
{
    static const std::string none;
    const auto known = optionsByKey.find(key);
    return known == optionsByKey.end() ? none : known->second;
}

DriveIdentity LinuxVolumeSource::IdentityOf(const HostDrive &drive)
{
    DriveIdentity identity = drive.identity;
    const auto known = confirmations.find(drive.identity.key);
    if (known == confirmations.end())
        return identity;
    if (known->second.generation != 0)
        identity.key += " #" + std::to_string(known->second.generation);
    // Options that changed since its last answer may mean a remount, or another filesystem
    // under the freed mount ID and device: unsure until it is asked again.
    if (known->second.answered && optionsOf(drive.identity.key) != known->second.options)
        identity.key += " ?";
    return identity;
}

std::optional<HostDrive> LinuxVolumeSource::Reread(const HostDrive &drive)
{
    readTable();
    for (const HostDrive &again : *drives) {
        if (again.mountId == drive.mountId && again.helperKey == drive.helperKey)
            return again;
    }
    return std::nullopt;
}

std::optional<VolumeSpace> LinuxVolumeSource::CurrentDrive()
{
    struct statvfs figures = {};
    if (stat(".", &figures) != 0)
        return std::nullopt;
    return SpaceFromStatvfs(figures);
}

std::unique_ptr<VolumeSource> CreateHostVolumeSource()
{
    return std::make_unique<LinuxVolumeSource>();
}
