#include "device_change.h"

#include <cstring>

namespace {

// From Windows' winuser.h and dbt.h, which only a Windows build has.
constexpr uint32_t wmDeviceChange = 0x0219;
constexpr uintptr_t dbtDeviceArrival = 0x8000;
constexpr uintptr_t dbtDeviceRemoveComplete = 0x8004;
constexpr uint32_t dbtDevtypVolume = 0x00000002;

} // namespace

bool IsVolumeDeviceChange(uint32_t message, uintptr_t event, const void *data)
{
    if (message != wmDeviceChange ||
        (event != dbtDeviceArrival && event != dbtDeviceRemoveComplete) || !data)
        return false;
    // DEV_BROADCAST_HDR: dbch_size, then dbch_devicetype, both 32-bit; copied, since lParam
    // promises no alignment.
    uint32_t header[2] = {};
    std::memcpy(header, data, sizeof header);
    return header[0] >= sizeof header && header[1] == dbtDevtypVolume;
}
