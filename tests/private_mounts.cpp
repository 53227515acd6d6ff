// Runs a command in a private mount namespace where only "/" and the system's own places (/proc,
// /sys, /dev, /run) stay mounted, so that the drive letters are the tests' to predict, with tmpfs
// volumes of chosen sizes in a fresh folder:
//   private_mounts [NAME=SIZE]... -- COMMAND [ARGUMENT]...
// The command finds the folder in VOLUMO_MOUNTS and each volume at $VOLUMO_MOUNTS/NAME; tmpfs
// takes memory only as it is written, so a volume of 1863g costs nothing. Where the namespace
// cannot be made, the command runs all the same with the reason in VOLUMO_MOUNTS_SKIPPED, to skip
// or to fall back. Exits as the command does.
#include "host_fixtures.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <ftw.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string failed(const char *what)
{
    return std::string(what) + " (" + std::strerror(errno) + ")";
}

bool isBelow(const std::string &path, const std::string &top)
{
    return path == top || top == "/" || path.rfind(top + "/", 0) == 0;
}

// What stays mounted in the namespace: "/" and the system's places.
bool stays(const std::string &point)
{
    return point == "/" || isBelow(point, "/proc") || isBelow(point, "/sys") ||
           isBelow(point, "/dev") || isBelow(point, "/run");
}

// The command, the paths it is given and the current folder must still be there once the other
// volumes are gone: the first that lies on a volume that would go, if any.
std::string strandedPath(char **command)
{
    std::vector<std::string> paths;
    for (char **argument = command; *argument; ++argument) {
        char real[PATH_MAX];
        if ((*argument)[0] == '/' && ::realpath(*argument, real))
            paths.emplace_back(real);
    }
    char folder[PATH_MAX];
    if (::getcwd(folder, sizeof folder))
        paths.emplace_back(folder);
    const std::vector<std::string> points = MountPoints();
    for (const std::string &path : paths) {
        std::string volume = "/";
        for (const std::string &point : points) {
            if (isBelow(path, point) && point.size() > volume.size())
                volume = point;
        }
        if (!stays(volume))
            return path + " (on " + volume + ")";
    }
    return {};
}

// Enters a mount namespace of our own whose mounts never reach the rest of the system, and
// unmounts everything there but "/" and the system's places, innermost first. Gives the reason
// when it cannot.
std::string enterPrivateNamespace(char **command)
{
    if (::geteuid() != 0)
        return "needs root to mount volumes in a private mount namespace";
    if (const std::string stranded = strandedPath(command); !stranded.empty())
        return stranded + " would go with the other volumes";
    char folder[PATH_MAX];
    if (!::getcwd(folder, sizeof folder))
        return failed("no current folder");
    if (::unshare(CLONE_NEWNS) != 0)
        return failed("unshare -m is not permitted here");
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        // In a chroot whose "/" is not a mount point of its own, "/" cannot be made private.
        // Bound onto itself it is one; "/.." steps onto that mount, and it becomes our root.
        if (errno != EINVAL || ::mount("/", "/", nullptr, MS_BIND | MS_REC, nullptr) != 0 ||
            ::chdir("/..") != 0 || ::chroot(".") != 0 || ::chdir(folder) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return failed("the mounts cannot be made private here");
    }
    const std::vector<std::string> points = MountPoints();
    for (auto it = points.rbegin(); it != points.rend(); ++it) {
        if (!stays(*it))
            ::umount2(it->c_str(), MNT_DETACH);
    }
    return {};
}

// Unmounts whatever the command left mounted below `folder` and removes the folder; never
// crosses into another filesystem while removing.
void removeFolder(const std::string &folder)
{
    UnmountBelow(folder);
    const auto removeOne = [](const char *path, const struct stat *, int, FTW *) {
        ::remove(path);
        return 0; // on with the rest
    };
    ::nftw(folder.c_str(), removeOne, 16, FTW_DEPTH | FTW_PHYS | FTW_MOUNT);
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::pair<std::string, std::string>> volumes;
    int arg = 1;
    for (; arg < argc && std::strcmp(argv[arg], "--") != 0; ++arg) {
        const std::string spec = argv[arg];
        const size_t equals = spec.find('=');
        if (equals == std::string::npos || equals == 0) {
            std::fprintf(stderr, "private_mounts: %s is not NAME=SIZE\n", argv[arg]);
            return 2;
        }
        volumes.emplace_back(spec.substr(0, equals), spec.substr(equals + 1));
    }
    if (arg + 1 >= argc) {
        std::fprintf(stderr, "usage: private_mounts [NAME=SIZE]... -- COMMAND [ARGUMENT]...\n");
        return 2;
    }
    char **command = argv + arg + 1;

    std::string reason = enterPrivateNamespace(command);
    // Made only now: a folder made before would have gone with a /tmp of its own.
    char folder[] = "/tmp/volumo-mounts-XXXXXX";
    const bool madeFolder = reason.empty() && ::mkdtemp(folder);
    if (reason.empty() && !madeFolder)
        reason = failed("no folder for the volumes");
    for (const auto &[name, size] : volumes) {
        if (!reason.empty())
            break;
        const std::string point = std::string(folder) + "/" + name;
        ::mkdir(point.c_str(), 0755);
        if (::mount("tmpfs", point.c_str(), "tmpfs", 0, ("size=" + size).c_str()) != 0)
            reason = failed("tmpfs cannot be mounted here");
    }

    if (reason.empty())
        ::setenv("VOLUMO_MOUNTS", folder, 1);
    else
        ::setenv("VOLUMO_MOUNTS_SKIPPED", reason.c_str(), 1);
    const pid_t child = ::fork();
    if (child == 0) {
        ::execvp(command[0], command);
        std::fprintf(stderr, "private_mounts: cannot run %s: %s\n", command[0],
                     std::strerror(errno));
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (madeFolder)
        removeFolder(folder);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
