#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One line of /proc/self/mountinfo, with the kernel's octal escapes decoded.
struct MountEntry
{
    uint64_t id = 0;
    uint64_t parentId = 0; // the mount this one is mounted in
    std::string device;    // "major:minor": the same filesystem mounted twice shares it
    std::string mountPoint;
    std::string fsType;
    std::string source;
    // The mount's and its filesystem's options, as the table gives them: what a remount or
    // another filesystem of the same kind at the same mount ID changes.
    std::string options;
};

// A mount that counts as a volume a user wants to see.
struct Volume
{
    uint64_t mountId = 0; // the mount through which its mount point reaches it
    std::string device;   // "major:minor" of its filesystem
    std::string mountPoint;
    std::string fsType;
    std::string source;
    std::string options;
    // Network and FUSE filesystems can stop answering (a dead server, a stuck daemon), and so
    // can every volume mounted inside one: its mount point is reached through them.
    bool mayHang = false;
};

// Decodes \040, \011, \012, \134 and any other three-digit octal escape; anything else stays.
std::string DecodeMountEscapes(std::string_view field);

// Reads the table line by line; a malformed line is skipped and the lines after it still count.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// The volumes in letter order: the one holding "/" first (it is C:), then the others in
// ascending byte order of their mount points, at most `limit` in all. Left out are pseudo and
// system filesystems; mounts below /proc, /sys, /dev and /run (but /run/media); container
// layers (overlay, fuse-overlayfs, aufs), whatever is mounted below the container engines'
// folders and the engines' per-container shm wherever their data lives; mounts that no path reaches
// any more (hidden by a mount on the same point or on a folder above theirs); and repeated mounts
// of one filesystem.
std::vector<Volume> SelectVolumes(const std::vector<MountEntry> &entries, size_t limit = 24);
