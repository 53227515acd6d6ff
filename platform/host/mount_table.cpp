#include "mount_table.h"

#include "volume_rules.h"

#include <algorithm>
#include <map>

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

// A mount ID; one too large for 64 bits (only a damaged table has one) saturates.
uint64_t toNumber(std::string_view digits)
{
    uint64_t value = 0;
    for (const char c : digits) {
        if (__builtin_mul_overflow(value, 10u, &value) ||
            __builtin_add_overflow(value, static_cast<uint64_t>(c - '0'), &value))
            return UINT64_MAX;
    }
    return value;
}

bool isDevice(std::string_view field)
{
    const size_t colon = field.find(':');
    return colon != std::string_view::npos && isNumber(field.substr(0, colon)) &&
           isNumber(field.substr(colon + 1));
}

// Which mounts a path still reaches. A mount hides the one it is stacked on (its parent, at the
// same point), and a mount on a folder above another's point, in the filesystem that other one
// is mounted in, hides that other one and everything in it: /p mounted after /p/q leaves /p/q
// unreachable. Recorded tables may stack mounts as siblings; there the later one is on top.
class Reachability
{
public:
    explicit Reachability(const std::vector<MountEntry> &entries)
        : entries(entries), children(entries.size()), state(entries.size(), Unknown)
    {
        std::map<uint64_t, size_t> byId;
        for (size_t i = 0; i < entries.size(); ++i)
            byId.emplace(entries[i].id, i);
        for (size_t i = 0; i < entries.size(); ++i) {
            const auto parent = byId.find(entries[i].parentId);
            if (parent != byId.end() && parent->second != i)
                parents.emplace(i, parent->second);
        }
        for (const auto &[child, parent] : parents)
            children[parent].push_back(child);
    }

    // Path resolution ends in this mount, not in one stacked on it.
    bool visible(size_t i) { return traversed(i) && !stackedOn(i); }

private:
    enum State { Unknown, Visiting, Yes, No };

    bool stackedOn(size_t i) const
    {
        for (const size_t child : children[i]) {
            if (entries[child].mountPoint == entries[i].mountPoint)
                return true;
        }
        return false;
    }

    // Path resolution passes through this mount's root.
    bool traversed(size_t i)
    {
        if (state[i] == Visiting) // a table whose parents go round in a circle
            return false;
        if (state[i] != Unknown)
            return state[i] == Yes;
        state[i] = Visiting;
        const bool result = reached(i);
        state[i] = result ? Yes : No;
        return result;
    }

    bool reached(size_t i)
    {
        const auto parent = parents.find(i);
        if (parent == parents.end())
            return true; // the top of what this table shows
        const size_t p = parent->second;
        if (!traversed(p))
            return false;
        const std::string &point = entries[i].mountPoint;
        const std::string &parentPoint = entries[p].mountPoint;
        for (const size_t sibling : children[p]) {
            const std::string &other = entries[sibling].mountPoint;
            if (sibling == i)
                continue;
            if (other == point) {
                if (sibling > i)
                    return false; // stacked on the same point, later: on top
                continue;
            }
            if (point == parentPoint)
                continue; // on its parent's root, nothing else of the parent's lies above it
            if (other == parentPoint)
                return false; // the parent itself is covered
            if (IsBelow(point, other))
                return false; // a folder above this one's point is covered
        }
        return true;
    }

    const std::vector<MountEntry> &entries;
    std::map<size_t, size_t> parents;
    std::vector<std::vector<size_t>> children;
    std::vector<State> state;
};

// Reaching a mount point walks through every mount it is mounted in: a RAM disk inside an sshfs
// folder waits for the server as long as the sshfs volume itself.
bool mayHang(const std::vector<MountEntry> &entries, const std::map<uint64_t, size_t> &byId,
             size_t index)
{
    // A damaged table's parents may go round in a circle: no walk is longer than the table.
    for (size_t step = 0; step <= entries.size(); ++step) {
        const MountEntry &entry = entries[index];
        if (IsRemoteType(entry.fsType))
            return true;
        const auto parent = byId.find(entry.parentId);
        if (parent == byId.end() || parent->second == index)
            return false;
        index = parent->second;
    }
    return false;
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
        entry.id = toNumber(fields[0]);
        entry.parentId = toNumber(fields[1]);
        entry.device = std::string(fields[2]);
        entry.mountPoint = DecodeMountEscapes(fields[4]);
        entry.fsType = DecodeMountEscapes(dash[1]);
        entry.source = DecodeMountEscapes(dash[2]);
        entry.options = std::string(fields[5]);
        if (fields.end() - dash > 3)
            entry.options += ' ' + std::string(dash[3]);
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<Volume> SelectVolumes(const std::vector<MountEntry> &entries, size_t limit)
{
    Reachability reachability(entries);
    std::vector<const MountEntry *> visible;
    const MountEntry *root = nullptr;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!reachability.visible(i))
            continue;
        if (entries[i].mountPoint == "/")
            root = &entries[i];
        else
            visible.push_back(&entries[i]);
    }

    std::map<uint64_t, size_t> byId;
    for (size_t i = 0; i < entries.size(); ++i)
        byId.emplace(entries[i].id, i);
    const auto toVolume = [&](const MountEntry &entry) {
        const auto index = static_cast<size_t>(&entry - entries.data());
        return Volume{entry.id,
                      entry.device,
                      entry.mountPoint,
                      entry.fsType,
                      entry.source,
                      entry.options,
                      mayHang(entries, byId, index)};
    };

    std::vector<Volume> volumes;
    volumes.push_back(root ? toVolume(*root) : Volume{0, "", "/", "", "", "", false});
    const std::string rootDevice = root ? root->device : std::string();

    // A filesystem mounted several times is one volume, at its shortest mount point.
    std::map<std::string, const MountEntry *> shortest;
    for (const MountEntry *entry : visible) {
        if (entry->device == rootDevice ||
            IsLeftOut(entry->fsType, entry->mountPoint, entry->source))
            continue;
        const MountEntry *&best = shortest[entry->device];
        if (!best || entry->mountPoint.size() < best->mountPoint.size() ||
            (entry->mountPoint.size() == best->mountPoint.size() &&
             entry->mountPoint < best->mountPoint))
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
