#pragma once

#include "volume_source.h"

#include <chrono>
#include <functional>
#include <memory>

#include <windows.h>

// The Windows calls behind the drives, replaceable so that a test can script them: make one
// block, count them.
struct WindowsDriveCalls
{
    std::function<DWORD()> getLogicalDrives = GetLogicalDrives;
    std::function<BOOL(LPCWSTR directory, PULARGE_INTEGER callerFree, PULARGE_INTEGER total,
                       PULARGE_INTEGER totalFree)>
        getDiskFreeSpaceEx = GetDiskFreeSpaceExW;
    std::function<UINT(LPCWSTR root)> getDriveType = GetDriveTypeW;
};

// Windows' drives: those GetLogicalDrives lists, C: to Z:. A pass asks each once, with the
// critical-error box ("There is no disk in the drive") kept away; a network drive
// (DRIVE_REMOTE) on a helper thread, waited for no longer than `bound`, all of them side by side.
std::unique_ptr<VolumeSource> CreateWindowsVolumeSource(WindowsDriveCalls calls,
                                                        std::chrono::milliseconds bound);
