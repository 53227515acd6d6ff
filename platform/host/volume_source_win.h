#pragma once

#include "volume_source.h"

#include <chrono>
#include <functional>
#include <memory>

#include <windows.h>

// The Windows calls behind the drives, replaceable so that a test can make one of them block.
struct WindowsDriveCalls
{
    std::function<BOOL(LPCWSTR directory, PULARGE_INTEGER callerFree, PULARGE_INTEGER total,
                       PULARGE_INTEGER totalFree)>
        getDiskFreeSpaceEx = GetDiskFreeSpaceExW;
    std::function<UINT(LPCWSTR root)> getDriveType = GetDriveTypeW;
};

// Windows' drives. A network drive (DRIVE_REMOTE) is asked on a helper thread and waited for no
// longer than `bound`, in its existence test and its figures alike; in a scan every network
// drive is asked at once and all share one deadline, and each drive gives one answer.
std::unique_ptr<VolumeSource> CreateWindowsVolumeSource(WindowsDriveCalls calls,
                                                        std::chrono::milliseconds bound);
