#pragma once

#include <cstdint>
#include <optional>
#include <string>

// What a host tells about one volume: its capacity and the bytes the calling user may still
// write to it.
struct VolumeSpace
{
    int64_t totalBytes = 0;
    int64_t freeBytes = 0;
};

// The core's only way to the host. A drive is named by its root text ("C:\"); an empty root
// names the drive of the current directory.
class VolumeSource
{
public:
    virtual ~VolumeSource() = default;

    // Capacity and free bytes of the drive, or nothing when the host cannot answer. May block
    // for as long as the host takes.
    virtual std::optional<VolumeSpace> space(const std::u16string &root) = 0;

    // The same for the existence test: never waits on the user or on a device that does not
    // answer; such a drive counts as failed.
    virtual std::optional<VolumeSpace> probe(const std::u16string &root) = 0;

    // What the host calls the drive, for people: "/ (ext4, /dev/vda)"; empty when the drive
    // letter is the host's own name for it.
    virtual std::string describe(const std::u16string &root)
    {
        (void)root;
        return {};
    }

    // A scan is one pass over the host: between these two calls a source may answer every
    // query from what it learnt at the pass's start (one look at the mount table, one answer
    // per drive). Passes nest; only the outermost one counts. Outside a pass every query asks
    // the host afresh.
    virtual void beginScan() {}
    virtual void endScan() {}
};

// The program installs the host's source at start-up; tests install a fake. Without an
// installed source every query fails.
void InstallVolumeSource(VolumeSource *source);
VolumeSource *InstalledVolumeSource();

// Installs a source for the lifetime of the guard and restores the previous one afterwards.
class ScopedVolumeSource
{
public:
    explicit ScopedVolumeSource(VolumeSource &source) : previous(InstalledVolumeSource())
    {
        InstallVolumeSource(&source);
    }
    ~ScopedVolumeSource() { InstallVolumeSource(previous); }
    ScopedVolumeSource(const ScopedVolumeSource &) = delete;
    ScopedVolumeSource &operator=(const ScopedVolumeSource &) = delete;

private:
    VolumeSource *previous;
};

// One pass over the installed source for the guard's lifetime: the drive scan and the total
// overview each run inside one.
class DriveScan
{
public:
    DriveScan() : source(InstalledVolumeSource())
    {
        if (source)
            source->beginScan();
    }
    ~DriveScan()
    {
        if (source)
            source->endScan();
    }
    DriveScan(const DriveScan &) = delete;
    DriveScan &operator=(const DriveScan &) = delete;

private:
    VolumeSource *source;
};
