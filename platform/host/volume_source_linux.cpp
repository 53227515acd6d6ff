#include "volume_source_linux.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <limits>
#include <mutex>
#include <thread>

#include <cerrno>

#include <fcntl.h>
#include <linux/magic.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

// What the host answered for a mount point: statvfs's result and figures, and, when asked for,
// the mount the path leads to now (0 where the kernel cannot tell, nothing where it leads
// nowhere).
struct LinuxVolumeSource::Answer
{
    int result = -1;
    struct statvfs figures = {};
    std::optional<uint64_t> mountId;
};

struct LinuxVolumeSource::PendingQuery
{
    std::mutex mutex;
    std::condition_variable answered;
    bool done = false;
    Answer answer;
};

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
std::optional<uint64_t> mountAt(const char *path)
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
                                     std::chrono::milliseconds probeBound)
    : mountInfoPath(std::move(mountInfoPath)), stat(std::move(stat)), probeBound(probeBound)
{
    // Open first, then read: a change in between costs one needless re-read, never a miss.
    tableFd = ::open(this->mountInfoPath.c_str(), O_RDONLY | O_CLOEXEC);
    struct statfs filesystem = {};
    watchable = tableFd >= 0 && ::fstatfs(tableFd, &filesystem) == 0 &&
                filesystem.f_type == PROC_SUPER_MAGIC;
    readTable();
}

LinuxVolumeSource::~LinuxVolumeSource()
{
    if (tableFd >= 0)
        ::close(tableFd);
}

bool LinuxVolumeSource::tableMayHaveChanged()
{
    if (!watchable || !tableRead)
        return true;
    // The kernel flags a changed table with POLLPRI and POLLERR, once per change for each open
    // table, and the poll that reports it clears it. A poll that fails tells nothing, so the
    // table is read again then too.
    pollfd watched = {tableFd, POLLPRI, 0};
    return ::poll(&watched, 1, 0) != 0;
}

void LinuxVolumeSource::readTable()
{
    std::string text;
    const int fd = ::open(mountInfoPath.c_str(), O_RDONLY | O_CLOEXEC);
    ssize_t count = -1;
    if (fd >= 0) {
        char buffer[8192];
        while ((count = ::read(fd, buffer, sizeof buffer)) > 0)
            text.append(buffer, static_cast<size_t>(count));
        ::close(fd);
    }
    // A table that could not be read whole is read again at the next query: no poll would
    // report a change of it.
    tableRead = count == 0;
    volumes.clear();
    for (Volume &volume : SelectVolumes(ParseMountInfo(text)))
        volumes.push_back({std::move(volume), false});
}

LinuxVolumeSource::Entry *LinuxVolumeSource::find(const std::u16string &root)
{
    if (tableMayHaveChanged())
        readTable();
    const std::optional<size_t> index = volumeIndex(root);
    if (!index || *index >= volumes.size())
        return nullptr;
    return &volumes[*index];
}

std::optional<Volume> LinuxVolumeSource::volumeOf(const std::u16string &root)
{
    const Entry *entry = find(root);
    return entry ? std::optional<Volume>(entry->volume) : std::nullopt;
}

std::string LinuxVolumeSource::describe(const std::u16string &root)
{
    const Entry *entry = find(root);
    if (!entry)
        return {};
    // "/" without a line in the mount table (some chroots) has neither type nor source.
    const Volume &volume = entry->volume;
    std::string details;
    for (const std::string *part : {&volume.fsType, &volume.source}) {
        if (!part->empty())
            details += (details.empty() ? "" : ", ") + *part;
    }
    return details.empty() ? volume.mountPoint : volume.mountPoint + " (" + details + ")";
}

LinuxVolumeSource::Answer LinuxVolumeSource::ask(const StatFunction &stat, const std::string &path,
                                                 bool identify)
{
    Answer answer;
    answer.result = stat(path.c_str(), &answer.figures);
    // Asked after the figures: had the path led elsewhere while they were taken, it would have
    // to lead back to this very mount since, which takes two mount changes in a moment.
    if (identify && answer.result == 0)
        answer.mountId = mountAt(path.c_str());
    return answer;
}

std::optional<VolumeSpace> LinuxVolumeSource::query(Entry &entry, bool bounded)
{
    const std::string &path = entry.volume.mountPoint;
    // Only the kernel's own table has this kernel's mount IDs (a volume without a line in it,
    // as "/" in some chroots, has none); once a mount point has led to its volume, it keeps
    // doing so until the table changes.
    const bool identify = watchable && entry.volume.mountId != 0 && !entry.confirmed;
    std::optional<Answer> answer;
    if (bounded)
        answer = boundedAsk(entry.volume, identify);
    else
        answer = ask(stat, path, identify);
    if (!answer || answer->result != 0)
        return std::nullopt;
    if (identify) {
        // A mount point that no longer leads to its volume (unmounted, or hidden by a later
        // mount) answers for the volume it leads to now: figures of another drive.
        if (!answer->mountId || (*answer->mountId != 0 && *answer->mountId != entry.volume.mountId))
            return std::nullopt;
        entry.confirmed = true;
    }
    return SpaceFromStatvfs(answer->figures);
}

std::optional<VolumeSpace> LinuxVolumeSource::space(const std::u16string &root)
{
    if (root.empty()) {
        struct statvfs figures = {};
        if (stat(".", &figures) != 0)
            return std::nullopt;
        return SpaceFromStatvfs(figures);
    }
    Entry *entry = find(root);
    if (!entry)
        return std::nullopt;
    return query(*entry, false);
}

std::optional<VolumeSpace> LinuxVolumeSource::probe(const std::u16string &root)
{
    if (root.empty())
        return space(root);
    Entry *entry = find(root);
    if (!entry)
        return std::nullopt;
    // statvfs on a local filesystem answers from memory; only network and FUSE volumes can
    // keep the caller waiting, so only they pay for the watched query.
    return query(*entry, entry->volume.mayHang);
}

std::optional<LinuxVolumeSource::Answer> LinuxVolumeSource::boundedAsk(const Volume &volume,
                                                                       bool identify)
{
    // A mount that went and a new one on the same point are two volumes: the new one does not
    // wait for the old one's query.
    const std::string key = volume.mountPoint + '\n' + std::to_string(volume.mountId);
    if (const auto it = stuck.find(key); it != stuck.end()) {
        std::lock_guard lock(it->second->mutex);
        if (!it->second->done)
            return std::nullopt; // still stuck: do not stack up another blocked thread
    }
    stuck.erase(key);
    const std::string &path = volume.mountPoint;

    auto pending = std::make_shared<PendingQuery>();
    // The thread may outlive this source; it holds its own copies of all it uses.
    std::thread([pending, path, identify, stat = stat] {
        const Answer answer = ask(stat, path, identify);
        std::lock_guard lock(pending->mutex);
        pending->answer = answer;
        pending->done = true;
        pending->answered.notify_all();
    }).detach();

    std::unique_lock lock(pending->mutex);
    if (!pending->answered.wait_for(lock, probeBound, [&] { return pending->done; })) {
        stuck.emplace(key, pending);
        return std::nullopt;
    }
    return pending->answer;
}

std::unique_ptr<VolumeSource> CreateHostVolumeSource()
{
    return std::make_unique<LinuxVolumeSource>();
}
