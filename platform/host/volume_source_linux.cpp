#include "volume_source_linux.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <limits>
#include <mutex>
#include <thread>

#include <cerrno>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/statvfs.h>
#include <unistd.h>

struct LinuxVolumeSource::PendingQuery
{
    std::mutex mutex;
    std::condition_variable answered;
    bool done = false;
    int result = -1;
    struct statvfs answer = {};
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
    // Watch first, then read: a change in between costs one needless re-read, never a miss.
    watchFd = ::open(this->mountInfoPath.c_str(), O_RDONLY | O_CLOEXEC);
    stopFd = ::eventfd(0, EFD_CLOEXEC);
    if (watchFd >= 0 && stopFd >= 0)
        watcher = std::thread(&LinuxVolumeSource::watchTable, this);
    readTable();
}

LinuxVolumeSource::~LinuxVolumeSource()
{
    if (watcher.joinable()) {
        const uint64_t one = 1;
        (void)!::write(stopFd, &one, sizeof one);
        watcher.join();
    }
    if (watchFd >= 0)
        ::close(watchFd);
    if (stopFd >= 0)
        ::close(stopFd);
}

void LinuxVolumeSource::watchTable()
{
    // The kernel flags a changed mount table with POLLPRI/POLLERR on an open mountinfo, and
    // each poll that reports it clears it. A plain file (a recorded table) never flags one.
    for (;;) {
        pollfd watched[2] = {{watchFd, POLLPRI, 0}, {stopFd, POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            tableChanged = true; // cannot watch any more: re-read at every query
            return;
        }
        if (watched[1].revents)
            return;
        if (watched[0].revents & (POLLPRI | POLLERR))
            tableChanged = true;
    }
}

void LinuxVolumeSource::readTable()
{
    std::string text;
    const int fd = ::open(mountInfoPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        char buffer[8192];
        ssize_t count = 0;
        while ((count = ::read(fd, buffer, sizeof buffer)) > 0)
            text.append(buffer, static_cast<size_t>(count));
        ::close(fd);
    }
    volumes = SelectVolumes(ParseMountInfo(text));
}

const Volume *LinuxVolumeSource::find(const std::u16string &root)
{
    if (tableChanged.exchange(false) || !watcher.joinable())
        readTable();
    const std::optional<size_t> index = volumeIndex(root);
    if (!index || *index >= volumes.size())
        return nullptr;
    return &volumes[*index];
}

std::optional<Volume> LinuxVolumeSource::volumeOf(const std::u16string &root)
{
    const Volume *volume = find(root);
    return volume ? std::optional<Volume>(*volume) : std::nullopt;
}

std::string LinuxVolumeSource::describe(const std::u16string &root)
{
    const Volume *volume = find(root);
    if (!volume)
        return {};
    return volume->mountPoint + " (" + volume->fsType + ", " + volume->source + ")";
}

std::optional<VolumeSpace> LinuxVolumeSource::query(const std::string &path)
{
    struct statvfs answer = {};
    if (stat(path.c_str(), &answer) != 0)
        return std::nullopt;
    return SpaceFromStatvfs(answer);
}

std::optional<VolumeSpace> LinuxVolumeSource::space(const std::u16string &root)
{
    if (root.empty())
        return query(".");
    const Volume *volume = find(root);
    if (!volume)
        return std::nullopt;
    return query(volume->mountPoint);
}

std::optional<VolumeSpace> LinuxVolumeSource::probe(const std::u16string &root)
{
    if (root.empty())
        return query(".");
    const Volume *volume = find(root);
    if (!volume)
        return std::nullopt;
    // statvfs on a local filesystem answers from memory; only network and FUSE volumes can
    // keep the caller waiting, so only they pay for the watched query.
    if (!volume->mayHang)
        return query(volume->mountPoint);
    return boundedQuery(volume->mountPoint);
}

std::optional<VolumeSpace> LinuxVolumeSource::boundedQuery(const std::string &path)
{
    if (const auto it = stuck.find(path); it != stuck.end()) {
        std::lock_guard lock(it->second->mutex);
        if (!it->second->done)
            return std::nullopt; // still stuck: do not stack up another blocked thread
    }
    stuck.erase(path);

    auto pending = std::make_shared<PendingQuery>();
    std::thread([pending, path, stat = stat] {
        struct statvfs answer = {};
        const int result = stat(path.c_str(), &answer);
        std::lock_guard lock(pending->mutex);
        pending->result = result;
        pending->answer = answer;
        pending->done = true;
        pending->answered.notify_all();
    }).detach();

    std::unique_lock lock(pending->mutex);
    if (!pending->answered.wait_for(lock, probeBound, [&] { return pending->done; })) {
        stuck.emplace(path, pending);
        return std::nullopt;
    }
    if (pending->result != 0)
        return std::nullopt;
    return SpaceFromStatvfs(pending->answer);
}

std::unique_ptr<VolumeSource> CreateHostVolumeSource()
{
    return std::make_unique<LinuxVolumeSource>();
}
