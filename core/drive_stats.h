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

// The root text of a drive: its letter, ":" and "\" ("C:\"). Drive 0 has an empty root, which a
// volume source reads as the drive of the current directory.
std::u16string DriveRoot(DriveNumber number);

// Capacity and the caller's free bytes of a drive, or -1 when the host cannot answer. Each call
// asks the host afresh.
int64_t QueryDriveSize(DriveNumber number);
int64_t QueryDriveFree(DriveNumber number);

DriveStats ReadDriveStats(DriveNumber number);

// part x 100 / total, unrounded. The caller guarantees total > 0.
double PercentOf(int64_t part, int64_t total);
