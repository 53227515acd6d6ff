#include "drive_stats.h"

#include "volume_source.h"

#include <optional>

namespace {

std::optional<VolumeSpace> querySpace(DriveNo number)
{
    VolumeSource *source = InstalledVolumeSource();
    if (!source)
        return std::nullopt;
    return source->space(DriveRoot(number));
}

} // namespace

int64_t QueryDriveSize(DriveNo number)
{
    const std::optional<VolumeSpace> answer = querySpace(number);
    return answer ? answer->totalBytes : -1;
}

int64_t QueryDriveFree(DriveNo number)
{
    const std::optional<VolumeSpace> answer = querySpace(number);
    return answer ? answer->freeBytes : -1;
}

DriveStats ReadDriveStats(DriveNo number)
{
    DriveStats stats;
    stats.TotalGB = BytesToGB(QueryDriveSize(number));
    stats.FreeGB = BytesToGB(QueryDriveFree(number));
    stats.UsedGB = stats.TotalGB - stats.FreeGB;
    return stats;
}

std::string DriveDescription(DriveNo number)
{
    VolumeSource *source = InstalledVolumeSource();
    return source ? source->describe(DriveRoot(number)) : std::string();
}

double PercentOf(int64_t part, int64_t total)
{
    // part x 100 is exact in 64 bits for every capacity a drive can have in whole GiB; a
    // product beyond that range is taken in floating point rather than wrapping.
    int64_t product = 0;
    if (__builtin_mul_overflow(part, int64_t{100}, &product))
        return static_cast<double>(part) * 100.0 / static_cast<double>(total);
    return static_cast<double>(product) / static_cast<double>(total);
}
