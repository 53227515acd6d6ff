#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

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
