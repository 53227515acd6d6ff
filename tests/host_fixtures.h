#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/mount.h>
#include <unistd.h>

// A recorded mount table in a temporary file, gone with the object.
class RecordedMountTable
{
public:
    explicit RecordedMountTable(const std::string &text)
    {
        char name[] = "/tmp/volumo-mountinfo-XXXXXX";
        ::close(::mkstemp(name));
        path = name;
        std::ofstream(path) << text;
    }
    ~RecordedMountTable() { std::remove(path.c_str()); }
    RecordedMountTable(const RecordedMountTable &) = delete;
    RecordedMountTable &operator=(const RecordedMountTable &) = delete;

    std::string path;
};

// The folder that private_mounts (tests/private_mounts.cpp) made for this test's volumes in a
// mount namespace of its own; empty where it could not, and then MountsSkipped says why.
inline std::string MountsFolder()
{
    const char *folder = std::getenv("VOLUMO_MOUNTS");
    return folder ? folder : "";
}

inline std::string MountsSkipped()
{
    const char *reason = std::getenv("VOLUMO_MOUNTS_SKIPPED");
    return reason ? reason : "not started through private_mounts";
}

// The mount points of this process's mount namespace, in the table's order.
inline std::vector<std::string> MountPoints()
{
    std::ifstream mountinfo("/proc/self/mountinfo");
    std::vector<std::string> points;
    for (std::string line; std::getline(mountinfo, line);) {
        std::istringstream fields(line);
        std::string field;
        for (int i = 0; i < 5 && fields >> field; ++i) {
        }
        std::string point; // with the kernel's octal escapes (\040 for a space) decoded
        for (size_t i = 0; i < field.size(); ++i) {
            if (field[i] == '\\' && i + 3 < field.size()) {
                point += static_cast<char>(std::stoi(field.substr(i + 1, 3), nullptr, 8));
                i += 3;
            } else {
                point += field[i];
            }
        }
        points.push_back(point);
    }
    return points;
}

// Unmounts everything mounted at or below `folder`, innermost first.
inline void UnmountBelow(const std::string &folder)
{
    const std::vector<std::string> points = MountPoints();
    for (auto it = points.rbegin(); it != points.rend(); ++it) {
        if (*it == folder || it->rfind(folder + "/", 0) == 0)
            ::umount2(it->c_str(), MNT_DETACH);
    }
}
