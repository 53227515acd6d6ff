#include "volume_source.h"

namespace {
VolumeSource *installed = nullptr;
}

void InstallVolumeSource(VolumeSource *source)
{
    installed = source;
}

VolumeSource *InstalledVolumeSource()
{
    return installed;
}
