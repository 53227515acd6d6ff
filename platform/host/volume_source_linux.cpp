#include "volume_source_linux.h"

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

// "C:\" gives 0 for the first volume, "D:\" 1 and so on; anything else gives nothing. The empty
// root is the current directory's drive.
std::optional<size_t> volumeIndex(const std::u16string &root)
{
    if (root.size() != 3 || root[1] != u':' || root[2] != u'\\')
        return std::nullopt;
    if (root[0] < u'C' || root[0] > u'Z')
        return std::nullopt;
    return static_cast<size_t>(root[0] - u'C');
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
    return space;
}

LinuxVolumeSource::LinuxVolumeSource()
    : LinuxVolumeSource("/proc/self/mountinfo", ::statvfs, std::chrono::seconds(1))
{}

LinuxVolumeSource::LinuxVolumeSource(std::string mountInfoPath, StatFunction stat,
                                     std::chrono::milliseconds bound, MountFunction mountAt)
    : mountInfoPath(std::move(mountInfoPath)), stat(std::move(stat)), bound(bound),
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
        changed = !readWhole(mountInfoPath, text) || text != tableText;
        return changed;
    }
    // The kernel flags a changed table with POLLPRI and POLLERR, once per change for each open
    // table, and the poll that reports it clears it: what it saw is kept until the table is read
    // again. A poll that fails tells nothing, so that counts as a change too.
    pollfd watched = {tableFd, POLLPRI, 0};
    if (::poll(&watched, 1, 0) != 0)
        changed = true;
    return changed;
}

void LinuxVolumeSource::refresh()
{
    // A recorded table is compared with what it said as it is read.
    if (!watchable || misled || tableChanged())
        readTable();
}

void LinuxVolumeSource::readTable()
{
    std::string text;
    const bool whole = readWhole(mountInfoPath, text);
    changed = false;
    misled = false;
    if (whole && tableRead && text == tableText)
        return;
    // A table that could not be read whole is read again at the next query: no poll would
    // report a change of it.
    tableRead = whole;
    std::vector<Entry> read;
    for (Volume &volume : SelectVolumes(ParseMountInfo(text))) {
        Entry entry;
        entry.volume = std::move(volume);
        // A mount still at its point keeps what was learnt of it; every answer checks its
        // filesystem ID all the same.
        for (const Entry &known : volumes) {
            if (known.confirmed && known.volume.mountId == entry.volume.mountId &&
                known.volume.mountPoint == entry.volume.mountPoint &&
                known.volume.fsType == entry.volume.fsType &&
                known.volume.source == entry.volume.source) {
                entry.confirmed = true;
                entry.fsid = known.fsid;
            }
        }
        read.push_back(std::move(entry));
    }
    volumes = std::move(read);
    tableText = std::move(text);
}

void LinuxVolumeSource::beginScan()
{
    if (depth++ > 0)
        return;
    refresh();
    ++pass;
    passAsked = false;
}

void LinuxVolumeSource::endScan()
{
    if (depth == 0 || --depth > 0)
        return;
    // Queries still running now stay on record as stuck until they return.
    for (Entry &entry : volumes)
        entry.ticket.reset();
    queries.prune();
}

LinuxVolumeSource::Entry *LinuxVolumeSource::entryAt(const std::u16string &root)
{
    const std::optional<size_t> index = volumeIndex(root);
    if (!index || *index >= volumes.size())
        return nullptr;
    return &volumes[*index];
}

std::optional<Volume> LinuxVolumeSource::volumeOf(const std::u16string &root)
{
    if (depth == 0)
        refresh();
    const Entry *entry = entryAt(root);
    return entry ? std::optional<Volume>(entry->volume) : std::nullopt;
}

std::string LinuxVolumeSource::describe(const std::u16string &root)
{
    // From the table alone: a volume that may hang is never touched for its name.
    const std::optional<Volume> volume = volumeOf(root);
    if (!volume)
        return {};
    // "/" without a line in the mount table (some chroots) has neither type nor source.
    std::string details;
    for (const std::string *part : {&volume->fsType, &volume->source}) {
        if (!part->empty())
            details += (details.empty() ? "" : ", ") + *part;
    }
    return details.empty() ? volume->mountPoint : volume->mountPoint + " (" + details + ")";
}

std::optional<VolumeSpace> LinuxVolumeSource::space(const std::u16string &root)
{
    return answerFor(root);
}

std::optional<VolumeSpace> LinuxVolumeSource::probe(const std::u16string &root)
{
    return answerFor(root);
}

