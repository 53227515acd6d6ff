#include "remote_volume_source.h"

#include "prometheus_answer.h"

#include <array>
#include <optional>

namespace {

class RemotePass : public Pass
{
public:
    // `machine` is one of the snapshot's, or nothing.
    RemotePass(std::shared_ptr<const FleetSnapshot> snapshot, const Machine *machine)
        : snapshot(std::move(snapshot)), machine(machine)
    {
        drives.fill(std::nullopt);
        if (!machine)
            return;
        for (const RemoteDrive &drive : RemoteDrives(machine->filesystems))
            drives[static_cast<size_t>(drive.letter - 'C')] = drive.filesystem;
    }

    DriveIdentity identity(const std::u16string &root) override
    {
        const RemoteFilesystem *filesystem = find(root);
        if (!filesystem)
            return {};
        return {DescribeRemote(*filesystem, *machine),
                machine->instance + '\n' + filesystem->device + '\n' + filesystem->mountPoint};
    }

    std::optional<VolumeSpace> space(const std::u16string &root) override
    {
        const RemoteFilesystem *filesystem = find(root);
        if (!filesystem)
            return std::nullopt;
        VolumeSpace space;
        space.totalBytes = filesystem->sizeBytes;
        space.freeBytes = filesystem->availBytes;
        space.readOnly = filesystem->readOnly;
        space.timeToFull = filesystem->timeToFull;
        return space;
    }

private:
    const RemoteFilesystem *find(const std::u16string &root) const
    {
        const std::optional<size_t> letter = DriveIndexOf(root);
        if (!machine || !letter)
            return nullptr;
        const std::optional<size_t> &index = drives[*letter];
        return index ? &machine->filesystems[*index] : nullptr;
    }

    const std::shared_ptr<const FleetSnapshot> snapshot;
    const Machine *const machine;
    std::array<std::optional<size_t>, 24> drives;
};

} // namespace

std::string DescribeRemote(const RemoteFilesystem &filesystem, const Machine &machine)
{
    std::string details;
    for (const std::string *part : {&filesystem.fsType, &filesystem.device}) {
        if (!part->empty())
            details += (details.empty() ? "" : ", ") + PlainLine(*part);
    }
    std::string text = PlainLine(filesystem.mountPoint);
    if (!details.empty())
        text += " (" + details + ")";
    return text + " auf " + PlainLine(MachineName(machine));
}

RemoteVolumeSource::RemoteVolumeSource(std::string instance) : instance(std::move(instance)) {}

void RemoteVolumeSource::SetSnapshot(std::shared_ptr<const FleetSnapshot> next)
{
    if (next)
        snapshot = std::move(next);
}

const Machine *RemoteVolumeSource::Current() const
{
    for (const Machine &machine : snapshot->machines) {
        if (machine.instance == instance)
            return &machine;
    }
    return nullptr;
}

std::string RemoteVolumeSource::machine() const
{
    const Machine *current = Current();
    return PlainLine(current ? MachineName(*current) : instance, 60);
}

std::unique_ptr<Pass> RemoteVolumeSource::open()
{
    return std::make_unique<RemotePass>(snapshot, Current());
}
