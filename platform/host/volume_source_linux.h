#pragma once

#include "mount_table.h"
#include "volume_source.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

struct statvfs;

// Drive letters on Linux: C: is the volume holding "/", D:, E:, ... the other volumes in
// ascending byte order of their mount points. The letter is resolved afresh at every query; the
// mount table is read again only when the kernel has reported a change.
class LinuxVolumeSource : public VolumeSource
{
public:
    using StatFunction = std::function<int(const char *path, struct statvfs *result)>;

    LinuxVolumeSource();
    // For tests: another mount table, another statvfs, another bound for the existence test.
    LinuxVolumeSource(std::string mountInfoPath, StatFunction stat,
                      std::chrono::milliseconds probeBound);
    ~LinuxVolumeSource() override;

    std::optional<VolumeSpace> space(const std::u16string &root) override;
    std::optional<VolumeSpace> probe(const std::u16string &root) override;
    std::string describe(const std::u16string &root) override;

    // The volume behind a drive root, if any.
    std::optional<Volume> volumeOf(const std::u16string &root);

    struct PendingQuery;

private:
    const Volume *find(const std::u16string &root);
    void watchTable();
    void readTable();
    std::optional<VolumeSpace> query(const std::string &path);
    std::optional<VolumeSpace> boundedQuery(const std::string &path);

    std::string mountInfoPath;
    StatFunction stat;
    std::chrono::milliseconds probeBound;
    std::vector<Volume> volumes;
    // A thread sleeps in poll() on the mount table and raises `tableChanged` when the kernel
    // flags a change, so that a query costs no system call of its own to find out.
    int watchFd = -1;
    int stopFd = -1;
    std::atomic<bool> tableChanged{false};
    std::thread watcher;
    // Existence tests that ran past their bound and have not answered yet, by mount point.
    std::map<std::string, std::shared_ptr<PendingQuery>> stuck;
};

// Capacity and the caller's free bytes from a statvfs answer: products beyond the signed 64-bit
// range saturate, and free space never exceeds the capacity.
VolumeSpace SpaceFromStatvfs(const struct statvfs &answer);
