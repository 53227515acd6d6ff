#pragma once

#include "fleet.h"
#include "volume_source.h"

#include <memory>
#include <string>

// One other machine's volumes, as the last snapshot of its Prometheus server gave them: a pass
// answers from the snapshot it was opened with and never waits. The letters follow this
// machine's own rules (RemoteDrives); a machine down or gone from the server keeps the figures
// it last gave, as the snapshot does.
class RemoteVolumeSource : public VolumeSource
{
public:
    explicit RemoteVolumeSource(std::string instance);

    // The snapshot the next passes answer from.
    void SetSnapshot(std::shared_ptr<const FleetSnapshot> snapshot);

    const std::string &Instance() const { return instance; }
    // The machine as the snapshot has it; null where the snapshot does not know it.
    const Machine *Current() const;

    std::unique_ptr<Pass> open() override;
    // Its own name where it tells it, else the server's name for it, as one plain line.
    std::string machine() const override;

private:
    std::string instance;
    std::shared_ptr<const FleetSnapshot> snapshot = std::make_shared<FleetSnapshot>();
};

// What a drive of another machine stands for, for people, with every label made one plain line:
// "/data (ext4, /dev/sdb1) auf host-b".
std::string DescribeRemote(const RemoteFilesystem &filesystem, const Machine &machine);
