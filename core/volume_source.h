#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// What a host tells about one volume: its capacity and the bytes the calling user may still
// write to it.
struct VolumeSpace
{
    int64_t totalBytes = 0;
    int64_t freeBytes = 0;
    // Nobody may write to it (a read-only mount, an image): it cannot fill up.
    bool readOnly = false;
    // When the host itself expects the volume full, where it keeps a history of its own (a
    // monitoring server); nothing where it does not.
    std::optional<std::chrono::seconds> timeToFull;

    bool operator==(const VolumeSpace &) const = default;
};

// What a drive letter stands for, from the host's list of drives alone.
struct DriveIdentity
{
    // For people: "/ (ext4, /dev/vda)"; empty where the letter is the host's own name.
    std::string description;
    // Tells one mount from another at the same letter (on Linux its mount ID and device); empty
    // where the host cannot tell.
    std::string key;

    bool operator==(const DriveIdentity &) const = default;
};

// One pass over the host. The pass looks at the host's list of drives once, when it is
// opened, and asks each drive at most once: whether a drive exists, its size and its free space
// come from one answer, never from two moments. Drives that may hang are asked with a bound, and
// drives announced together share it. A pass belongs to the thread that opened it and must not
// outlive its source; using it on another thread throws std::logic_error.
class Pass
{
public:
    virtual ~Pass() = default;

    // What the drive stands for; never waits on the drive. An empty identity: no such drive.
    virtual DriveIdentity identity(const std::u16string &root) = 0;

    // The drives this pass is about to be asked for: those that may hang are asked side by side
    // now, so that any number of dead servers costs one bound.
    virtual void ask(const std::vector<std::u16string> &roots) { (void)roots; }

    // Capacity and free bytes of the drive ("C:\" .. "Z:\", or "" for the current directory's
    // drive), or nothing when the host cannot answer.
    virtual std::optional<VolumeSpace> space(const std::u16string &root) = 0;

    // Whether space() answers at once: false only while a drive that may hang is being asked
    // and its bound has not passed. Asking this starts the question where none is out, so that
    // a caller that must never wait can come back for the answer.
    virtual bool ready(const std::u16string &root) { return (void)root, true; }
};

// The core's only way to the host, or to a remote machine's last known figures.
class VolumeSource
{
public:
    virtual ~VolumeSource() = default;

    virtual std::unique_ptr<Pass> open() = 0;

    // The machine the volumes are on, for people; empty for this one.
    virtual std::string machine() const { return {}; }
};

// The roots of drive numbers `first` to `last`, in that order (either way round).
std::vector<std::u16string> DriveRoots(uint8_t first = 3, uint8_t last = 26);

// Where a root stands among the drives a source answers for: "C:\" is 0, "Z:\" 23; any other
// text (another letter, lower case, a path) is none of them.
std::optional<size_t> DriveIndexOf(const std::u16string &root);
