#pragma once

#include "volume_source.h"

#include <functional>
#include <map>

// A volume source for tests: drives by letter with the byte counts a test chooses.
class FakeVolumeSource : public VolumeSource
{
public:
    void setDrive(char16_t letter, int64_t totalBytes, int64_t freeBytes);
    void setDriveGB(char16_t letter, int64_t totalGB, int64_t freeGB);
    void removeDrive(char16_t letter);
    // The drive passes the existence test but its capacity and free-space queries fail.
    void failQueries(char16_t letter);
    // Asking for the drive's description throws, as a fault half-way through a drive's
    // handling would.
    void throwOnDescribe(char16_t letter);

    std::optional<VolumeSpace> space(const std::u16string &root) override;
    std::optional<VolumeSpace> probe(const std::u16string &root) override;
    std::string describe(const std::u16string &root) override;
    void beginScan() override;
    void endScan() override;

    // Runs after every existence test with the letter tested, so that a test can change the
    // drives between the existence test and the figures.
    std::function<void(char16_t letter)> afterProbe;

    int probeCount = 0;
    int spaceCount = 0;
    // Passes: how many are open now, how many outermost ones began, and how many queries
    // (existence, figures, description) came while none was open.
    int scanDepth = 0;
    int passCount = 0;
    int queriesOutsidePass = 0;

private:
    struct Drive
    {
        VolumeSpace space;
        bool failing = false;
        bool throwing = false;
    };
    const Drive *find(const std::u16string &root) const;

    std::map<char16_t, Drive> drives;
};
