#include "drive_stats.h"

#include "volume_source.h"

#include <optional>

int64_t QueryDriveSize(Pass &pass, DriveNo number)
{
    const std::optional<VolumeSpace> answer = pass.space(DriveRoot(number));
    return answer ? answer->totalBytes : -1;
}

int64_t QueryDriveFree(Pass &pass, DriveNo number)
{
    const std::optional<VolumeSpace> answer = pass.space(DriveRoot(number));
    return answer ? answer->freeBytes : -1;
}

DriveStats ReadDriveStats(Pass &pass, DriveNo number)
{
    DriveStats stats;
    stats.TotalGB = BytesToGB(QueryDriveSize(pass, number));
    stats.FreeGB = BytesToGB(QueryDriveFree(pass, number));
    stats.UsedGB = stats.TotalGB - stats.FreeGB;
    return stats;
}

std::string DriveDescription(Pass &pass, DriveNo number)
{
    return pass.identity(DriveRoot(number)).description;
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
