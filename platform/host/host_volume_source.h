#pragma once

#include "volume_source.h"

#include <memory>

// The volume source of the host the program was built for.
std::unique_ptr<VolumeSource> CreateHostVolumeSource();