std::optional<VolumeSpace> LinuxVolumeSource::answerFor(const std::u16string &root)
{
    if (root.empty()) {
        struct statvfs figures = {};
        if (stat(".", &figures) != 0)
            return std::nullopt;
        return SpaceFromStatvfs(figures);
    }
    if (depth > 0) {
        Entry *entry = entryAt(root);
        if (!entry)
            return std::nullopt;
        if (entry->answeredIn != pass) {
            entry->answer = verify(*entry, fetch(*entry));
            entry->answeredIn = pass;
        }
        return entry->answer;
    }
    // Outside a pass each query gives that moment's truth: a table found stale on the way is
    // read again and the letter asked once more.
    refresh();
    for (int attempt = 0;; ++attempt) {
        Entry *entry = entryAt(root);
        if (!entry)
            return std::nullopt;
        const std::optional<VolumeSpace> answer = verify(*entry, fetch(*entry));
        if (answer || !(changed || misled) || attempt > 0)
            return answer;
        readTable();
    }
}

bool LinuxVolumeSource::identifies(const Entry &entry) const
{
    // A volume without a line in the table (as "/" in some chroots) has no mount ID to check.
    // A confirmed one is checked by its filesystem ID, which statvfs gives with the figures; a
    // filesystem that leaves it 0 is checked in full every time.
    return mountAt && entry.volume.mountId != 0 && !(entry.confirmed && entry.fsid != 0);
}

LinuxVolumeSource::Answer LinuxVolumeSource::ask(const StatFunction &stat,
                                                 const MountFunction &mountAt,
                                                 const std::string &path, bool identify)
{
    Answer answer;
    errno = 0;
    answer.result = stat(path.c_str(), &answer.figures);
    if (answer.result != 0) {
        answer.error = errno;
        return answer;
    }
    // Asked after the figures: had the path led elsewhere while they were taken, it would have
    // to lead back to this very mount since, and the table would have changed on the way.
    answer.identified = identify;
    if (identify)
        answer.mountId = mountAt(path.c_str());
    return answer;
}

LinuxVolumeSource::Queries::Ticket LinuxVolumeSource::startQuery(const Entry &entry)
{
    // A mount that went and a new one on the same point are two volumes: the new one does not
    // wait for the old one's query.
    const std::string key = entry.volume.mountPoint + '\n' + std::to_string(entry.volume.mountId);
    return queries.start(
        key, [stat = stat, mountAt = mountAt, path = entry.volume.mountPoint,
              identify = identifies(entry)] { return ask(stat, mountAt, path, identify); });
}

std::optional<LinuxVolumeSource::Answer> LinuxVolumeSource::fetch(Entry &entry)
{
    // statvfs on a local filesystem answers from memory: no thread, no wait.
    if (!entry.volume.mayHang)
        return ask(stat, mountAt, entry.volume.mountPoint, identifies(entry));
    if (depth == 0)
        return Queries::wait(startQuery(entry), Queries::Clock::now() + bound);
    // Dead servers are waited for side by side: the pass's first such query asks every volume
    // that may hang at once, and all of them share one deadline.
    if (!passAsked) {
        passAsked = true;
        passDeadline = Queries::Clock::now() + bound;
        for (Entry &other : volumes) {
            if (other.volume.mayHang)
                other.ticket = startQuery(other);
        }
    }
    return Queries::wait(entry.ticket, passDeadline);
}

std::optional<VolumeSpace> LinuxVolumeSource::verify(Entry &entry,
                                                     const std::optional<Answer> &answer)
{
    if (!answer)
        return std::nullopt; // past its bound, or still stuck from before
    const bool checked = mountAt && entry.volume.mountId != 0;
    if (answer->result != 0) {
        // The path the table gave leads nowhere: a folder above it was renamed or removed.
        if (checked && (answer->error == ENOENT || answer->error == ENOTDIR))
            misled = true;
        return std::nullopt;
    }
    const unsigned long fsid = answer->figures.f_fsid;
    if (answer->identified) {
        // A mount point that no longer leads to its volume (unmounted, hidden by a later mount,
        // a folder above it renamed) answers for the volume it leads to now: figures of another
        // drive.
        const std::optional<uint64_t> &id = answer->mountId;
        if (!id || (*id != 0 && *id != entry.volume.mountId)) {
            misled = true;
            entry.confirmed = false;
            return std::nullopt;
        }
        // The kernel gives a freed mount ID to the next mount: one unmounted and another mounted
        // at the same point between statvfs and statx would pass for it. Only a table that did
        // not change since it was read vouches for the ID.
        if (tableChanged())
            return std::nullopt;
        entry.confirmed = true;
        entry.fsid = fsid;
    } else if (checked && entry.confirmed && fsid != entry.fsid) {
        misled = true;
        entry.confirmed = false;
        return std::nullopt;
    }
    return SpaceFromStatvfs(answer->figures);
}

std::unique_ptr<VolumeSource> CreateHostVolumeSource()
{
    return std::make_unique<LinuxVolumeSource>();
}
