#pragma once

#include "bounded_queries.h"
#include "volume_source.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// What a host answered when asked for one drive.
struct HostAnswer
{
    // Nothing: the host gave no figures, for the reason in `error` (errno, GetLastError()).
    std::optional<VolumeSpace> space;
    int error = 0;
    // The filesystem ID the host gave with the figures; 0 where it gives none.
    uint64_t fsid = 0;
    // Asked to identify: the mount the path led to right after the figures, 0 where the host
    // cannot tell, nothing where the path led nowhere; and that mount's ID that is never given
    // to another mount, where the host has such IDs (0 otherwise).
    bool identified = false;
    std::optional<uint64_t> mountId;
    uint64_t uniqueMountId = 0;
};

// One drive of a host's list, read without waiting on the drive.
struct HostDrive
{
    std::u16string root;
    DriveIdentity identity;
    // The mount the list names, where the host numbers its mounts; 0 otherwise.
    uint64_t mountId = 0;
    // The filesystem a hanging question blocks: one stuck query per key at most.
    std::string helperKey;
    // A network or FUSE volume, or one reached through such: asked on a helper thread, waited
    // for no longer than the bound.
    bool mayHang = false;
    // Asks the host; with `identify`, also which mount the path leads to. Runs on the pass's
    // thread or on a helper, so it holds its own copies of all it uses.
    std::function<HostAnswer(bool identify)> ask;
};

// A host's volumes: the pass machinery every host shares. A host supplies its list of drives
// and, where it can tell one mount from another, its identity check; the passes ask each drive
// once, those that may hang on helper threads side by side under one bound. The source and its
// passes belong to the thread that first opened a pass; a call from another thread throws
// std::logic_error.
class HostVolumes : public VolumeSource
{
public:
    explicit HostVolumes(std::chrono::milliseconds bound) : bound(bound) {}

    std::unique_ptr<Pass> open() override;

protected:
    // Whether an answer counts for the drive. Retry: the host's list was stale (the table
    // changed meanwhile, the path led elsewhere); the pass reads it again and asks once more.
    enum class Verdict { Accept, Reject, Retry };

    // The drives in letter order, from C: on, as the host lists them now. A list that did not
    // change may be handed to pass after pass.
    using Drives = std::shared_ptr<const std::vector<HostDrive>>;
    virtual Drives List() = 0;
    // Whether an answer for the drive must say which mount it came from.
    virtual bool Identify(const HostDrive &drive) { return (void)drive, false; }
    // What the drive stands for as the pass's answers so far have shown it.
    virtual DriveIdentity IdentityOf(const HostDrive &drive) { return drive.identity; }
    virtual Verdict Check(const HostDrive &drive, const HostAnswer &answer)
    {
        (void)drive;
        return answer.space ? Verdict::Accept : Verdict::Reject;
    }
    // After a Retry: the list read anew, and the same mount in it, wherever it lies now.
    virtual std::optional<HostDrive> Reread(const HostDrive &drive)
    {
        return (void)drive, std::nullopt;
    }
    // The drive of the current directory (the empty root), asked at once.
    virtual std::optional<VolumeSpace> CurrentDrive() = 0;

    // Throws unless called on the source's thread.
    void CheckThread();

private:
    friend class HostPass;

    std::chrono::milliseconds bound;
    BoundedQueries<HostAnswer> queries;
    std::optional<std::thread::id> owner;
};
