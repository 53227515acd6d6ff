#pragma once

#include <cstdint>

// Whether a window message announces a volume that arrived or was removed: WM_DEVICECHANGE with
// DBT_DEVICEARRIVAL or DBT_DEVICEREMOVECOMPLETE for a device of type DBT_DEVTYP_VOLUME, whose
// header `data` points to (lParam). Other devices (a mouse, a port) and the queries before a
// removal change no drive. Plain C++, so that it is checked on any host.
bool IsVolumeDeviceChange(uint32_t message, uintptr_t event, const void *data);
