#include "mount_table.h"

#include <algorithm>
#include <map>
#include <set>

namespace {

bool isOctal(char c)
{
    return c >= '0' && c <= '7';
}

std::vector<std::string_view> splitFields(std::string_view line)
{
    std::vector<std::string_view> fields;
    size_t pos = 0;
    while (pos < line.size()) {
        while (pos < line.size() && line[pos] == ' ')
            ++pos;
        if (pos == line.size())
            break;
        const size_t end = std::min(line.find(' ', pos), line.size());
        fields.push_back(line.substr(pos, end - pos));
        pos = end;
    }
    return fields;
}

bool isNumber(std::string_view field)
{
    return !field.empty() &&
           std::all_of(field.begin(), field.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool isDevice(std::string_view field)
{
    const size_t colon = field.find(':');
    return colon != std::string_view::npos && isNumber(field.substr(0, colon)) &&
           isNumber(field.substr(colon + 1));
}

bool isPseudoType(const std::string &type)
{
    static const std::set<std::string> pseudo = {
        "proc", "sysfs", "devtmpfs", "devpts", "cgroup", "cgroup2", "securityfs", "debugfs",
        "tracefs", "pstore", "bpf", "configfs", "fusectl", "mqueue", "hugetlbfs", "autofs",
        "binfmt_misc", "efivarfs", "nsfs", "rpc_pipefs", "selinuxfs", "squashfs", "rootfs", "devfs",
        // desktop and container helpers that mirror other places rather than hold data
        "fuse.portal", "fuse.gvfsd-fuse", "fuse.lxcfs"};
    return pseudo.count(type) > 0;
}

bool isBelow(const std::string &path, std::string_view top)
{
    return path == top || (path.size() > top.size() && path.compare(0, top.size(), top) == 0 &&
                           path[top.size()] == '/');
}

bool isSystemPlace(const std::string &mountPoint)
{
    if (isBelow(mountPoint, "/run/media"))
        return mountPoint == "/run/media";
    return isBelow(mountPoint, "/proc") || isBelow(mountPoint, "/sys") ||
           isBelow(mountPoint, "/dev") || isBelow(mountPoint, "/run");
}

bool mayHang(const std::string &type)
{
    static const std::set<std::string> remote = {
        "nfs",    "nfs4",    "cifs", "smb3",  "smbfs",     "ncpfs",  "9p",
        "afs",    "ceph",    "coda", "davfs", "glusterfs", "lustre", "orangefs",
        "vboxsf", "fuseblk", "fuse", "sshfs", "virtiofs"};
    return remote.count(type) > 0 || type.rfind("fuse.", 0) == 0;
}

Volume toVolume(const MountEntry &entry)
{
    return {entry.mountPoint, entry.fsType, entry.source, mayHang(entry.fsType)};
}

} // namespace

std::string DecodeMountEscapes(std::string_view field)
{
    std::string text;
    text.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) &&
            isOctal(field[i + 2]) && isOctal(field[i + 3])) {
            const int code =
                (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            if (code < 256) {
                text += static_cast<char>(code);
                i += 3;
                continue;
            }
        }
        text += field[i];
    }
    return text;
}

std::vector<MountEntry> ParseMountInfo(std::string_view text)
{
    // id parent major:minor root mount-point options [optional fields...] - type source options
    std::vector<MountEntry> entries;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = std::min(text.find('\n', pos), text.size());
        const std::vector<std::string_view> fields = splitFields(text.substr(pos, end - pos));
        pos = end + 1;

        if (fields.size() < 9 || !isNumber(fields[0]) || !isNumber(fields[1]) ||
            !isDevice(fields[2]) || fields[4].empty() || fields[4][0] != '/')
            continue;
        const auto dash = std::find(fields.begin() + 6, fields.end(), "-");
        if (dash == fields.end() || fields.end() - dash < 3)
            continue;

        MountEntry entry;
        entry.device = std::string(fields[2]);
        entry.mountPoint = DecodeMountEscapes(fields[4]);
        entry.fsType = DecodeMountEscapes(dash[1]);
        entry.source = DecodeMountEscapes(dash[2]);
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<Volume> SelectVolumes(const std::vector<MountEntry> &entries, size_t limit)
{
    // A later mount on the same point hides the earlier ones.
    std::map<std::string, const MountEntry *> visible;
    for (const MountEntry &entry : entries)
        visible[entry.mountPoint] = &entry;

    std::vector<Volume> volumes;
    std::string rootDevice;
    if (const auto root = visible.find("/"); root != visible.end()) {
        volumes.push_back(toVolume(*root->second));
        rootDevice = root->second->device;
    } else {
        volumes.push_back({"/", "", "", false});
    }

    // A filesystem mounted several times is one volume, at its shortest mount point.
    std::map<std::string, const MountEntry *> shortest;
    for (const auto &[mountPoint, entry] : visible) {
        if (mountPoint == "/" || entry->device == rootDevice || isPseudoType(entry->fsType) ||
            isSystemPlace(mountPoint))
            continue;
        const MountEntry *&best = shortest[entry->device];
        if (!best || mountPoint.size() < best->mountPoint.size())
            best = entry;
    }
    std::vector<const MountEntry *> others;
    for (const auto &[device, entry] : shortest)
        others.push_back(entry);
    std::sort(others.begin(), others.end(), [](const MountEntry *a, const MountEntry *b) {
        return a->mountPoint < b->mountPoint;
    });
    for (const MountEntry *entry : others)
        volumes.push_back(toVolume(*entry));
    if (volumes.size() > limit)
        volumes.resize(limit);
    return volumes;
}
