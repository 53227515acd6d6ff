#pragma once

#include "mount_table.h"
#include "volume_source.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct statvfs;

// Drive letters on Linux: C: is the volume holding "/", D:, E:, ... the other volumes in
// ascending byte order of their mount points. Every query first asks the kernel whether the
// mount table changed and reads it again if so, and figures count only when they come through
// the very mount the letter stands for: a volume whose mount point no longer leads to it does
// not exist for that query.
class LinuxVolumeSource : public VolumeSource
{
public:
    using StatFunction = std::function<int(const char *path, struct statvfs *result)>;

    LinuxVolumeSource();
    // For tests: another mount table, another statvfs, another bound for the existence test.
    LinuxVolumeSource(std::string mountInfoPath, StatFunction stat,
                      std::chrono::milliseconds probeBound);
    ~LinuxVolumeSource() override;
    LinuxVolumeSource(const LinuxVolumeSource &) = delete;
    LinuxVolumeSource &operator=(const LinuxVolumeSource &) = delete;

    std::optional<VolumeSpace> space(const std::u16string &root) override;
    std::optional<VolumeSpace> probe(const std::u16string &root) override;
    std::string describe(const std::u16string &root) override;

    // The volume behind a drive root, if any.
    std::optional<Volume> volumeOf(const std::u16string &root);

    struct PendingQuery;

private:
    struct Entry
    {
        Volume volume;
        // Its mount point led to it when last asked, and the table has not changed since.
        bool confirmed = false;
    };
    Entry *find(const std::u16string &root);
    bool tableMayHaveChanged();
    void readTable();
    std::optional<VolumeSpace> query(Entry &entry, bool bounded);
    struct Answer;
    static Answer ask(const StatFunction &stat, const std::string &path, bool identify);
    std::optional<Answer> boundedAsk(const Volume &volume, bool identify);

    std::string mountInfoPath;
    StatFunction stat;
    std::chrono::milliseconds probeBound;
    std::vector<Entry> volumes;
    // The kernel's table, kept open: poll() on it tells whether the table changed since the
    // last poll. Any other file (a recorded table) cannot tell, so it is read at every query.
    int tableFd = -1;
    bool watchable = false;
    bool tableRead = false; // whole, at the last reading
    // Existence tests that ran past their bound and have not answered yet, by mount point and
    // mount ID.
    std::map<std::string, std::shared_ptr<PendingQuery>> stuck;
};

// Capacity and the caller's free bytes from a statvfs answer: products beyond the signed 64-bit
// range saturate, and free space never exceeds the capacity.
VolumeSpace SpaceFromStatvfs(const struct statvfs &answer);
