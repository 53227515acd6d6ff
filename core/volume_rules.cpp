#include "volume_rules.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {

template <size_t N> bool isOneOf(std::string_view value, const std::array<std::string_view, N> &set)
{
    return std::find(set.begin(), set.end(), value) != set.end();
}

bool isStrictlyBelow(std::string_view path, std::string_view top)
{
    return path.size() > top.size() && IsBelow(path, top);
}

bool isContainerId(std::string_view name)
{
    return name.size() == 64 && std::all_of(name.begin(), name.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

// The shared-memory tmpfs a container engine gives each container, wherever its data root is:
// Docker's <root>/containers/<id>/mounts/shm and Podman's or CRI-O's
// <root>/overlay-containers/<id>/userdata/shm, the engines naming the device "shm" and the
// container by 64 hex digits. A RAM disk of the user's own matches none of that.
bool isContainerShm(std::string_view fsType, std::string_view point, std::string_view source)
{
    if (fsType != "tmpfs" || source != "shm")
        return false;
    for (const auto &[folder, tail] :
         {std::pair<std::string_view, std::string_view>{"/containers/", "/mounts/shm"},
          {"/overlay-containers/", "/userdata/shm"}}) {
        if (point.size() < folder.size() + 64 + tail.size() || !point.ends_with(tail))
            continue;
        const std::string_view head = point.substr(0, point.size() - tail.size() - 64);
        if (head.ends_with(folder) && isContainerId(point.substr(head.size(), 64)))
            return true;
    }
    return false;
}

} // namespace

bool IsBelow(std::string_view path, std::string_view top)
{
    return path == top || (path.size() > top.size() && path.compare(0, top.size(), top) == 0 &&
                           path[top.size()] == '/');
}

bool IsPseudoType(std::string_view fsType)
{
    static constexpr std::array<std::string_view, 27> pseudo = {
        "proc", "sysfs", "devtmpfs", "devpts", "cgroup", "cgroup2", "securityfs", "debugfs",
        "tracefs", "pstore", "bpf", "configfs", "fusectl", "mqueue", "hugetlbfs", "autofs",
        "binfmt_misc", "efivarfs", "nsfs", "rpc_pipefs", "selinuxfs", "squashfs", "rootfs", "devfs",
        // desktop and container helpers that mirror other places rather than hold data
        "fuse.portal", "fuse.gvfsd-fuse", "fuse.lxcfs"};
    return isOneOf(fsType, pseudo);
}

bool IsSystemPlace(std::string_view mountPoint)
{
    if (IsBelow(mountPoint, "/run/media"))
        return mountPoint == "/run/media";
    return IsBelow(mountPoint, "/proc") || IsBelow(mountPoint, "/sys") ||
           IsBelow(mountPoint, "/dev") || IsBelow(mountPoint, "/run");
}

// A running container's layers and the engines' own mounts would each add another letter with
// the figures of the disk they live on. A disk of its own mounted at an engine's folder itself
// is a volume like any other: it is where the images and containers fill up.
bool IsContainerMount(std::string_view fsType, std::string_view mountPoint, std::string_view source)
{
    static constexpr std::array<std::string_view, 4> layers = {"overlay", "fuse-overlayfs",
                                                               "fuse.fuse-overlayfs", "aufs"};
    return isOneOf(fsType, layers) || isStrictlyBelow(mountPoint, "/var/lib/docker") ||
           isStrictlyBelow(mountPoint, "/var/lib/containers") ||
           isStrictlyBelow(mountPoint, "/var/lib/kubelet") ||
           IsBelow(mountPoint, "/run/containerd") || isContainerShm(fsType, mountPoint, source);
}

bool IsRemoteType(std::string_view fsType)
{
    static constexpr std::array<std::string_view, 19> remote = {
        "nfs",    "nfs4",    "cifs", "smb3",  "smbfs",     "ncpfs",  "9p",
        "afs",    "ceph",    "coda", "davfs", "glusterfs", "lustre", "orangefs",
        "vboxsf", "fuseblk", "fuse", "sshfs", "virtiofs"};
    return isOneOf(fsType, remote) || fsType.starts_with("fuse.");
}

bool IsLeftOut(std::string_view fsType, std::string_view mountPoint, std::string_view source)
{
    return IsPseudoType(fsType) || IsSystemPlace(mountPoint) ||
           IsContainerMount(fsType, mountPoint, source);
}
