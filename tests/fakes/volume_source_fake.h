#pragma once

#include "volume_source.h"

#include <functional>
#include <map>

// A volume source for tests: drives by letter with the byte counts a test chooses. A pass sees
// the drives as they were when it was opened, and answers each once.
class FakeVolumeSource : public VolumeSource
{
public:
    void setDrive(char16_t letter, int64_t totalBytes, int64_t freeBytes);
    void setDriveGB(char16_t letter, int64_t totalGB, int64_t freeGB);
    void removeDrive(char16_t letter);
    // The drive stays in the list, but the host gives no figures for it.
    void failQueries(char16_t letter);
    // Asking what the drive stands for throws, as a fault half-way through a drive's handling
    // would.
    void throwOnDescribe(char16_t letter);
    // Another mount at the same letter: its key changes, its figures stay.
    void swapMount(char16_t letter);
    // A host that cannot tell one mount from another: no descriptions, no keys.
    bool describes = true;

    std::unique_ptr<Pass> open() override;

    // Runs after the host answered for a drive, so that a test can change the drives meanwhile.
    std::function<void(char16_t letter)> afterAnswer;

    // How often a drive was asked of the host (one answer per drive per pass), and how many
    // passes were opened.
    int answers = 0;
    int passCount = 0;

private:
    friend class FakePass;
    struct Drive
    {
        VolumeSpace space;
        bool failing = false;
        bool throwing = false;
        int mount = 1;
    };

    std::map<char16_t, Drive> drives;
};
