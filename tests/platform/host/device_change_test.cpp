#include "device_change.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// DEV_BROADCAST_HDR as Windows lays it out: size, device type, reserved; a volume's header goes
// on with its unit mask and flags.
struct Broadcast
{
    uint32_t size = 20;
    uint32_t deviceType = 0;
    uint32_t reserved = 0;
    uint32_t unitMask = 0;
    uint16_t flags = 0;
};

constexpr uint32_t deviceChange = 0x0219;
constexpr uintptr_t arrival = 0x8000;
constexpr uintptr_t queryRemove = 0x8001;
constexpr uintptr_t removeComplete = 0x8004;
constexpr uintptr_t devNodesChanged = 0x0007;
constexpr uint32_t volume = 2;
constexpr uint32_t port = 3;
constexpr uint32_t deviceInterface = 5;

} // namespace

TEST(IsVolumeDeviceChange, OnlyAVolumeArrivingOrRemovedCounts)
{
    struct Row
    {
        const char *name;
        uint32_t message;
        uintptr_t event;
        uint32_t deviceType;
        uint32_t size;
        bool counts;
    };
    const Row rows[] = {
        {"a stick's volume arrives", deviceChange, arrival, volume, 20, true},
        {"a stick's volume is removed", deviceChange, removeComplete, volume, 20, true},
        {"a removal only asked for", deviceChange, queryRemove, volume, 20, false},
        {"a port arrives", deviceChange, arrival, port, 20, false},
        {"a device interface arrives", deviceChange, arrival, deviceInterface, 20, false},
        {"the device tree changed, without a header", deviceChange, devNodesChanged, 0, 0, false},
        {"a header too short to name a type", deviceChange, arrival, volume, 4, false},
        {"another message with the same numbers", 0x0218, arrival, volume, 20, false},
    };
    for (const Row &row : rows) {
        Broadcast broadcast;
        broadcast.size = row.size;
        broadcast.deviceType = row.deviceType;
        EXPECT_EQ(IsVolumeDeviceChange(row.message, row.event, &broadcast), row.counts) << row.name;
    }
    EXPECT_FALSE(IsVolumeDeviceChange(deviceChange, arrival, nullptr)) << "no header at all";
}
