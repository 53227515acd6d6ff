// Any text as a mount table: the reader never crashes, and what it selects keeps its promises.
#include "mount_table.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const std::vector<MountEntry> entries = ParseMountInfo(text);
    for (const MountEntry &entry : entries) {
        if (entry.mountPoint.empty() || entry.mountPoint[0] != '/')
            std::abort();
    }
    const std::vector<Volume> volumes = SelectVolumes(entries);
    if (volumes.empty() || volumes.size() > 24 || volumes[0].mountPoint != "/")
        std::abort(); // C: is always the volume holding "/", and nothing goes past Z:
    std::set<std::string> seen;
    for (size_t i = 1; i < volumes.size(); ++i) {
        if (!seen.insert(volumes[i].mountPoint).second || volumes[i].mountPoint == "/")
            std::abort();
        if (i > 1 && !(volumes[i - 1].mountPoint < volumes[i].mountPoint))
            std::abort(); // ascending byte order
    }
    return 0;
}
