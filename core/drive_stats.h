#pragma once

#include "uGlobal.h"

#include <cstdint>
#include <string>

// Capacities of one drive in whole GiB. UsedGB is the difference of the two truncated figures,
// not the truncated difference of the byte counts.
struct DriveStats
{
    int64_t TotalGB = 0;
    int64_t FreeGB = 0;
    int64_t UsedGB = 0;
};

// Capacity and the caller's free bytes of a drive, or -1 when the host cannot answer: the pass's
// one answer for the drive.
int64_t QueryDriveSize(Pass &pass, DriveNo number);
int64_t QueryDriveFree(Pass &pass, DriveNo number);

DriveStats ReadDriveStats(Pass &pass, DriveNo number);

// What the host calls the drive, for people ("/ (ext4, /dev/vda)"); empty where the drive letter
// is the host's own name for it.
std::string DriveDescription(Pass &pass, DriveNo number);

// part x 100 / total, unrounded. The caller guarantees total > 0.
double PercentOf(int64_t part, int64_t total);
