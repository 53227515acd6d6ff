#pragma once

#include "bounded_queries.h"
#include "mount_table.h"
#include "volume_source.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <sys/statvfs.h>

// Drive letters on Linux: C: is the volume holding "/", D:, E:, ... the other volumes in
// ascending byte order of their mount points. Figures count only when they come from the very
// volume the letter stands for: a volume whose mount point no longer leads to it gives none.
//
// Outside a scan every query first asks the kernel whether the mount table changed and reads it
// again if so. Inside a scan the table is looked at once, at its start, and each drive is asked
// once: its existence, size and free space come from one answer. Volumes that may hang (network
// and FUSE ones, and those mounted inside them) are asked on helper threads and waited for no
// longer than a bound; in a scan all of them are asked at once and share one deadline.
class LinuxVolumeSource : public VolumeSource
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

    std::optional<VolumeSpace> space(const std::u16string &root) override;
    std::optional<VolumeSpace> probe(const std::u16string &root) override;
    std::string describe(const std::u16string &root) override;
    void beginScan() override;
    void endScan() override;

    // The volume behind a drive root, if any.
    std::optional<Volume> volumeOf(const std::u16string &root);

private:
    // What the host answered for a mount point: statvfs's result, its errno and its figures,
    // and, when asked for, the mount the path led to right after.
    struct Answer
    {
        int result = -1;
        int error = 0;
        struct statvfs figures = {};
        bool identified = false;
        std::optional<uint64_t> mountId;
    };
    using Queries = BoundedQueries<Answer>;

    struct Entry
    {
        Volume volume;
        // Its mount point led to it, and the filesystem ID seen then has been seen since.
        bool confirmed = false;
        unsigned long fsid = 0;
        // The pass this drive was answered in, and that one answer.
        uint64_t answeredIn = 0;
        std::optional<VolumeSpace> answer;
        // The query a pass started for a volume that may hang.
        Queries::Ticket ticket;
    };

    std::optional<VolumeSpace> answerFor(const std::u16string &root);
    Entry *entryAt(const std::u16string &root);
    bool tableChanged();
    void refresh();
    void readTable();
    bool identifies(const Entry &entry) const;
    std::optional<Answer> fetch(Entry &entry);
    Queries::Ticket startQuery(const Entry &entry);
    std::optional<VolumeSpace> verify(Entry &entry, const std::optional<Answer> &answer);
    static Answer ask(const StatFunction &stat, const MountFunction &mountAt,
                      const std::string &path, bool identify);

    std::string mountInfoPath;
    StatFunction stat;
    std::chrono::milliseconds bound;
    MountFunction mountAt;
    std::vector<Entry> volumes;
    // The kernel's table, kept open: poll() on it tells whether the table changed since the
    // last poll. Any other file (a recorded table) cannot tell; its text is compared instead.
    int tableFd = -1;
    bool watchable = false;
    bool tableRead = false; // whole, at the last reading
    std::string tableText;
    // The table changed since it was read.
    bool changed = false;
    // A mount point did not lead where the table said: a folder above it was renamed, which
    // the kernel does not count as a change of the table, though the table shows it.
    bool misled = false;

    int depth = 0;     // passes open now; only the outermost counts
    uint64_t pass = 0; // the number of the latest pass
    bool passAsked = false;
    Queries::Clock::time_point passDeadline;
    Queries queries;
};

// Capacity and the caller's free bytes from a statvfs answer: products beyond the signed 64-bit
// range saturate, and free space never exceeds the capacity.
VolumeSpace SpaceFromStatvfs(const struct statvfs &answer);
